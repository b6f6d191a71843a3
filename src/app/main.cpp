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

    // Two copies on one course folder would overwrite each other's saves.
    learners::CourseLock lock;
    if (const int refused = takeCourseLock(lock))
        return refused;
    watchCourseLock(lock);
    removeOldSaveLeftovers();

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
