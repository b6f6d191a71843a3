#include "reader/ReaderWindow.h"

#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/PageCatalogue.h"
#include "reader/SearchWindow.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "ui/AppMessage.h"
#include "ui/Dialogs.h"
#include "ui/ModalScreen.h"
#include "ui/Navigator.h"

#include <QApplication>
#include <QFontMetrics>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <limits>

namespace {
constexpr int kMenuWidth = 200;
constexpr int kMenuHiddenLeft = -210;
constexpr int kPlayerHiddenTop = -405;
constexpr int kPlayerButtonOffset = 390;
constexpr int kPlayerRightGap = 39;
constexpr int kToolbarHeight = 55;
// The view scrolls in steps of this many pixels.
constexpr int kScrollSlack = 10;

const QString kMissingFiles = QStringLiteral(
    "Были удалены файлы, необходимые для работы приложения. Продолжение работы невозможно.");

const QString kReadOnlyCourse = QStringLiteral(
    "\n\nУчебник можно читать, но ученики, результаты тестов и закладки недоступны.");

QBrush backgroundBrush()
{
    QLinearGradient gradient(0, 0, 0, 510);
    gradient.setColorAt(0, QColor(0xEE, 0xF3, 0xFA));
    gradient.setColorAt(1, QColor(0xC9, 0xD8, 0xEE));
    return gradient;
}
} // namespace

TfrmMain *frmMain = nullptr;

bool TfrmMain::quitOnClose = false;

TfrmMain::TfrmMain(ui::Navigator &navigator, QWidget *parent)
    : QWidget(parent), m_navigator(navigator)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Тарвел"));
    resize(629, 510);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ImgBack = new QLabel(this);
    ImgBack->setObjectName(QStringLiteral("ImgBack"));
    // Painted only when seen: a picture drawn up front held 1.3 MB from the
    // start, and the page covers it before the window is first shown.
    ImgBack->setAutoFillBackground(true);
    QPalette backPalette = ImgBack->palette();
    backPalette.setBrush(QPalette::Window, backgroundBrush());
    ImgBack->setPalette(backPalette);

    RVStyle1 = &m_state.readingStyle();
    RVStyle2 = &m_state.menuStyle();

    RichView1 = new TRichView(this);
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle1);
    RichView1->setMargins(25, 15, 5, 5);
    RichView1->setSelectionEnabled(false);
    RichView1->setVisible(false);
    RichView1->setAccessibleName(QStringLiteral("Страница"));

    pnlMenu = new QFrame(this);
    pnlMenu->setObjectName(QStringLiteral("pnlMenu"));
    pnlMenu->setFrameShape(QFrame::Box);
    pnlMenu->setLineWidth(1);
    pnlMenu->setGeometry(0, 0, kMenuWidth, 433);
    RichView2 = new TRichView(pnlMenu);
    RichView2->setObjectName(QStringLiteral("RichView2"));
    RichView2->setRVStyle(RVStyle2);
    RichView2->setMargins(5, 5, 5, 5);
    RichView2->setSelectionEnabled(false);
    RichView2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichView2->setAccessibleName(QStringLiteral("Разделы"));

    pnlPlayer = new QFrame(this);
    pnlPlayer->setObjectName(QStringLiteral("pnlPlayer"));
    pnlPlayer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlPlayer->setGeometry(40, 0, 550, 400);
    pnlPlayer->setVisible(false);
    // Opaque, so that the text never shows through an empty panel.
    pnlPlayer->setAutoFillBackground(true);
    lblNoMovie = new QLabel(QStringLiteral("Для этой страницы нет видеолекции"), pnlPlayer);
    lblNoMovie->setObjectName(QStringLiteral("lblNoMovie"));
    lblNoMovie->setAlignment(Qt::AlignCenter);
    lblNoMovie->setWordWrap(true);
    Player = new movie::MovieControl(pnlPlayer);
    // A lecture's movie that fails leaves the rest of the reader usable.
    Player->setFailureClosesWindow(false);
    Player->setObjectName(QStringLiteral("Player"));
    Player->setVisible(false);

    btnPanelMenuNext = new QPushButton(this);
    btnPanelMenuNext->setObjectName(QStringLiteral("btnPanelMenuNext"));
    btnPanelMenuNext->setAccessibleName(QStringLiteral("Разделы"));
    btnPanelMenuNext->setToolTip(QStringLiteral("Разделы"));
    btnPanelMenuNext->setGeometry(kMenuWidth, 0, 10, 433);
    connect(btnPanelMenuNext, &QPushButton::clicked, this, &TfrmMain::btnPanelMenuNextClick);

    btnPlayerOn = new QPushButton(this);
    btnPlayerOn->setObjectName(QStringLiteral("btnPlayerOn"));
    btnPlayerOn->setAccessibleName(QStringLiteral("Видеолекция"));
    btnPlayerOn->setToolTip(QStringLiteral("Видеолекция"));
    btnPlayerOn->setGeometry(40, kPlayerButtonOffset, 550, 10);
    connect(btnPlayerOn, &QPushButton::clicked, this, &TfrmMain::btnPlayerOnClick);

    pnlButtons = new QFrame(this);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    pnlButtons->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlButtons->setAutoFillBackground(true);
    QPalette toolbarPalette = pnlButtons->palette();
    toolbarPalette.setColor(QPalette::Window, Qt::white);
    pnlButtons->setPalette(toolbarPalette);
    FlashButtons = new movie::MovieControl(pnlButtons);
    FlashButtons->setObjectName(QStringLiteral("FlashButtons"));
    connect(FlashButtons, &movie::MovieControl::fsCommand, this, &TfrmMain::FlashButtonsFSCommand);

    leftMenuTimer = new QTimer(this);
    leftMenuTimer->setObjectName(QStringLiteral("leftMenuTimer"));
    leftMenuTimer->setInterval(10);
    connect(leftMenuTimer, &QTimer::timeout, this, &TfrmMain::leftMenuTimerTimer);
    PlayerTimer = new QTimer(this);
    PlayerTimer->setObjectName(QStringLiteral("PlayerTimer"));
    PlayerTimer->setInterval(10);
    connect(PlayerTimer, &QTimer::timeout, this, &TfrmMain::PlayerTimerTimer);

    // Link clicks act from the event loop: a page opened from a link
    // replaces the document whose click raised it.
    connect(RichView1, &TRichView::jump, this,
            [this](int id) { dialogs::guarded(this, [&] { RichView1Jump(id); }); },
            Qt::QueuedConnection);
    connect(RichView2, &TRichView::jump, this,
            [this](int id) { dialogs::guarded(this, [&] { RichView2Jump(id); }); },
            Qt::QueuedConnection);

    // Ctrl+F: the search, from anywhere in the reader.
    auto *find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this,
            [this] { dialogs::guarded(this, [this] { openSearch(); }); });

    addShortcuts();
    FormCreate();
    layoutControls();
    updatePanelFocus();
}

