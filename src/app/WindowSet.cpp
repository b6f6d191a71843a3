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
#include "ui/ModalScreen.h"
#include "ui/Navigator.h"

#include <memory>

namespace {

class WindowNavigator final : public ui::Navigator
{
public:
    QString showSignIn() override
    {
        frmLogin->showModal();
        frmLogin->Flash->GotoFrame(1);
        frmLogin->Flash->Play();
        frmLogin->ReturnStep();
        return frmLogin->loadFailure();
    }
    void showHome(bool startMovie) override
    {
        frmIntro->showModal();
        if (startMovie) {
            frmIntro->Flash->GotoFrame(1);
            frmIntro->Flash->Play();
        }
    }
    void closeHome() override { frmIntro->closeScreen(); }
    void showStatistics() override { frmStat->showModal(); }
    void showReport() override { frmOtcher->showModal(); }
    void showBookmarks() override { frmBookmark->showModal(); }
    void showFontChoice() override { frmFont->showModal(); }
    void showAbout() override { frmAbout->showModal(); }
    void runTest(const QString &topic) override
    {
        frmTest->Topic = topic;
        frmTest->showModal();
    }
    ui::ReviewChoice showReview() override
    {
        frmReview->setRun(frmTest->Run.Answers, frmTest->Run.isRetry());
        frmReview->showModal();
        return frmReview->choice();
    }
    void openSection(int page, const QString &mark) override { frmMain->showSection(page, mark); }
    void closeMainWindow() override { frmMain->closeMainWindow(); }
    bool isClosing() const override { return frmMain && frmMain->isClosing(); }
};

std::unique_ptr<WindowNavigator> g_navigator;

template <typename T> void destroy(T *&window)
{
    delete window;
    window = nullptr;
}

} // namespace

void createWindowSet()
{
    ui::ModalScreen::setProgramEnding(false);
    g_navigator = std::make_unique<WindowNavigator>();
    ui::Navigator &navigator = *g_navigator;
    // The screens are top-level windows of their own; the reader window is
    // created first, is the main window and owns the state the others share.
    frmMain = new TfrmMain(navigator);
    reader::ReaderState &state = frmMain->state();
    frmLogin = new TfrmLogin(state, navigator);
    frmTest = new TfrmTest(state, navigator);
    frmIntro = new TfrmIntro(state, navigator);
    frmAbout = new TfrmAbout;
    frmStat = new TfrmStat(state);
    frmFont = new TfrmFont(state);
    frmBookmark = new TfrmBookmark(state, navigator);
    frmOtcher = new TfrmOtcher(state);
    // Not one of the nine: the review belongs to the test window's run.
    frmReview = new TfrmReview;
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
