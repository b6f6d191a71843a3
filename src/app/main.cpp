#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "learners/CourseLock.h"
#include "movie/MovieControl.h"
#include "reader/MainForm.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <exception>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Тарвел"));
    QApplication::setApplicationDisplayName(QStringLiteral("Тарвел"));
    // Ties the windows to the installed desktop entry and its icon (the
    // Wayland app id, the X11 window icon); a build that is not installed
    // finds no icon and keeps the default.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvel.Tarvel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarvel.Tarvel")));
    QApplication::setQuitOnLastWindowClosed(false);
    MovieControl::configureGraphics();

    // Two copies on one course folder would overwrite each other's saves.
    CourseLock lock;
    if (!lock.tryLock()) {
        dialogs::message(nullptr, CourseLock::busyMessage());
        return 0;
    }

    int result = 0;
    try {
        createWindowSet();
        TfrmMain::quitOnClose = true;
        QTimer::singleShot(0, frmMain, [] { dialogs::guarded(frmMain, [] { frmMain->start(); }); });
        app.exec();
    } catch (const std::exception &e) {
        dialogs::error(nullptr, QString::fromUtf8(e.what()));
    }
    destroyWindowSet();
    return result;
}
