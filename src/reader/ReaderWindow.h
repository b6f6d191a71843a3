#pragma once

#include "reader/NavigationHistory.h"
#include "reader/ReaderIntents.h"
#include "reader/ReaderState.h"
#include "reader/SearchIndex.h"

#include <QWidget>
#include <vector>

namespace learners {
class CourseData;
}
namespace reader {
class MoviePanel;
class ReaderNotice;
class ReaderSearch;
class ReaderToolbar;
class SectionMenu;
} // namespace reader
class QColor;
class QLabel;
class TRichView;
class TRVStyle;

namespace ui {
class Navigator;
}

// The reader window and the program's main window: closing it ends the
// program. It owns the state the screens share (ReaderState) and keeps its
// controls to itself: other windows ask it for intents (ReaderIntents).
// The section menu, the movie panel, the toolbar and the search are parts
// of their own; the operations below forward to them.
class TfrmMain : public QWidget, public reader::ReaderIntents
{
    Q_OBJECT
public:
    explicit TfrmMain(ui::Navigator &navigator, QWidget *parent = nullptr);
    ~TfrmMain() override;

    reader::ReaderState &state() { return m_state; }
    learners::CourseData &XML();

    // Starts the program's first showing: sign-in, then home, then the
    // reader window appears (unless the program ended on the way).
    void start();
    // Ends the program, also from inside nested modal screens.
    void closeMainWindow();
    bool isClosing() const { return m_closing; }

    // Show handler; also called directly to show the home screen again.
    void FormCreate();
    void FormShow();
    void FormActivate();

    // Set by the program (not by tests): closing the main window quits.
    static bool quitOnClose;

    // Pages and the section menu.
    void OpenPage(int n);
    void BuildSectionMenu();
    // The movie of the page on view (its file), whether or not the movie
    // panel has been out to build it since.
    QString pageMovie() const;
    void RichView2Jump(int k);

    // Sliding panels.
    void ShowMenuPanel();
    void HideMenuPanel();
    void ShowPlayerPanel();
    void HidePlayerPanel();
    void btnPanelMenuNextClick();
    void btnPlayerOnClick();
    void leftMenuTimerTimer();
    void PlayerTimerTimer();
    void FormResize();

    // Navigation history.
    bool PushHistory(int kind, bool flag, int value);
    bool PopHistory(HistoryCommand &record);
    const std::vector<HistoryCommand> &history() const { return m_state.History().records(); }

    // Toolbar.
    void FlashButtonsFSCommand(const QString &command, const QString &args);
    void AddBookmark();
    void Back();

    // Contents page, page links, zoom.
    void ShowContents();
    void RichView1Jump(int id);
    void ZoomIn();
    void ZoomOut();
    void ApplyZoom();

    // The test topic page and the start of a test from it.
    void ShowTestTopics();
    void StartTopicTest(int id);

    // Opens page n at the text position anchor when there is one (not
    // below 0), otherwise scrolled to increment per cent of its height (a
    // place kept by an older copy). False when the page could not be shown
    // and the program ends.
    bool showPageAt(int page, int increment, int anchor = -1);
    // The text position at the top of the page view; -1 before a layout.
    int topAnchor() const;
    // Scrolls the page so the line holding the text position is at the top;
    // false, leaving the view, for a position the page does not have.
    bool scrollToAnchor(int anchor);
    // Pages a learner reads through and may continue: the lectures and the
    // introduction, not help, the dictionary or the contents.
    static bool isReadingPage(int page);
    // The toolbar movie afresh (the home screen shows it at every showing).
    void reloadToolbar();

    // Search over every page (Поиск, Ctrl+F). The index is built at the
    // first search of the run.
    void openSearch();
    reader::SearchIndex &searchIndex();
    // Opens the page of a hit scrolled to it, its matches marked.
    void showSearchHit(const reader::SearchIndex::Hit &hit);

    // Opens a lecture at the section with that mark, at its start when the
    // mark is empty or not found (a review's link).
    void showSection(int page, const QString &mark);

    // The learner's place: kept at every page opened and when the reader is
    // left, so the next run can go on from there.
    void rememberPlace();
    // Opens the remembered place; false when there is none.
    bool continueReading();
    // The section at the top of the page shown ("3.2 Двоичный код"), or empty.
    QString sectionInView() const;

    // Keeps the reading font, zoom and column under the learner.
    void savePreferences();
    bool narrowColumn() const { return m_state.narrowColumn(); }

    // What the other windows ask (reader::ReaderIntents).
    void enterHome() override;
    void applyLearnerPreferences() override;
    void showContentsFromHome() override;
    void openPageFromHome(HomePage page) override;
    void showTestTopicsFromHome() override;
    bool continueReadingFromHome() override;
    bool openBookmark(int page, int increment, int anchor = -1) override;
    // The page text in a centred column of about 90 characters.
    void setNarrowColumn(bool on) override;
    // The reading font: the reader sheet's normal text takes the font and
    // colour, the headings follow its size; the page is laid out anew.
    void applyReadingFont(const QFont &font, const QColor &color) override;
    // The sizes the reader sheet starts with.
    void restoreDefaultSizes() override;
    void handOverLearner() override;
    void closeProgram() override { closeMainWindow(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createPageView();
    void createParts();
    void connectState();
    void layoutControls();
    // The page view gives room to the section menu, or has the whole width.
    void setPageWholeWidth(bool whole);
    // A panel out of view and its edge handle take no keyboard focus, so Tab
    // goes between the toolbar and the page.
    void updatePanelFocus();
    // Lays the page out again after its sheet changed, keeping the section
    // positions current.
    void relayoutPage();
    // Sets the page's side margins for the column choice and the width.
    void applyColumn();
    // The scroll position as a per cent of the page's height.
    int scrollPercent() const;
    // A page of the course from the toolbar: both panels put away.
    void openToolbarPage(int page);
    // The learner goes on from the page on view to another view: its place
    // is kept, and where it was is kept with its history record for Back.
    void leavePage();
    // The page view's area: right of the section menu when it is in view,
    // left of the movie panel (or below it, where the window is too narrow
    // for text beside it) while that is out.
    QRect pageArea() const;
    // What a link on the contents page opens: a lecture at its top, or at
    // one of its sections.
    struct ContentsLink
    {
        int page;
        QString mark; // empty: the lecture's title
    };

    ui::Navigator &m_navigator;
    reader::ReaderState m_state;
    bool m_closing = false;
    // RichView1 is aligned to the client area unless the menu is in view.
    bool m_richViewAligned = true;
    // A page document (not the contents or the topic list) is on view.
    bool m_onPage = false;
    // The home screen (or sign-in) is up over the reader: the place was kept
    // when the reader was left, and the page behind is not being read.
    bool m_homeUp = false;
    // The contents page's links in link order; empty unless it is on view.
    std::vector<ContentsLink> m_contentsLinks;
    int m_sideMargin = -1; // the column's last side margin

    // Controls and parts.
    QLabel *ImgBack = nullptr;
    TRichView *RichView1 = nullptr;
    TRVStyle *RVStyle1 = nullptr;
    reader::SectionMenu *m_menu = nullptr;
    reader::MoviePanel *m_player = nullptr;
    reader::ReaderToolbar *m_toolbar = nullptr;
    reader::ReaderSearch *m_search = nullptr;
    reader::ReaderNotice *m_notice = nullptr;
};

// The reader window, program-wide (created by the window set).
extern TfrmMain *frmMain;
