#pragma once

#include "reader/NavigationHistory.h"
#include "reader/ReaderState.h"

#include <QWidget>
#include <vector>

namespace learners {
class CourseData;
}
namespace movie {
class MovieControl;
}
class QColor;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TRichView;
class TRVStyle;

namespace ui {
class Navigator;
}

// The reader window and the program's main window: closing it ends the
// program. It owns the state the screens share (ReaderState) and keeps its
// controls to itself: other windows ask it for what they want done.
class TfrmMain : public QWidget
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
    const std::vector<HistoryCommand> &history() const { return m_state.History.records(); }

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

    // Intents of the other windows.

    // Opens page n scrolled to increment percent of its height (a bookmark).
    // False when the page could not be shown and the program ends.
    bool showPageAt(int page, int increment);
    // The toolbar movie afresh (the home screen shows it at every showing).
    void reloadToolbar();
    // The reading font: the reader sheet's normal text takes the font and
    // colour, the headings follow its size; the page is laid out anew.
    void applyReadingFont(const QFont &font, const QColor &color);
    // The sizes the reader sheet starts with.
    void restoreDefaultSizes();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutControls();
    void placeMenuButton();
    // The keyboard commands of the toolbar, on the window.
    void addShortcuts();
    // A panel out of view and its edge handle take no keyboard focus, so Tab
    // goes between the toolbar and the page.
    void updatePanelFocus();
    // Lays the page out again after its sheet changed, keeping the section
    // positions current.
    void relayoutPage();

    ui::Navigator &m_navigator;
    reader::ReaderState m_state;
    bool m_closing = false;
    // RichView1 is aligned to the client area unless the menu is in view.
    bool m_richViewAligned = true;

    // Controls.
    QLabel *ImgBack = nullptr;
    TRichView *RichView1 = nullptr;
    QFrame *pnlMenu = nullptr;
    TRichView *RichView2 = nullptr;
    QFrame *pnlPlayer = nullptr;
    movie::MovieControl *Player = nullptr;
    QPushButton *btnPanelMenuNext = nullptr;
    QPushButton *btnPlayerOn = nullptr;
    QFrame *pnlButtons = nullptr;
    movie::MovieControl *FlashButtons = nullptr;
    QTimer *leftMenuTimer = nullptr;
    QTimer *PlayerTimer = nullptr;
    TRVStyle *RVStyle1 = nullptr;
    TRVStyle *RVStyle2 = nullptr;
};

// The reader window, program-wide (created by the window set).
extern TfrmMain *frmMain;
