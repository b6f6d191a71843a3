#include "reader/MainForm.h"

#include "app/AppMessage.h"
#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "app/intro.h"
#include "learners/CourseData.h"
#include "learners/Login.h"
#include "movie/MovieControl.h"
#include "reader/PageCatalogue.h"
#include "richtext/RichView.h"
#include "richtext/RVStyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int kMenuWidth = 200;
constexpr int kMenuHiddenLeft = -210;
constexpr int kPlayerHiddenTop = -405;
constexpr int kPlayerButtonOffset = 390;
constexpr int kPlayerRightGap = 39;
constexpr int kToolbarHeight = 55;

const QString kMissingFiles = QStringLiteral(
    "Были удалены файлы, необходимые для работы приложения. Продолжение работы невозможно.");

const QString kReadOnlyCourse = QStringLiteral(
    "\n\nУчебник можно читать, но ученики, результаты тестов и закладки недоступны.");

QString requiredAttribute(const pugi::xml_node &element, const char *name)
{
    const pugi::xml_attribute attribute = element.attribute(name);
    if (!attribute)
        throw std::runtime_error(std::string("Missing attribute \"") + name + "\" of <" +
                                 element.name() + ">");
    return QString::fromUtf8(attribute.value());
}

QPixmap backgroundPicture()
{
    QPixmap pixmap(629, 510);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 0, 510);
    gradient.setColorAt(0, QColor(0xEE, 0xF3, 0xFA));
    gradient.setColorAt(1, QColor(0xC9, 0xD8, 0xEE));
    painter.fillRect(pixmap.rect(), gradient);
    return pixmap;
}
} // namespace

bool TfrmMain::quitOnClose = false;

TfrmMain::TfrmMain(QWidget *parent) : QWidget(parent), m_xml(std::make_unique<CourseData>())
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Тарвел"));
    resize(629, 510);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ImgBack = new QLabel(this);
    ImgBack->setObjectName(QStringLiteral("ImgBack"));
    ImgBack->setAlignment(Qt::AlignCenter);
    ImgBack->setPixmap(backgroundPicture());

    RVStyle1 = new TRVStyle(TRVStyle::Sheet::Reader, this);
    RVStyle2 = new TRVStyle(TRVStyle::Sheet::Menu, this);

    RichView1 = new TRichView(this);
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle1);
    RichView1->setMargins(25, 15, 5, 5);
    RichView1->setSelectionEnabled(false);
    RichView1->setVisible(false);

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

    pnlPlayer = new QFrame(this);
    pnlPlayer->setObjectName(QStringLiteral("pnlPlayer"));
    pnlPlayer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlPlayer->setGeometry(40, 0, 550, 400);
    pnlPlayer->setVisible(false);
    Player = new MovieControl(pnlPlayer);
    Player->setObjectName(QStringLiteral("Player"));

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
    FlashButtons = new MovieControl(pnlButtons);
    FlashButtons->setObjectName(QStringLiteral("FlashButtons"));
    connect(FlashButtons, &MovieControl::fsCommand, this, &TfrmMain::FlashButtonsFSCommand);

    leftMenuTimer = new QTimer(this);
    leftMenuTimer->setInterval(10);
    connect(leftMenuTimer, &QTimer::timeout, this, &TfrmMain::leftMenuTimerTimer);
    PlayerTimer = new QTimer(this);
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

    FormCreate();
    layoutControls();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate()
{
    AppMessage::install();
    CurrentUser = -1;
    // The lecture movie fills its panel.
    Player->setGeometry(pnlPlayer->contentsRect());
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
    m_closing = true;
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
    if (CurrentUser == -1) {
        frmLogin->showModal();
        frmLogin->Flash->GotoFrame(1);
        frmLogin->Flash->Play();
        frmLogin->ReturnStep();
        // The sign-in screen closes without a word when the learners cannot
        // be read; say why, or the learner faces a reader that saves nothing.
        if (!frmLogin->loadFailure().isEmpty() && !m_closing)
            dialogs::message(this, frmLogin->loadFailure() + kReadOnlyCourse);
    } else {
        frmIntro->showModal();
        frmIntro->Flash->GotoFrame(1);
        frmIntro->Flash->Play();
    }
    pnlMenu->move(kMenuHiddenLeft, pnlMenu->y());
    pnlPlayer->move(pnlPlayer->x(), kPlayerHiddenTop);
    btnPlayerOn->move(btnPlayerOn->x(), kPlayerHiddenTop + kPlayerButtonOffset);
    placeMenuButton();
    MenuShown = false;
}

