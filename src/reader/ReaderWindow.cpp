#include "reader/ReaderWindow.h"

#include "learners/CourseData.h"
#include "reader/MoviePanel.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderNotice.h"
#include "reader/ReaderSearch.h"
#include "reader/ReaderToolbar.h"
#include "reader/ReadingPreferences.h"
#include "reader/SectionMenu.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "ui/AppMessage.h"
#include "ui/Dialogs.h"
#include "ui/ModalScreen.h"
#include "ui/Navigator.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

namespace {
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

    createPageView();
    createParts();
    connectState();
    FormCreate();
    layoutControls();
    updatePanelFocus();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createPageView()
{
    ImgBack = new QLabel(this);
    ImgBack->setObjectName(QStringLiteral("ImgBack"));
    // Painted only when seen: a picture drawn up front held 1.3 MB from the
    // start, and the page covers it before the window is first shown.
    ImgBack->setAutoFillBackground(true);
    QPalette backPalette = ImgBack->palette();
    backPalette.setBrush(QPalette::Window, backgroundBrush());
    ImgBack->setPalette(backPalette);

    RVStyle1 = &m_state.readingStyle();
    RichView1 = new TRichView(this);
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle1);
    RichView1->setMargins(25, 15, 5, 5);
    RichView1->setSelectionEnabled(false);
    RichView1->setVisible(false);
    RichView1->setAccessibleName(QStringLiteral("Страница"));
    // Link clicks act from the event loop: a page opened from a link
    // replaces the document whose click raised it.
    connect(
        RichView1, &TRichView::jump, this,
        [this](int id) { ui::guarded(this, [&] { RichView1Jump(id); }); },
        Qt::QueuedConnection);
}

void TfrmMain::createParts()
{
    m_menu = new reader::SectionMenu(m_state, *RichView1, *this);
    m_player = new reader::MoviePanel(m_state, *this);
    m_menu->addHandle();
    m_player->addHandle();
    m_toolbar = new reader::ReaderToolbar(*this);
    m_search = new reader::ReaderSearch(m_state, *this);
    m_notice = new reader::ReaderNotice(this);

    connect(
        m_menu->view(), &TRichView::jump, this,
        [this](int k) { ui::guarded(this, [&] { RichView2Jump(k); }); }, Qt::QueuedConnection);
    connect(m_menu, &reader::SectionMenu::pageWidthChanged, this, &TfrmMain::setPageWholeWidth);
    connect(m_menu, &reader::SectionMenu::slid, this, &TfrmMain::updatePanelFocus);
    connect(m_player, &reader::MoviePanel::slid, this, [this] {
        updatePanelFocus();
        // The page gives the movie panel room while it is out, as it does
        // the section menu.
        if (RichView1->geometry() != pageArea())
            layoutControls();
    });
    connect(m_toolbar, &reader::ReaderToolbar::command, this, &TfrmMain::FlashButtonsFSCommand);
    connect(m_search, &reader::ReaderSearch::hitChosen, this, &TfrmMain::showSearchHit);

    // Ctrl+F: the search, from anywhere in the reader.
    auto *find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this,
            [this] { ui::guarded(this, [this] { openSearch(); }); });
}

void TfrmMain::connectState()
{
    // The page follows the reading choices, whoever made them.
    connect(&m_state, &reader::ReaderState::zoomChanged, this, &TfrmMain::ApplyZoom);
    connect(&m_state, &reader::ReaderState::readingFontChanged, this, &TfrmMain::relayoutPage);
    connect(&m_state, &reader::ReaderState::narrowColumnChanged, this, &TfrmMain::applyColumn);
}

learners::CourseData &TfrmMain::XML()
{
    return m_state.XML();
}

