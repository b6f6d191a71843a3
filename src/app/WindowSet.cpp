#include "app/WindowSet.h"

#include "app/intro.h"
#include "learners/Login.h"
#include "progress/Otchet.h"
#include "progress/bookmark.h"
#include "progress/stat.h"
#include "reader/MainForm.h"
#include "screens/About.h"
#include "screens/Font.h"
#include "testing/tests.h"

TfrmMain *frmMain = nullptr;
TfrmLogin *frmLogin = nullptr;
TfrmTest *frmTest = nullptr;
TfrmIntro *frmIntro = nullptr;
TfrmAbout *frmAbout = nullptr;
TfrmStat *frmStat = nullptr;
TfrmFont *frmFont = nullptr;
TfrmBookmark *frmBookmark = nullptr;
TfrmOtcher *frmOtcher = nullptr;

void createWindowSet()
{
    // The screens are top-level windows of their own; the reader window is
    // created first and is the main window.
    frmMain = new TfrmMain;
    frmLogin = new TfrmLogin;
    frmTest = new TfrmTest;
    frmIntro = new TfrmIntro;
    frmAbout = new TfrmAbout;
    frmStat = new TfrmStat;
    frmFont = new TfrmFont;
    frmBookmark = new TfrmBookmark;
    frmOtcher = new TfrmOtcher;
}

template <typename T> static void destroy(T *&window)
{
    delete window;
    window = nullptr;
}

void destroyWindowSet()
{
    destroy(frmOtcher);
    destroy(frmBookmark);
    destroy(frmFont);
    destroy(frmStat);
    destroy(frmAbout);
    destroy(frmIntro);
    destroy(frmTest);
    destroy(frmLogin);
    destroy(frmMain);
}