void TfrmMain::FormActivate()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    RichView1->setVisible(true);
    pnlPlayer->setVisible(true);
    ImgBack->setVisible(false);
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
    FlashButtons->setGeometry(2, 2, 700, 51);
    const int viewHeight = qMax(0, h - kToolbarHeight);
    if (m_richViewAligned)
        RichView1->setGeometry(0, 0, w, viewHeight);
    else
        RichView1->setGeometry(kMenuWidth, 0, qMax(0, w - kMenuWidth), viewHeight);
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
    if (!MenuShown)
        leftMenuTimer->start();
}

void TfrmMain::HideMenuPanel()
{
    if (MenuShown)
        leftMenuTimer->start();
}

void TfrmMain::ShowPlayerPanel()
{
    if (!PlayerShown)
        PlayerTimer->start();
}

void TfrmMain::HidePlayerPanel()
{
    if (PlayerShown)
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
    if (MenuShown) {
        m_richViewAligned = true;
        layoutControls();
        if (pnlMenu->x() > kMenuHiddenLeft) {
            pnlMenu->move(pnlMenu->x() - 5, pnlMenu->y());
            placeMenuButton();
            return;
        }
        leftMenuTimer->stop();
        MenuShown = false;
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
        MenuShown = true;
    }
}

void TfrmMain::PlayerTimerTimer()
{
    int step = 0;
    if (PlayerShown) {
        if (pnlPlayer->y() < -400) {
            PlayerTimer->stop();
            PlayerShown = false;
            return;
        }
        step = -5;
    } else {
        if (pnlPlayer->y() >= 0) {
            PlayerTimer->stop();
            PlayerShown = true;
            return;
        }
        step = 5;
    }
    pnlPlayer->move(pnlPlayer->x(), pnlPlayer->y() + step);
    btnPlayerOn->move(btnPlayerOn->x(), btnPlayerOn->y() + step);
}

// ---- Navigation history ---------------------------------------------------

bool TfrmMain::PushHistory(int kind, bool flag, int value)
{
    History.emplace_back(kind, flag, value);
    return true;
}

bool TfrmMain::PopHistory(HistoryCommand &record)
{
    if (History.empty())
        return false;
    record = History.back();
    History.pop_back();
    return true;
}

// ---- Pages and the section menu ---------------------------------------------

void TfrmMain::OpenPage(int n)
{
    bool loaded = false;
    try {
        CurrentPage = n;
        RichView1->ScrollTo(0);
        const PageEntry entry = pageEntry(n);
        loaded = RichView1->LoadRVF(entry.document);
        if (loaded) {
            if (!entry.movie.isEmpty())
                Player->setMovie(MovieControl::moviePath(entry.movie));
            if (entry.toolbarFrame >= 0)
                FlashButtons->GotoFrame(entry.toolbarFrame);
            RichView1->Format();
            RichView1->viewport()->update();
            BuildSectionMenu();
        }
    } catch (const std::exception &) {
        loaded = false;
    }
    if (!loaded) {
        dialogs::message(this, kMissingFiles);
        closeMainWindow();
    }
}

void TfrmMain::BuildSectionMenu()
{
    RichView2->Clear();
    SectionY.clear();
    RichView2->AddNL(QString(), 2, 1);
    RichView2->AddNL(QString(), 2, 1);
    for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp)) {
        int x = 0;
        int y = 0;
        RichView1->GetCheckpointXY(cp, x, y);
        SectionY.push_back(y);
    }
    for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp)) {
        int tag = 0;
        QString name;
        bool raiseEvent = false;
        RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
        RichView2->AddNLTag(name, 4, 1, tag);
        RichView2->AddNL(QStringLiteral(" "), 0, 0);
    }
    RichView2->Format();
}

