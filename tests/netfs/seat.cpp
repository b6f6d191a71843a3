// One seat of a class for the network file system test: takes the course
// lock as the program does, under the computer name in TARVEL_LOCK_HOST, and
// holds it until stdin closes or a termination signal comes (then it leaves
// through the program's own exit path).
//
//   netfs_seat <dect.chh> race   prints "ready", waits for a line on stdin,
//                                tries once, prints "won" or "busy"
//   netfs_seat <dect.chh> wait   tries every half second, taking over a
//                                stale lock, until it wins; prints "won"
//
// Every result line ends with the wall clock in milliseconds.
#include "app/Startup.h"
#include "learners/CourseLock.h"

#include <QApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const char *what)
{
    std::printf("%s %lld\n", what, static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: netfs_seat <dect.chh> race|wait\n");
        return 2;
    }
    installExitSignalHandlers();
    learners::CourseLock lock(QString::fromLocal8Bit(argv[1]));
    const QByteArray mode = argv[2];

    bool won = false;
    if (mode == "race") {
        say("ready");
        char line[16];
        if (!std::fgets(line, sizeof line, stdin))
            return 2;
        won = lock.tryLock();
        if (!won) {
            std::fprintf(stderr, "%s\n", qPrintable(lock.message()));
            say("busy");
            return 0;
        }
    } else {
        for (;;) {
            won = lock.tryLock();
            if (!won && lock.outcome() == learners::CourseLock::Outcome::Stale)
                won = lock.takeOver();
            if (won)
                break;
            QThread::msleep(500);
        }
    }
    say("won");
    // Held until stdin closes; a signal ends the loop the program's way.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    const int code = app.exec();
    lock.release();
    say("released");
    return code;
}
