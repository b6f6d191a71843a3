// One seat of the load test, in a process of its own with its own
// connection: registers a learner, signs in and then works as the screens
// do (results with answers, bookmarks, opened lectures, the place) until the
// time is up. Every change the store confirmed is written to the log, one
// line each, before the next begins; so is every attempt.
//
//   labseat CONNINFO SEAT SECONDS LOG      work, then exit 0
//   labseat CONNINFO hold LEARNER_ID       claim the learner, print "held", wait

#include "lab/LabSettings.h"
#include "lab/LabStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    lab::LabStore store(lab::LabSettings::parseConnectionString(args[1]));

    if (args[2] == u"hold") {
        try {
            store.open();
            store.claimLearner(learners::LearnerId(args[3].toLongLong()));
        } catch (const learners::StoreError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.message()));
            return 1;
        }
        std::printf("held\n");
        std::fflush(stdout);
        QThread::sleep(600);
        return 0;
    }

    if (args.size() < 5)
        return 2;
    const QString seat = args[2];
    QDeadlineTimer deadline(args[3].toInt() * 1000);
    QFile log(args[4]);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 1;
    const auto write = [&log](const QString &line) { log.write((line + u'\n').toUtf8()); };

    learners::LearnerId me;
    while (!me.isValid() && !deadline.hasExpired()) {
        try {
            store.open();
            store.learners(); // the sign-in list, as the screen reads it
            me = store.registerLearner({QStringLiteral("Место"), seat, QStringLiteral("load"), {}, {}});
            store.claimLearner(me);
            write(QStringLiteral("learner %1").arg(me.value()));
        } catch (const learners::StoreError &e) {
            write(QStringLiteral("failed %1").arg(e.message()));
            QThread::msleep(200);
        }
    }
    QRandomGenerator random(quint32(seat.toInt() + 1));
    for (int k = 1; !deadline.hasExpired(); ++k) {
        const QString marker = seat + u':' + QString::number(k);
        const int kind = random.bounded(4);
        const char *names[] = {"result", "bookmark", "opened", "place"};
        write(QStringLiteral("attempt %1 %2").arg(QLatin1String(names[kind]), marker));
        try {
            switch (kind) {
            case 0: {
                learners::TestResult result{marker, random.bounded(101), {}};
                for (int q = 0; q < 10; ++q)
                    result.answers.append({QStringLiteral("1"), QString::number(q), QStringLiteral("Вопрос"),
                                           {q % 2 == 0, false, true, false, false}, q % 3 == 0});
                store.addTestResult(me, result);
                break;
            }
            case 1:
                store.addBookmark(me, k, 10, marker);
                store.bookmarks(me); // the bookmarks screen reads them back
                break;
            case 2:
                store.markOpened(me, k);
                break;
            default:
                store.setPlace(me, learners::Place{k, 50, marker});
                break;
            }
            write(QStringLiteral("confirmed %1 %2").arg(QLatin1String(names[kind]), marker));
        } catch (const learners::StoreError &e) {
            write(QStringLiteral("failed %1 %2").arg(marker, e.message()));
        }
        QThread::msleep(random.bounded(20, 120));
    }
    return 0;
}