void TfrmMain::FormCreate()
{
    ui::AppMessage::install();
    m_state.setCurrentUser(learners::LearnerId());
    m_player->fitContents();
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
    // Over the home screen the page behind is not being read: its place was
    // kept when the reader was left, before the panels were put away.
    if (!m_homeUp)
        rememberPlace();
    m_closing = true;
    ui::ModalScreen::setProgramEnding(true);
    m_menu->stopSlide();
    m_player->stopSlide();
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
    if (!m_homeUp)
        rememberPlace();
    m_notice->dismiss();
    const bool wasUp = m_homeUp;
    m_homeUp = true;
    if (!m_state.CurrentUser().isValid()) {
        const QString failure = m_navigator.showSignIn();
        // The sign-in screen closes without a word when the learners cannot
        // be read; say why, then go on to the home screen, read only.
        if (!failure.isEmpty() && !m_closing) {
            m_state.setLearnerDataFailure(failure);
            ui::message(this, failure + kReadOnlyCourse);
            m_navigator.showHome(true);
        }
    } else {
        m_navigator.showHome(true);
    }
    m_homeUp = wasUp;
    m_menu->putAway();
    m_player->putAway();
    layoutControls();
    updatePanelFocus();
}

void TfrmMain::FormActivate()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    RichView1->setVisible(true);
    m_player->panel()->setVisible(true);
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
    m_toolbar->placeFor(w, h);
    m_player->placeFor(w);
    RichView1->setGeometry(pageArea());
    applyColumn();
    FormResize();
    // The page was laid out anew at its width: the sections named for the
    // place and for bookmarks are where the text now is.
    if (m_onPage && RichView1->isFormatted())
        m_menu->updateSectionPositions();
}

namespace {
// Narrower than this, text beside the movie panel is no longer readable;
// the page then goes below the panel instead.
constexpr int kMinTextBeside = 360;
constexpr int kPanelGap = 4;
} // namespace

QRect TfrmMain::pageArea() const
{
    const int w = width();
    const int viewHeight = qMax(0, height() - reader::ReaderToolbar::kHeight);
    const int left = m_richViewAligned ? 0 : reader::SectionMenu::kWidth;
    QRect area(left, 0, qMax(0, w - left), viewHeight);
    if (!m_player->coversPage())
        return area;
    const QRect panel = m_player->panel()->geometry();
    const int right = panel.x() - kPanelGap;
    if (right - left >= kMinTextBeside) {
        area.setWidth(right - left);
    } else {
        // The panel's whole height, wherever its slide has got to: the text
        // then stays put while it moves.
        const int top = qMin(viewHeight, panel.height() + kPanelGap);
        area.setTop(top);
        area.setHeight(qMax(0, viewHeight - top));
    }
    return area;
}

void TfrmMain::setPageWholeWidth(bool whole)
{
    if (whole == m_richViewAligned)
        return;
    m_richViewAligned = whole;
    layoutControls();
}

void TfrmMain::FormResize()
{
    // The page area's height: the page itself may lie below the movie panel.
    m_menu->fitHeight(qMax(0, height() - reader::ReaderToolbar::kHeight));
}

void TfrmMain::updatePanelFocus()
{
    m_menu->updateFocus();
    m_player->updateFocus();
}

// ---- Sliding panels -------------------------------------------------------

void TfrmMain::ShowMenuPanel()
{
    m_menu->show();
}
void TfrmMain::HideMenuPanel()
{
    m_menu->hide();
}
void TfrmMain::ShowPlayerPanel()
{
    m_player->show();
}
void TfrmMain::HidePlayerPanel()
{
    m_player->hide();
}
void TfrmMain::btnPanelMenuNextClick()
{
    m_menu->toggleClicked();
}
void TfrmMain::btnPlayerOnClick()
{
    m_player->toggleClicked();
}
void TfrmMain::leftMenuTimerTimer()
{
    m_menu->slideStep();
}
void TfrmMain::PlayerTimerTimer()
{
    m_player->slideStep();
}
QString TfrmMain::pageMovie() const
{
    return m_player->pageMovie();
}
void TfrmMain::BuildSectionMenu()
{
    m_menu->rebuild();
}
void TfrmMain::RichView2Jump(int k)
{
    m_menu->jumpTo(k);
    // The learner reads on from the section: the keyboard goes to the page.
    RichView1->setFocus(Qt::OtherFocusReason);
}

// ---- Search ---------------------------------------------------------------

void TfrmMain::openSearch()
{
    m_search->open();
}
reader::SearchIndex &TfrmMain::searchIndex()
{
    return m_search->index();
}