TfrmMain::~TfrmMain() = default;

learners::CourseData &TfrmMain::XML()
{
    return m_state.XML();
}

void TfrmMain::FormCreate()
{
    ui::AppMessage::install();
    m_state.CurrentUser = learners::LearnerId();
    // The lecture movie fills its panel.
    Player->setGeometry(pnlPlayer->contentsRect());
    lblNoMovie->setGeometry(pnlPlayer->contentsRect());
}

void TfrmMain::setPageMovie(const QString &path)
{
    m_pageMovie = path;
    m_movieLoaded = false;
    const bool playerOut = m_state.PlayerShown || PlayerTimer->isActive();
    if (playerOut) {
        loadPageMovie();
        return;
    }
    // The scene is built when the panel comes out: most pages are read with
    // the panel in, and building it took a good part of opening a page. A
    // hidden panel does not go on playing another page's movie meanwhile.
    if (!Player->movie().isEmpty())
        Player->setMovie(QString());
}

void TfrmMain::loadPageMovie()
{
    if (m_movieLoaded || m_pageMovie.isEmpty())
        return;
    m_movieLoaded = true;
    Player->setMovie(m_pageMovie);
    showMovieOrPlaceholder();
}

void TfrmMain::showMovieOrPlaceholder()
{
    const bool loaded = Player->rootItem() != nullptr;
    Player->setVisible(loaded);
    lblNoMovie->setVisible(!loaded);
}

void TfrmMain::start()
{
    FormShow();
    if (m_closing)
        return;
    show();
    FormActivate();
}

void TfrmMain::closeMainWindow()
{
    if (m_closing)
        return;
    rememberPlace();
    m_closing = true;
    ui::ModalScreen::setProgramEnding(true);
    leftMenuTimer->stop();
    PlayerTimer->stop();
    // End every modal loop that runs, innermost first; the code after each
    // exec() then unwinds while nothing new can open.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }
    hide();
    if (quitOnClose)
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    closeMainWindow();
    event->accept();
}

