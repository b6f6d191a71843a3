// The program's own start-up (as in src/app/main.cpp), ended once the sign-in
// screen has drawn its first frame. Run in a course folder.
#include "FirstFrame.h"

#include "app/Startup.h"
#include "app/WindowSet.h"
#include "learners/CourseLock.h"
#include "reader/ReaderWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();

    learners::CourseLock lock;
    if (!lock.tryLock())
        return 1;

    FirstFrame first([] { frmMain->closeMainWindow(); });
    startWindowSet();
    app.exec();
    destroyWindowSet();
    return 0;
}