void TfrmMain::reloadToolbar()
{
    m_toolbar->reload();
}

// ---- Intents of the other windows -------------------------------------------

void TfrmMain::enterHome()
{
    reloadToolbar();
    PushHistory(hkHome, false, 0);
}

void TfrmMain::showContentsFromHome()
{
    PushHistory(hkHome, false, 0);
    ShowContents();
    m_state.setTopicMode(false);
}

void TfrmMain::openPageFromHome(HomePage page)
{
    PushHistory(hkHome, false, 0);
    switch (page) {
    case HomePage::Introduction:
        OpenPage(pages::kIntroduction);
        HidePlayerPanel();
        HideMenuPanel();
        break;
    case HomePage::Help:
        OpenPage(pages::kHelp);
        break;
    case HomePage::Dictionary:
        OpenPage(pages::kDictionary);
        break;
    }
}

void TfrmMain::showTestTopicsFromHome()
{
    // Two home records: Back from the topic page, which is not a record of
    // its own, leaves it for the home screen.
    PushHistory(hkHome, false, 0);
    PushHistory(hkHome, false, 0);
    ShowTestTopics();
}

bool TfrmMain::continueReadingFromHome()
{
    PushHistory(hkHome, false, 0);
    return continueReading();
}

bool TfrmMain::openBookmark(int page, int increment, int anchor)
{
    if (!showPageAt(page, increment, anchor))
        return false;
    // Back from a bookmark returns to the home screen it was opened from.
    PushHistory(hkHome, false, 0);
    return true;
}

void TfrmMain::setNarrowColumn(bool on)
{
    m_state.setNarrowColumn(on);
    savePreferences();
}

void TfrmMain::applyReadingFont(const QFont &font, const QColor &color)
{
    m_state.setReadingFont(font, color);
    savePreferences();
}

void TfrmMain::restoreDefaultSizes()
{
    m_state.restoreDefaultSizes();
    savePreferences();
}

void TfrmMain::applyLearnerPreferences()
{
    const learners::LearnerId user = m_state.CurrentUser();
    if (!user.isValid() || m_state.preferencesUser() == user || !m_state.learnerStore().isOpen())
        return;
    m_state.setPreferencesUser(user);
    learners::Preferences prefs;
    try {
        prefs = m_state.learnerStore().preferences(user);
    } catch (const std::exception &) {
        return;
    }
    reader::ReadingPreferences::apply(prefs, m_state);
}

void TfrmMain::handOverLearner()
{
    rememberPlace();
    // Nothing shown now is the next learner's: no place is saved from it,
    // Back finds no page of the learner before, and the reading choices are
    // the program's own until the next learner's are applied.
    m_onPage = false;
    HistoryCommand record;
    while (m_state.popHistory(record)) {
    }
    m_state.setTopicMode(false);
    m_state.setCurrentUser({});
    m_state.setPreferencesUser({});
    reader::ReadingPreferences::apply(learners::Preferences{}, m_state);
    m_search->forget();
}

void TfrmMain::savePreferences()
{
    if (!m_state.CurrentUser().isValid() || !m_state.learnerStore().isOpen())
        return;
    m_state.setPreferencesUser(m_state.CurrentUser());
    if (!m_state.learnerDataWritable())
        return; // the choice lasts for the run
    // A failed save is the learner's to see: the choice would be lost.
    m_state.learnerStore().setPreferences(m_state.CurrentUser(),
                                          reader::ReadingPreferences::toStored(m_state));
}

// ---- Page layout ----------------------------------------------------------------

void TfrmMain::relayoutPage()
{
    // Only a page on screen is laid out now; a hidden one is at its next showing.
    if (!RichView1->isVisible())
        return;
    RichView1->Format();
    applyColumn();
    BuildSectionMenu();
}

namespace {
constexpr int kColumnChars = 90;
constexpr int kLeftMargin = 25;
constexpr int kRightMargin = 15;
} // namespace

void TfrmMain::applyColumn()
{
    int side = 0;
    if (m_state.narrowColumn()) {
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