void TfrmMain::FormShow()
{
    if (!m_state.CurrentUser.isValid()) {
        const QString failure = m_navigator.showSignIn();
        // The sign-in screen closes without a word when the learners cannot
        // be read; say why, then go on to the home screen, read only.
        if (!failure.isEmpty() && !m_closing) {
            m_state.learnerDataFailure = failure;
            dialogs::message(this, failure + kReadOnlyCourse);
            m_navigator.showHome(true);
        }
    } else {
        m_navigator.showHome(true);
    }
    // A slide still under way would carry on over the next page: the panel
    // now simply is hidden, and the page has the whole width again.
    leftMenuTimer->stop();
    if (!m_richViewAligned) {
        m_richViewAligned = true;
        layoutControls();
    }
    pnlMenu->move(kMenuHiddenLeft, pnlMenu->y());
    pnlPlayer->move(pnlPlayer->x(), kPlayerHiddenTop);
    btnPlayerOn->move(btnPlayerOn->x(), kPlayerHiddenTop + kPlayerButtonOffset);
    placeMenuButton();
    m_state.MenuShown = false;
    updatePanelFocus();
}

void TfrmMain::FormActivate()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    RichView1->setVisible(true);
    pnlPlayer->setVisible(true);
    ImgBack->setVisible(false);
    // The keyboard starts in the page: arrows scroll it, Tab walks its links.
    RichView1->setFocus(Qt::ActiveWindowFocusReason);
}

void TfrmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void TfrmMain::layoutControls()
{
    const int w = width();
    const int h = height();
    ImgBack->setGeometry(0, 0, w, h);
    pnlButtons->setGeometry(0, h - kToolbarHeight, w, kToolbarHeight);
    FlashButtons->setGeometry(2, 2, 780, 51);
    const int viewHeight = qMax(0, h - kToolbarHeight);
    if (m_richViewAligned)
        RichView1->setGeometry(0, 0, w, viewHeight);
    else
        RichView1->setGeometry(kMenuWidth, 0, qMax(0, w - kMenuWidth), viewHeight);
    applyColumn();
    // The movie panel keeps its distance to the right edge.
    const int playerLeft = w - kPlayerRightGap - pnlPlayer->width();
    pnlPlayer->move(playerLeft, pnlPlayer->y());
    btnPlayerOn->move(playerLeft, btnPlayerOn->y());
    FormResize();
}

void TfrmMain::placeMenuButton()
{
    btnPanelMenuNext->setGeometry(pnlMenu->x() + pnlMenu->width(), pnlMenu->y(), 10,
                                  pnlMenu->height());
}

void TfrmMain::FormResize()
{
    pnlMenu->resize(pnlMenu->width(), RichView1->height());
    RichView2->setGeometry(pnlMenu->contentsRect());
    btnPanelMenuNext->resize(btnPanelMenuNext->width(), pnlMenu->height());
}

// ---- Sliding panels -------------------------------------------------------

void TfrmMain::ShowMenuPanel()
{
    if (!m_state.MenuShown)
        leftMenuTimer->start();
}

void TfrmMain::HideMenuPanel()
{
    if (m_state.MenuShown)
        leftMenuTimer->start();
}

void TfrmMain::ShowPlayerPanel()
{
    if (!m_state.PlayerShown)
        PlayerTimer->start();
}

void TfrmMain::HidePlayerPanel()
{
    if (m_state.PlayerShown)
        PlayerTimer->start();
}

void TfrmMain::btnPanelMenuNextClick()
{
    if (!leftMenuTimer->isActive())
        leftMenuTimer->start();
}

void TfrmMain::btnPlayerOnClick()
{
    if (!PlayerTimer->isActive())
        PlayerTimer->start();
}

void TfrmMain::leftMenuTimerTimer()
{
    const auto refocus = qScopeGuard([this] { updatePanelFocus(); });
    if (m_state.MenuShown) {
        m_richViewAligned = true;
        layoutControls();
        if (pnlMenu->x() > kMenuHiddenLeft) {
            pnlMenu->move(pnlMenu->x() - 5, pnlMenu->y());
            placeMenuButton();
            return;
        }
        leftMenuTimer->stop();
        m_state.MenuShown = false;
    } else {
        if (pnlMenu->x() < 0) {
            pnlMenu->move(pnlMenu->x() + 5, pnlMenu->y());
            placeMenuButton();
            return;
        }
        RichView2->resize(kMenuWidth, RichView2->height());
        m_richViewAligned = false;
        layoutControls();
        leftMenuTimer->stop();
        m_state.MenuShown = true;
    }
}

void TfrmMain::PlayerTimerTimer()
{
    const auto refocus = qScopeGuard([this] { updatePanelFocus(); });
    int step = 0;
    if (m_state.PlayerShown) {
        if (pnlPlayer->y() < -400) {
            PlayerTimer->stop();
            m_state.PlayerShown = false;
            return;
        }
        step = -5;
    } else {
        loadPageMovie();
        if (pnlPlayer->y() >= 0) {
            PlayerTimer->stop();
            m_state.PlayerShown = true;
            return;
        }
        step = 5;
    }
    pnlPlayer->move(pnlPlayer->x(), pnlPlayer->y() + step);
    btnPlayerOn->move(btnPlayerOn->x(), btnPlayerOn->y() + step);
}

