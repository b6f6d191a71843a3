#include "app/Startup.h"

#include "app/WindowSet.h"
#include "lab/LabError.h"
#include "lab/LabSettings.h"
#include "lab/LabStore.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

namespace {

struct LabChoice
{
    bool checked = false;
    std::optional<lab::ConnectionSettings> settings;
    std::optional<lab::LabError> error; // settings there, but unusable
};

LabChoice &labChoice()
{
    static LabChoice choice;
    if (!choice.checked) {
        choice.checked = true;
        try {
            choice.settings = lab::LabSettings::find(QDir::currentPath());
        } catch (const lab::LabError &e) {
            choice.error = e;
        }
    }
    return choice;
}

// In the lab the learners live in the class database; dect.chh is read for
// the course's lectures only.
void useClassDatabase(reader::ReaderState &state)
{
    const LabChoice &choice = labChoice();
    if (choice.settings)
        state.setLearnerStore(std::make_unique<lab::LabStore>(*choice.settings));
    else
        state.setLearnerStore(std::make_unique<lab::LabStore>(*choice.error));
    try {
        state.XML().LoadCourseData();
    } catch (const learners::CourseDataError &) {
        // The contents page falls back on the course's own document.
    }
}

} // namespace

bool labModeWanted()
{
    const LabChoice &choice = labChoice();
    return choice.settings.has_value() || choice.error.has_value();
}

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
    if (labModeWanted())
        useClassDatabase(frmMain->state());
    TfrmMain::quitOnClose = true;
    QTimer::singleShot(0, frmMain, [] { dialogs::guarded(frmMain, [] { frmMain->start(); }); });
}
