#include "app/Startup.h"

#include "app/WindowSet.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Тарвел"));
    QApplication::setApplicationDisplayName(QStringLiteral("Тарвел"));
    // Ties the windows to the installed desktop entry and its icon (the
    // Wayland app id, the X11 window icon); a build that is not installed
    // finds no icon and keeps the default.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvel.Tarvel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarvel.Tarvel")));
    QApplication::setQuitOnLastWindowClosed(false);
    movie::MovieControl::configureGraphics();
    loadQtTranslations();
}

bool loadQtTranslations()
{
    // The learners read Russian whatever the desktop's locale: Qt's own
    // buttons and dialogs (Да/Нет, the save and colour dialogs) included.
    static QTranslator *translator = nullptr;
    if (translator)
        return true;
    auto *candidate = new QTranslator(qApp);
    if (!candidate->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete candidate;
        return false;
    }
    QCoreApplication::installTranslator(candidate);
    translator = candidate;
    return true;
}

void startWindowSet()
{
    createStartWindows();
    TfrmMain::quitOnClose = true;
    QTimer::singleShot(0, frmMain, [] { dialogs::guarded(frmMain, [] { frmMain->start(); }); });
}