void TfrmMain::updatePanelFocus()
{
    // A panel counts as out while it rests hidden; once it starts to slide
    // in, it is the learner's to reach.
    const bool menuOut = m_state.MenuShown || leftMenuTimer->isActive();
    const bool playerOut = m_state.PlayerShown || PlayerTimer->isActive();
    pnlMenu->setEnabled(menuOut);
    pnlPlayer->setEnabled(playerOut);
    btnPanelMenuNext->setFocusPolicy(menuOut ? Qt::StrongFocus : Qt::NoFocus);
    btnPlayerOn->setFocusPolicy(playerOut ? Qt::StrongFocus : Qt::NoFocus);
}

void TfrmMain::addShortcuts()
{
    // The same commands as the toolbar's buttons, whose tooltips name these keys.
    const struct
    {
        QKeySequence keys;
        const char *command;
    } bindings[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), "DoBack"},
        {QKeySequence(QKeySequence::ZoomIn), "DoPlus"},
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), "DoPlus"},
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), "DoPlus"},
        {QKeySequence(QKeySequence::ZoomOut), "DoMinus"},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), "DoMinus"},
        {QKeySequence(Qt::CTRL | Qt::Key_D), "DoBookmark"},
        {QKeySequence(Qt::Key_F1), "DoHelp"},
        {QKeySequence(Qt::Key_F2), "DoMenu"},
    };
    QList<QKeySequence> taken;
    for (const auto &binding : bindings) {
        // ZoomIn is Ctrl++ on most systems already; a key bound twice is ambiguous.
        if (binding.keys.isEmpty() || taken.contains(binding.keys))
            continue;
        taken.append(binding.keys);
        auto *shortcut = new QShortcut(binding.keys, this);
        const QString command = QString::fromLatin1(binding.command);
        connect(shortcut, &QShortcut::activated, this, [this, command] {
            // A command may open a modal screen: run it from the event loop,
            // as the toolbar's own commands are.
            QMetaObject::invokeMethod(
                this,
                [this, command] {
                    dialogs::guarded(this, [&] { FlashButtonsFSCommand(command, QString()); });
                },
                Qt::QueuedConnection);
        });
    }
}

// ---- Navigation history ---------------------------------------------------

bool TfrmMain::PushHistory(int kind, bool flag, int value)
{
    m_state.History.push(HistoryCommand(kind, flag, value));
    return true;
}

bool TfrmMain::PopHistory(HistoryCommand &record)
{
    return m_state.History.pop(record);
}

// ---- Pages and the section menu ---------------------------------------------

void TfrmMain::OpenPage(int n)
{
    bool loaded = false;
    QString failure;
    QString document;
    try {
        m_state.CurrentPage = n;
        RichView1->ScrollTo(0);
        const PageEntry entry = pageEntry(n);
        document = entry.document;
        loaded = RichView1->LoadRVF(entry.document);
        if (!loaded)
            failure = RichView1->loadError();
        if (loaded) {
            if (!entry.movie.isEmpty())
                setPageMovie(movie::MovieControl::moviePath(entry.movie));
            if (entry.toolbarFrame >= 0)
                FlashButtons->GotoFrame(entry.toolbarFrame);
            RichView1->Format();
            // Every page opens at its top; a bookmark scrolls on from there.
            RichView1->ScrollTo(0);
            RichView1->viewport()->update();
            BuildSectionMenu();
            m_onPage = true;
        }
    } catch (const std::exception &e) {
        loaded = false;
        failure = QString::fromUtf8(e.what());
    }
    if (loaded) {
        rememberPlace();
        if (n >= pages::kFirstLecture && n <= pages::kLastLecture &&
            m_state.learnerDataWritable()) {
            try {
                m_state.learnerStore().markOpened(m_state.CurrentUser, n);
            } catch (const std::exception &) {
                // What was opened is a convenience of the home screen; the
                // page itself is shown all the same.
            }
        }
    }
    if (!loaded) {
        // The learner gets the fixed message; whoever looks after the course
        // finds the file, the line and the reason on standard error.
        std::fprintf(stderr, "tarvel: %s: %s\n", qUtf8Printable(document),
                     qUtf8Printable(failure.isEmpty() ? QStringLiteral("cannot be read") : failure));
        std::fflush(stderr);
        dialogs::message(this, kMissingFiles);
        closeMainWindow();
    }
}

