// The program's own start-up (as in src/app/main.cpp), ended once the sign-in
// screen has drawn its first frame. Run in a course folder.
#include "FirstFrame.h"

#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "learners/CourseLock.h"
#include "movie/MovieControl.h"
#include "reader/MainForm.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Тарвел"));
    QApplication::setApplicationDisplayName(QStringLiteral("Тарвел"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvel.Tarvel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarvel.Tarvel")));
    QApplication::setQuitOnLastWindowClosed(false);
    MovieControl::configureGraphics();

    CourseLock lock;
    if (!lock.tryLock())
        return 1;

    createWindowSet();
    TfrmMain::quitOnClose = true;
    FirstFrame first([] { frmMain->closeMainWindow(); });
    QTimer::singleShot(0, frmMain, [] { dialogs::guarded(frmMain, [] { frmMain->start(); }); });
    app.exec();
    destroyWindowSet();
    return 0;
}
