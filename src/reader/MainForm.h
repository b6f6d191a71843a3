#pragma once

#include "reader/Historycommand.h"

#include <QWidget>
#include <memory>
#include <vector>

class CourseData;
class MovieControl;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TRichView;
class TRVStyle;

// The reader window and the program's main window: closing it ends the
// program. It owns the state the screens share and the one in-memory copy
// of the course data document.
class TfrmMain : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

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
    const std::vector<HistoryCommand> &history() const { return History; }

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

    // Test topics (defined with the test window).
    void ShowTestTopics();
    void StartTopicTest(int id);

    CourseData &XML() { return *m_xml; }

    // Shared state.
    int CurrentUser = -1;
    int CurrentPage = 0;
    int NormalSize = 10;
    int HeadingSize = 20;
    int SubheadingSize = 14;
    bool MenuShown = false;
    bool PlayerShown = false;
    bool TopicMode = false;
    // Positions of the shown page's checkpoints, one per checkpoint.
    std::vector<int> SectionY;

    // Controls.
    QLabel *ImgBack = nullptr;
    TRichView *RichView1 = nullptr;
    QFrame *pnlMenu = nullptr;
    TRichView *RichView2 = nullptr;
    QFrame *pnlPlayer = nullptr;
    MovieControl *Player = nullptr;
    QPushButton *btnPanelMenuNext = nullptr;
    QPushButton *btnPlayerOn = nullptr;
    QFrame *pnlButtons = nullptr;
    MovieControl *FlashButtons = nullptr;
    QTimer *leftMenuTimer = nullptr;
    QTimer *PlayerTimer = nullptr;
    TRVStyle *RVStyle1 = nullptr;
    TRVStyle *RVStyle2 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutControls();
    void placeMenuButton();

    std::vector<HistoryCommand> History;
    std::unique_ptr<CourseData> m_xml;
    bool m_closing = false;
    // RichView1 is aligned to the client area unless the menu is in view.
    bool m_richViewAligned = true;
};