void TfrmMain::BuildSectionMenu()
{
    RichView2->Clear();
    m_state.SectionY.clear();
    RichView2->AddNL(QString(), rvs::tsSubheading, rvs::psLeftIndent);
    RichView2->AddNL(QString(), rvs::tsSubheading, rvs::psLeftIndent);
    updateSectionPositions();
    for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp)) {
        int tag = 0;
        QString name;
        bool raiseEvent = false;
        RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
        RichView2->AddNLTag(name, rvs::tsJumpArial, rvs::psLeftIndent, tag);
        RichView2->AddNL(QStringLiteral(" "), rvs::tsNormal, rvs::psLeft);
    }
    RichView2->Format();
}

void TfrmMain::updateSectionPositions()
{
    m_state.SectionY.clear();
    if (!RichView1->isFormatted())
        return;
    for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp)) {
        int x = 0;
        int y = 0;
        RichView1->GetCheckpointXY(cp, x, y);
        m_state.SectionY.push_back(y);
    }
}

void TfrmMain::RichView2Jump(int k)
{
    // The positions are those of the layout now on screen: the menu sliding
    // in, a zoom or a resize has changed the text width since they were taken.
    updateSectionPositions();
    if (k < 0 || k >= static_cast<int>(m_state.SectionY.size()))
        return;
    RichView1->ScrollTo(m_state.SectionY[static_cast<size_t>(k)]);
    RichView1->Format();
    BuildSectionMenu();
}

// ---- Toolbar ----------------------------------------------------------------

void TfrmMain::FlashButtonsFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("DoHome")) {
        rememberPlace();
        HideMenuPanel();
        HidePlayerPanel();
        FormShow();
        PushHistory(hkHome, false, 0);
    } else if (command == QLatin1String("DoMenu")) {
        if (m_state.MenuShown)
            HideMenuPanel();
        else
            ShowMenuPanel();
    } else if (command == QLatin1String("DoPlayer")) {
        if (m_state.PlayerShown)
            HidePlayerPanel();
        else
            ShowPlayerPanel();
    } else if (command == QLatin1String("DoBookmark")) {
        AddBookmark();
    } else if (command == QLatin1String("DoPlus")) {
        ZoomIn();
    } else if (command == QLatin1String("DoMinus")) {
        ZoomOut();
    } else if (command == QLatin1String("DoDict")) {
        OpenPage(pages::kDictionary);
        HidePlayerPanel();
        HideMenuPanel();
        PushHistory(hkPage, false, pages::kDictionary);
    } else if (command == QLatin1String("DoHelp")) {
        OpenPage(pages::kHelp);
        HidePlayerPanel();
        HideMenuPanel();
        PushHistory(hkPage, false, pages::kHelp);
    } else if (command == QLatin1String("DoBack")) {
        Back();
    } else if (command == QLatin1String("DoSearch")) {
        openSearch();
    }
}

void TfrmMain::AddBookmark()
{
    if (!m_state.learnerDataFailure.isEmpty()) {
        dialogs::message(this, m_state.learnerDataUnavailableText());
        return;
    }
    // A failed save raises; the learner then sees why and no success message.
    // Where the learner is reading, so the bookmark reopens there.
    const int increment = m_onPage ? scrollPercent() : 0;
    m_state.learnerStore().addBookmark(m_state.CurrentUser, m_state.CurrentPage, increment,
                                       m_onPage ? sectionInView() : QString());
    dialogs::message(this, QStringLiteral("Добавлена закладка!"));
}

void TfrmMain::Back()
{
    // With fewer than two records there is no earlier view to return to:
    // the record on top stands for the view being shown, so nothing changes.
    if (m_state.History.size() < 2)
        return;
    HistoryCommand leaving;
    HistoryCommand target;
    PopHistory(leaving);
    PopHistory(target);
    switch (target.GetKind()) {
    case hkPage:
        OpenPage(target.Arg2);
        break;
    case hkHome:
        HideMenuPanel();
        HidePlayerPanel();
        FormShow();
        break;
    case hkContents:
        ShowContents();
        break;
    default:
        break;
    }
}

// ---- Contents page, page links, zoom ----------------------------------------