void TfrmMain::RichView2Jump(int k)
{
    if (k < 0 || k >= static_cast<int>(SectionY.size()))
        return;
    RichView1->ScrollTo(SectionY[static_cast<size_t>(k)]);
    RichView1->Format();
    BuildSectionMenu();
}

// ---- Toolbar ----------------------------------------------------------------

void TfrmMain::FlashButtonsFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("DoHome")) {
        HideMenuPanel();
        HidePlayerPanel();
        FormShow();
        PushHistory(hkHome, false, 0);
    } else if (command == QLatin1String("DoMenu")) {
        if (MenuShown)
            HideMenuPanel();
        else
            ShowMenuPanel();
    } else if (command == QLatin1String("DoPlayer")) {
        if (PlayerShown)
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
        OpenPage(11);
        HidePlayerPanel();
        HideMenuPanel();
        PushHistory(hkPage, false, 11);
    } else if (command == QLatin1String("DoHelp")) {
        OpenPage(111);
        HidePlayerPanel();
        HideMenuPanel();
        PushHistory(hkPage, false, 111);
    } else if (command == QLatin1String("DoBack")) {
        Back();
    }
}

void TfrmMain::AddBookmark()
{
    // A failed save raises; the learner then sees why and no success message.
    XML().addBookmark(CurrentUser, CurrentPage);
    dialogs::message(this, QStringLiteral("Добавлена закладка!"));
}

void TfrmMain::Back()
{
    // With fewer than two records there is no earlier view to return to:
    // the record on top stands for the view being shown, so nothing changes.
    if (History.size() < 2)
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
    HideMenuPanel();
    const pugi::xml_node lectures = XML().lectureList();
    RichView1->Clear();
    RichView2->Clear();
    SectionY.clear();
    RichView1->AddNL(QStringLiteral("Содержание"), 2, 2);
    int i = 0;
    for (pugi::xml_node lecture = lectures.first_child(); lecture;
         lecture = lecture.next_sibling(), ++i) {
        RichView1->AddNL(QString(), 2, 2);
        const QString line = requiredAttribute(lecture, "id") + QStringLiteral(".  ") +
                             CourseData::value(CourseData::child(lecture, "description"));
        RichView1->AddNLTag(line, 4, 1, i);
        RichView1->AddNL(QStringLiteral(" "), 0, 0);
        int position = 0;
        for (pugi::xml_node section = lecture.first_child(); section;
             section = section.next_sibling(), ++position) {
            if (position < 3)
                continue;
            RichView1->AddNL(QStringLiteral("     ") +
                                 CourseData::value(CourseData::child(section, "mark")) +
                                 QStringLiteral(" ") +
                                 CourseData::value(CourseData::child(section, "title")),
                             3, 1);
        }
    }
    // The view lays the new content out; the section menu stays empty.
    RichView1->Format();
    RichView2->Format();
    PushHistory(hkContents, false, 0);
}

void TfrmMain::RichView1Jump(int id)
{
    if (TopicMode) {
        StartTopicTest(id);
        return;
    }
    OpenPage(id);
    if (m_closing)
        return;
    PushHistory(hkPage, false, id);
    RichView1->Format();
    BuildSectionMenu();
    ShowMenuPanel();
}

void TfrmMain::ZoomIn()
{
    ++NormalSize;
    ++HeadingSize;
    ++SubheadingSize;
    ApplyZoom();
}

void TfrmMain::ZoomOut()
{
    --NormalSize;
    --HeadingSize;
    --SubheadingSize;
    ApplyZoom();
}

void TfrmMain::ApplyZoom()
{
    RVStyle1->TextStyles(0).size = NormalSize;
    RVStyle1->TextStyles(1).size = HeadingSize;
    RVStyle1->TextStyles(2).size = SubheadingSize;
    RVStyle1->TextStyles(3).size = NormalSize;
    RichView1->Format();
    BuildSectionMenu();
}
