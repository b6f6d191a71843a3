// Thirty seats on one class database, each a process with its own
// connection, working as the screens do; the server is killed and started
// again in the middle. Every change a seat was told is kept is there, once;
// a seat that dies frees its learner for the next.

#include "LabServer.h"
#include "lab/LabStore.h"

#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

struct SeatLog
{
    qint64 learner = 0;
    QHash<QString, QStringList> confirmed, attempted; // kind -> markers, in order
    int failed = 0;
};

SeatLog readLog(const QString &path)
{
    SeatLog log;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return log;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const QStringList w = QString::fromUtf8(raw).split(u' ');
        if (w.value(0) == u"learner")
            log.learner = w.value(1).toLongLong();
        else if (w.value(0) == u"confirmed")
            log.confirmed[w.value(1)] << w.value(2);
        else if (w.value(0) == u"attempt")
            log.attempted[w.value(1)] << w.value(2);
        else if (w.value(0) == u"failed")
            ++log.failed;
    }
    return log;
}

QHash<QString, int> countBy(lab::LabDatabase &db, const QString &sql)
{
    QHash<QString, int> counts;
    QSqlQuery q = db.exec(sql);
    while (q.next())
        counts.insert(q.value(0).toString(), q.value(1).toInt());
    return counts;
}

} // namespace

class TestLabLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("PGPASSFILE", "/nonexistent/pgpass"); }

    void seatsAtOnceThroughARestart()
    {
        const int seats = envInt("TARVEL_LAB_SEATS", 30);
        const int seconds = envInt("TARVEL_LAB_LOAD_SECONDS", 60);
        const lab::ConnectionSettings s = labtest::freshDatabase();
        lab::LabDatabase admin(s);
        admin.open();
        admin.migrate();

        QTemporaryDir logs;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < seats; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QStringLiteral(LABSEAT_PATH),
                     {s.describe(), QString::number(i + 1), QString::number(seconds),
                      logs.filePath(QStringLiteral("seat%1.log").arg(i + 1))});
            processes.push_back(std::move(p));
        }
        for (auto &p : processes)
            QVERIFY(p->waitForStarted());

        // A third of the way in, the server goes down as in a power cut and
        // comes back three seconds later.
        QThread::msleep(ulong(seconds) * 1000 / 3);
        admin.close();
        QVERIFY(labtest::pgserver(QStringLiteral("kill")));
        QThread::msleep(3000);
        QVERIFY(labtest::pgserver(QStringLiteral("restart")));

        for (auto &p : processes) {
            QVERIFY(p->waitForFinished((seconds + 120) * 1000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        admin.open();

        const QHash<QString, int> results = countBy(admin, QStringLiteral(
            "SELECT topic, count(*) FROM test_result GROUP BY topic"));
        const QHash<QString, int> bookmarks = countBy(admin, QStringLiteral(
            "SELECT section, count(*) FROM bookmark GROUP BY section"));
        const QHash<QString, int> answers = countBy(admin, QStringLiteral(
            "SELECT r.topic, count(*) FROM answer a JOIN test_result r ON r.id = a.result_id GROUP BY r.topic"));
        int confirmed = 0, failed = 0;
        for (int i = 0; i < seats; ++i) {
            const QString seat = QString::number(i + 1);
            const SeatLog log = readLog(logs.filePath(QStringLiteral("seat%1.log").arg(seat)));
            QVERIFY2(log.learner > 0, qPrintable(seat));
            failed += log.failed;
            for (const QStringList &markers : log.confirmed)
                confirmed += int(markers.size());
            for (const QString &m : log.confirmed.value(QStringLiteral("result"))) {
                QVERIFY2(results.value(m) == 1, qPrintable(m));
                QVERIFY2(answers.value(m) == 10, qPrintable(m));
            }
            for (const QString &m : log.confirmed.value(QStringLiteral("bookmark")))
                QVERIFY2(bookmarks.value(m) == 1, qPrintable(m));

            QSet<int> opened;
            QSqlQuery o = admin.exec(QStringLiteral("SELECT page FROM opened_page WHERE learner_id = ?"),
                                     {log.learner});
            while (o.next())
                opened.insert(o.value(0).toInt());
            for (const QString &m : log.confirmed.value(QStringLiteral("opened")))
                QVERIFY2(opened.contains(m.section(u':', 1).toInt()), qPrintable(m));

            // No lost update: the place is the last one confirmed, or one
            // tried after it whose answer the break swallowed.
            const QStringList places = log.confirmed.value(QStringLiteral("place"));
            if (!places.isEmpty()) {
                const QString place = admin.scalar(QStringLiteral("SELECT place_section FROM learner WHERE id = ?"),
                                                   {log.learner}).toString();
                const QStringList tried = log.attempted.value(QStringLiteral("place"));
                const qsizetype last = tried.indexOf(places.last());
                QVERIFY2(last >= 0 && tried.mid(last).contains(place),
                         qPrintable(seat + u' ' + place + u' ' + places.last()));
            }
        }
        // Nothing is kept twice, confirmed or not.
        for (auto it = results.cbegin(); it != results.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
        for (auto it = bookmarks.cbegin(); it != bookmarks.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
        qInfo("%d seats, %d s: %d changes confirmed and found, %lld results, %lld bookmarks, "
              "%d changes refused with a message",
              seats, seconds, confirmed, qlonglong(results.size()), qlonglong(bookmarks.size()), failed);
        QVERIFY(confirmed > seats);
    }

    // A seat that is killed while it holds a learner: another seat gets the
    // learner within seconds, without a take-over.
    void killedSeatReleasesItsLearner()
    {
        const lab::ConnectionSettings s = labtest::freshDatabase();
        {
            lab::LabDatabase admin(s);
            admin.open();
            admin.migrate();
        }
        lab::LabStore next(s);
        next.open();
        const learners::LearnerId held = next.registerLearner({QStringLiteral("Дина"), {}, {}, {}, {}});

        QProcess seat;
        seat.start(QStringLiteral(LABSEAT_PATH), {s.describe(), QStringLiteral("hold"), held.toString()});
        QVERIFY(seat.waitForStarted());
        QVERIFY(seat.waitForReadyRead(15000));
        QCOMPARE(seat.readAllStandardOutput().trimmed(), QByteArray("held"));
        try {
            next.claimLearner(held);
            QFAIL("the learner held at another seat was given out");
        } catch (const learners::StoreError &e) {
            QCOMPARE(e.kind(), learners::StoreError::Kind::InUse);
        }

        seat.kill();
        QVERIFY(seat.waitForFinished());
        QElapsedTimer clock;
        clock.start();
        bool claimed = false;
        while (!claimed && clock.elapsed() < 5000) {
            try {
                next.claimLearner(held);
                claimed = true;
            } catch (const learners::StoreError &) {
                QThread::msleep(100);
            }
        }
        QVERIFY2(claimed, "the killed seat's learner stayed held");
    }
};

QTEST_GUILESS_MAIN(TestLabLoad)
#include "tst_labload.moc"