void TfrmMain::ShowContents()
{
    using namespace rvs;
    HideMenuPanel();
    m_onPage = false;
    if (!XML().isLoaded() || !m_state.learnerDataFailure.isEmpty()) {
        // Without the course data the course's own contents document
        // stands in: its link k opens page k as well.
        OpenPage(pages::kContents);
        if (m_closing)
            return;
        RichView2->Clear();
        RichView2->Format();
        m_state.SectionY.clear();
        PushHistory(hkContents, false, 0);
        return;
    }
    RichView1->Clear();
    RichView2->Clear();
    m_state.SectionY.clear();
    RichView1->AddNL(QStringLiteral("Содержание"), tsSubheading, psCentered);
    int i = 0;
    XML().readLectures([&](const learners::CourseData::Lecture &lecture) {
        RichView1->AddNL(QString(), tsSubheading, psCentered);
        if (!lecture.hasId)
            throw learners::CourseDataError(
                QStringLiteral("В описании курса у лекции %1 нет атрибута id.").arg(i));
        RichView1->AddNLTag(lecture.id + QStringLiteral(".  ") + lecture.description,
                            tsJumpArial, psLeftIndent, i);
        RichView1->AddNL(QStringLiteral(" "), tsNormal, psLeft);
        for (const learners::CourseData::Section &section : lecture.sections)
            RichView1->AddNL(QStringLiteral("     ") + section.mark + QStringLiteral(" ") +
                                 section.title,
                             tsCourier, psLeftIndent);
        ++i;
    });
    // The view lays the new content out at the top; the section menu stays empty.
    RichView1->Format();
    RichView1->ScrollTo(0);
    RichView2->Format();
    PushHistory(hkContents, false, 0);
}

void TfrmMain::RichView1Jump(int id)
{
    if (m_state.TopicMode) {
        StartTopicTest(id);
        return;
    }
    OpenPage(id);
    if (m_closing)
        return;
    PushHistory(hkPage, false, id);
    // OpenPage has laid the page and its section menu out, and nothing has
    // changed them since: a second layout of a long lecture would only
    // repeat the first.
    if (!RichView1->isFormatted()) {
        RichView1->Format();
        BuildSectionMenu();
    }
    ShowMenuPanel();
}

void TfrmMain::ZoomIn()
{
    if (m_state.NormalSize >= reader::ReaderState::kMaxNormalSize)
        return;
    ++m_state.NormalSize;
    ++m_state.HeadingSize;
    ++m_state.SubheadingSize;
    ApplyZoom();
    savePreferences();
}

void TfrmMain::ZoomOut()
{
    // Below this the text is no longer readable, and further presses would
    // change nothing visible while the sizes ran on.
    if (m_state.NormalSize <= reader::ReaderState::kMinNormalSize)
        return;
    --m_state.NormalSize;
    --m_state.HeadingSize;
    --m_state.SubheadingSize;
    ApplyZoom();
    savePreferences();
}

void TfrmMain::ApplyZoom()
{
    RVStyle1->TextStyles(rvs::tsNormal).size = m_state.NormalSize;
    RVStyle1->TextStyles(rvs::tsHeading).size = m_state.HeadingSize;
    RVStyle1->TextStyles(rvs::tsSubheading).size = m_state.SubheadingSize;
    RVStyle1->TextStyles(rvs::tsCourier).size = m_state.NormalSize;
    // The same text stays at the top: a pixel offset means other text at
    // another size.
    RichView1->Reformat();
    applyColumn();
    BuildSectionMenu();
}

// ---- Intents of the other windows -------------------------------------------

