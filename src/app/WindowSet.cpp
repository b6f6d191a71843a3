#include "app/WindowSet.h"

#include "movie/MovieControl.h"
#include "progress/BookmarksScreen.h"
#include "progress/ReportScreen.h"
#include "progress/StatisticsScreen.h"
#include "reader/ReaderWindow.h"
#include "screens/AboutScreen.h"
#include "screens/FontScreen.h"
#include "screens/HomeScreen.h"
#include "screens/SignInScreen.h"
#include "testing/ReviewWindow.h"
#include "testing/TestWindow.h"
#include "ui/Dialogs.h"
#include "ui/ModalScreen.h"
#include "ui/Navigator.h"

#include <memory>

namespace {

class WindowNavigator final : public ui::Navigator
{
public:
    QString showSignIn() override
    {
        TfrmLogin *login = signIn();
        login->showModal();
        login->playFromStart();
        login->ReturnStep();
        return login->loadFailure();
    }
    void showHome(bool startMovie) override
    {
        TfrmIntro *home =
            created(frmIntro, [this] { return new TfrmIntro(state(), reader(), *this); });
        home->showModal();
        if (startMovie)
            home->playFromStart();
        if (home->takeHandOver())
            handOver();
    }
    // A home screen never created is not showing: nothing to close.
    void closeHome() override
    {
        if (frmIntro)
            frmIntro->closeScreen();
    }
    void showStatistics() override
    {
        created(frmStat, [this] { return new TfrmStat(state()); })->showModal();
    }
    void showReport() override
    {
        created(frmOtcher, [this] { return new TfrmOtcher(state()); })->showModal();
    }
    void showBookmarks() override
    {
        created(frmBookmark, [this] { return new TfrmBookmark(state(), reader(), *this); })->showModal();
    }
    void showFontChoice() override
    {
        created(frmFont, [this] { return new TfrmFont(state(), reader()); })->showModal();
    }
    void showAbout() override
    {
        created(frmAbout, [] { return new TfrmAbout; })->showModal();
    }
    void runTest(const QString &topic) override
    {
        created(frmTest, [this] { return new TfrmTest(state(), *this); })->runTopic(topic);
    }
    ui::ReviewChoice showReview() override
    {
        testing::ReviewWindow *review = created(frmReview, [] { return new testing::ReviewWindow; });
        // Asked for by the test window only, which therefore exists.
        review->setRun(frmTest->lastAnswers(), frmTest->lastRunRetried());
        review->showModal();
        return review->choice();
    }
    void openSection(int page, const QString &mark) override { frmMain->showSection(page, mark); }
    void closeMainWindow() override { frmMain->closeMainWindow(); }
    bool isClosing() const override { return frmMain && frmMain->isClosing(); }

    // The learner left through "Сменить ученика": the sign-in screen takes
    // the next one. Under the home screen it is still open (the first
    // sign-in of the run) and carries on by itself; otherwise it opens here.
    void handOver()
    {
        TfrmLogin *login = signIn();
        login->startHandOver();
        if (login->isShowingModal() || isClosing())
            return;
        const QString failure = showSignIn();
        // The records could not be read this time: the next learner reads
        // without them, from the home screen, as at a start without them.
        if (!state().CurrentUser().isValid() && !isClosing()) {
            if (!failure.isEmpty()) {
                state().setLearnerDataFailure(failure);
                ui::message(frmMain, failure);
            }
            showHome(true);
        }
    }

    TfrmLogin *signIn()
    {
        return created(frmLogin, [this] { return new TfrmLogin(state(), *this); });
    }

    // The window in that global, created on first use: only the reader
    // window and the sign-in screen are needed for the first frame, and most
    // screens are never opened in a session.
    template <typename T, typename Make> static T *created(T *&window, Make make)
    {
        if (!window)
            window = make();
        return window;
    }

private:
    // The reader window owns the state the others share, and answers what
    // they ask of the reader.
    static reader::ReaderState &state() { return frmMain->state(); }
    static reader::ReaderIntents &reader() { return *frmMain; }
};

std::unique_ptr<WindowNavigator> g_navigator;

template <typename T> void destroy(T *&window)
{
    delete window;
    window = nullptr;
}

} // namespace

void createStartWindows()
{
    ui::ModalScreen::setProgramEnding(false);
    g_navigator = std::make_unique<WindowNavigator>();
    // The screens are top-level windows of their own; the reader window is
    // created first, is the main window and owns the state the others share.
    frmMain = new TfrmMain(*g_navigator);
    g_navigator->signIn();
}

void createWindowSet()
{
    createStartWindows();
    reader::ReaderState &state = frmMain->state();
    ui::Navigator &navigator = *g_navigator;
    frmTest = new TfrmTest(state, navigator);
    frmIntro = new TfrmIntro(state, *frmMain, navigator);
    frmAbout = new TfrmAbout;
    frmStat = new TfrmStat(state);
    frmFont = new TfrmFont(state, *frmMain);
    frmBookmark = new TfrmBookmark(state, *frmMain, navigator);
    frmOtcher = new TfrmOtcher(state);
    // Not one of the nine: the review belongs to the test window's run.
    frmReview = new testing::ReviewWindow;
}

void destroyWindowSet()
{
    destroy(frmReview);
    destroy(frmOtcher);
    destroy(frmBookmark);
    destroy(frmFont);
    destroy(frmStat);
    destroy(frmAbout);
    destroy(frmIntro);
    destroy(frmTest);
    destroy(frmLogin);
    destroy(frmMain);
    g_navigator.reset();
}
