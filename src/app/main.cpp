#include "app/Startup.h"
#include "app/WindowSet.h"
#include "learners/CourseLock.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <exception>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    installExitSignalHandlers();
    if (!startMoviePresent())
        return kExitMissingMovie;

    // Two copies on one course folder would overwrite each other's saves.
    // In a computer lab the class database keeps the learners, and the
    // course folder is only read.
    learners::CourseLock lock;
    if (!labModeWanted()) {
        if (const int refused = takeCourseLock(lock))
            return refused;
        watchCourseLock(lock);
        removeOldSaveLeftovers();
    }

    int code = 0;
    try {
        startWindowSet();
        code = app.exec();
    } catch (const std::exception &e) {
        ui::error(nullptr, QString::fromUtf8(e.what()));
    }
    destroyWindowSet();
    lock.release();
    return code;
}