bool TfrmMain::showPageAt(int page, int increment)
{
    OpenPage(page);
    if (m_closing)
        return false;
    // The percentage of the page's height; a hand-edited value too large for
    // a position is held at the edge rather than wrapped round, and ScrollTo
    // keeps it within the document.
    const int hundredth = RichView1->DocumentHeight() / 100;
    qint64 y = qint64(increment) * hundredth;
    // A per cent of a long page is many lines: a section that starts within
    // that step below is where the place was kept, so it opens at its heading.
    for (int sectionY : m_state.SectionY) {
        if (sectionY > y && sectionY <= y + hundredth + kScrollSlack) {
            y = sectionY;
            break;
        }
    }
    RichView1->ScrollTo(int(
        std::clamp<qint64>(y, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    return true;
}

void TfrmMain::reloadToolbar()
{
    FlashButtons->setMovie(movie::MovieControl::moviePath(QStringLiteral("buttons")));
}

namespace {
// Text styles 0 to 12 of the reader sheet as they start. Styles 4 and 12 end
// larger than the sheet itself starts them (8 and 10 points).
constexpr int kDefaultSizes[] = {10, 20, 14, 10, 10, 12, 10, 9, 9, 12, 10, 10, 12};
} // namespace

void TfrmMain::applyReadingFont(const QFont &font, const QColor &color)
{
    using namespace rvs;
    RVTextStyle &normal = RVStyle1->TextStyles(tsNormal);
    normal.assignFont(font, color);
    const int size = normal.size;
    // The other styles keep their faces, colours and effects.
    RVStyle1->TextStyles(tsHeading).size = size + 10;
    RVStyle1->TextStyles(tsSubheading).size = size + 4;
    RVStyle1->TextStyles(tsCourier).size = size;
    RVStyle1->TextStyles(tsJumpArial).size = size;
    m_fontChosen = true;
    relayoutPage();
}

void TfrmMain::restoreDefaultSizes()
{
    for (int i = 0; i < int(std::size(kDefaultSizes)); ++i)
        RVStyle1->TextStyles(i).size = kDefaultSizes[i];
    relayoutPage();
}

void TfrmMain::relayoutPage()
{
    // Only a page on screen is laid out now; a hidden one is at its next showing.
    if (!RichView1->isVisible())
        return;
    RichView1->Format();
    applyColumn();
    BuildSectionMenu();
}

// ---- Column width -------------------------------------------------------------

namespace {
constexpr int kColumnChars = 90;
constexpr int kLeftMargin = 25;
constexpr int kRightMargin = 15;
} // namespace

void TfrmMain::setNarrowColumn(bool on)
{
    m_narrowColumn = on;
    applyColumn();
}

void TfrmMain::applyColumn()
{
    int side = 0;
    if (m_narrowColumn) {
        // Measured on Russian text: a font's own average is taken over Latin
        // letters and would make the column too wide.
        static const QString sample =
            QStringLiteral("Съешь же ещё этих мягких французских булок, да выпей чаю. ");
        const QFontMetrics metrics(RVStyle1->TextStyles(rvs::tsNormal).font());
        const int column = metrics.horizontalAdvance(sample) * kColumnChars / int(sample.size());
        side = std::max(0, (RichView1->viewport()->width() - column) / 2);
    }
    // Margins change only when the column does: the panels' slide calls here
    // at every step.
    if (side == m_sideMargin)
        return;
    m_sideMargin = side;
    RichView1->setMargins(std::max(kLeftMargin, side), std::max(kRightMargin, side), 5, 5);
    if (m_onPage && RichView1->isFormatted())
        BuildSectionMenu();
}

// ---- Search -------------------------------------------------------------------

reader::SearchIndex &TfrmMain::searchIndex()
{
    if (m_searchIndex)
        return *m_searchIndex;
    m_searchIndex = std::make_unique<reader::SearchIndex>();
    // The lecture titles as the contents page gives them; the course data
    // may be unreadable, and the pages are searched all the same.
    QVector<QString> titles(pages::kLastLecture + 1);
    try {
        int i = 0;
        XML().readLectures(
            [&](const learners::CourseData::Lecture &lecture) {
                if (i < titles.size())
                    titles[i] = lecture.description;
                ++i;
            },
            false);
    } catch (const std::exception &) {
    }
    for (int page = pages::kFirstLecture; page <= pages::kLastLecture; ++page) {
        QString title = QStringLiteral("Лекция %1").arg(page);
        if (!titles[page].isEmpty())
            title += QStringLiteral(". ") + titles[page];
        m_searchIndex->addFile(page, title, pageEntry(page).document);
    }
    m_searchIndex->addFile(pages::kIntroduction, QStringLiteral("Введение"),
                           pageEntry(pages::kIntroduction).document);
    m_searchIndex->addFile(pages::kHelp, QStringLiteral("Справка"), pageEntry(pages::kHelp).document);
    m_searchIndex->addFile(pages::kDictionary, QStringLiteral("Словарь"),
                           pageEntry(pages::kDictionary).document);
    return *m_searchIndex;
}

void TfrmMain::openSearch()
{
    if (!m_searchWindow) {
        m_searchWindow = new SearchWindow(this);
        connect(m_searchWindow, &SearchWindow::hitChosen, this,
                [this](const reader::SearchIndex::Hit &hit) {
                    dialogs::guarded(this, [&] { showSearchHit(hit); });
                });
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    reader::SearchIndex &index = searchIndex();
    QApplication::restoreOverrideCursor();
    m_searchWindow->showFor(index);
}

void TfrmMain::showSearchHit(const reader::SearchIndex::Hit &hit)
{
    m_state.TopicMode = false;
    // The movie panel would cover the hit.
    HidePlayerPanel();
    OpenPage(hit.page);
    if (m_closing)
        return;
    PushHistory(hkPage, false, hit.page);
    QVector<TRichView::Highlight> marks;
    for (const reader::SearchIndex::Hit::Span &span : hit.spans)
        marks.append({span.item, span.offset, span.length});
    RichView1->setHighlights(marks);
    // The hit a few lines below the top, so the text before it shows.
    const int top = RichView1->textTop(hit.item, hit.offset);
    if (top >= 0)
        RichView1->ScrollTo(std::max(0, top - 3 * QFontMetrics(RVStyle1->TextStyles(rvs::tsNormal).font()).height()));
    rememberPlace();
}

void TfrmMain::showSection(int page, const QString &mark)
{
    m_state.TopicMode = false;
    HidePlayerPanel();
    OpenPage(page);
    if (m_closing)
        return;
    PushHistory(hkPage, false, page);
    if (!mark.isEmpty()) {
        // Sections are the page's checkpoints, named "<mark> <title>".
        size_t k = 0;
        for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp), ++k) {
            int tag = 0;
            QString name;
            bool raiseEvent = false;
            RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
            if ((name == mark || name.startsWith(mark + QLatin1Char(' '))) &&
                k < m_state.SectionY.size()) {
                RichView1->ScrollTo(m_state.SectionY[k]);
                break;
            }
        }
    }
    ShowMenuPanel();
    rememberPlace();
}

// ---- The learner's place and preferences --------------------------------------

int TfrmMain::scrollPercent() const
{
    const int hundredth = RichView1->DocumentHeight() / 100;
    if (hundredth <= 0)
        return 0;
    return std::clamp(RichView1->scrollPosition() / hundredth, 0, 100);
}

QString TfrmMain::sectionInView() const
{
    // The last section that starts at or above the top of the view (a line's
    // worth of slack: a jump to a section puts it right at the top).
    const int top = RichView1->scrollPosition() + 20;
    QString name;
    size_t k = 0;
    for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp), ++k) {
        if (k >= m_state.SectionY.size() || m_state.SectionY[k] > top)
            break;
        int tag = 0;
        bool raiseEvent = false;
        RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
    }
    return name;
}

void TfrmMain::rememberPlace()
{
    if (!m_onPage || !m_state.learnerDataWritable())
        return;
    learners::Place place;
    place.page = m_state.CurrentPage;
    place.increment = scrollPercent();
    place.section = sectionInView();
    try {
        m_state.learnerStore().setPlace(m_state.CurrentUser, place);
    } catch (const std::exception &) {
        // The place is a convenience: a save that fails here must not stand
        // between the learner and the page (a change that matters, such as a
        // bookmark, reports its own failure).
    }
}

bool TfrmMain::continueReading()
{
    if (!m_state.CurrentUser.isValid() || !m_state.learnerStore().isOpen())
        return false;
    const learners::Place place = m_state.learnerStore().place(m_state.CurrentUser);
    if (place.page < 0)
        return false;
    m_state.TopicMode = false;
    if (!showPageAt(place.page, place.increment))
        return false;
    PushHistory(hkPage, false, place.page);
    return true;
}

void TfrmMain::applyLearnerPreferences()
{
    if (!m_state.CurrentUser.isValid() || m_preferencesUser == m_state.CurrentUser ||
        !m_state.learnerStore().isOpen())
        return;
    m_preferencesUser = m_state.CurrentUser;
    learners::Preferences prefs;
    try {
        prefs = m_state.learnerStore().preferences(m_state.CurrentUser);
    } catch (const std::exception &) {
        return;
    }
    m_state.NormalSize = reader::ReaderState::kDefaultNormalSize + prefs.zoom;
    m_state.HeadingSize = reader::ReaderState::kDefaultHeadingSize + prefs.zoom;
    m_state.SubheadingSize = reader::ReaderState::kDefaultSubheadingSize + prefs.zoom;
    if (prefs.zoom != 0)
        ApplyZoom();
    if (!prefs.fontFamily.isEmpty()) {
        QFont font(prefs.fontFamily);
        font.setPointSize(prefs.fontSize > 0 ? prefs.fontSize : m_state.NormalSize);
        font.setBold(prefs.bold);
        font.setItalic(prefs.italic);
        const QColor color(prefs.fontColor);
        applyReadingFont(font, color.isValid() ? color : QColor(Qt::black));
    }
    setNarrowColumn(prefs.narrowColumn);
}

void TfrmMain::savePreferences()
{
    if (!m_state.CurrentUser.isValid() || !m_state.learnerStore().isOpen())
        return;
    learners::Preferences prefs;
    if (m_fontChosen) {
        const RVTextStyle &normal = RVStyle1->TextStyles(rvs::tsNormal);
        prefs.fontFamily = normal.fontName;
        prefs.fontSize = normal.size;
        prefs.fontColor = normal.color.name();
        prefs.bold = normal.bold;
        prefs.italic = normal.italic;
    }
    prefs.zoom = m_state.NormalSize - reader::ReaderState::kDefaultNormalSize;
    prefs.narrowColumn = m_narrowColumn;
    m_preferencesUser = m_state.CurrentUser;
    if (!m_state.learnerDataWritable())
        return; // the choice lasts for the run
    // A failed save is the learner's to see: the choice would be lost.
    m_state.learnerStore().setPreferences(m_state.CurrentUser, prefs);
}
