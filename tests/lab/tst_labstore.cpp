// What the class database adds to the learner store: several seats at once,
// a learner held by one seat, classes kept apart, answered questions kept,
// and a store that refuses a database it cannot use.

#include "LabServer.h"
#include "lab/LabError.h"
#include "lab/LabStore.h"

#include <QtTest>

using learners::LearnerFields;
using learners::LearnerId;
using learners::StoreError;

namespace {

LearnerFields person(const QString &name, const QString &sourname = {}, const QString &group = {})
{
    return LearnerFields{name, sourname, group, QString(), QString()};
}

// The kind of StoreError f throws (-1 for none) and its message.
int refusal(const std::function<void()> &f, QString *message = nullptr)
{
    try {
        f();
    } catch (const StoreError &e) {
        if (message)
            *message = e.message();
        return int(e.kind());
    }
    return -1;
}

// A database with the schema, and settings for seats of one class.
lab::ConnectionSettings classDatabase(const QString &className = {})
{
    lab::ConnectionSettings s = labtest::freshDatabase();
    lab::LabDatabase admin(s);
    admin.open();
    admin.migrate();
    s.className = className;
    return s;
}

int backendPid(lab::LabStore &store)
{
    return store.database().scalar(QStringLiteral("SELECT pg_backend_pid()")).toInt();
}

} // namespace

class TestLabStore : public QObject
{
    Q_OBJECT

private slots:
    // A learner signed in at one seat is refused at another, with the
    // computer and the time; a take-over moves the learner, and the first
    // seat's next change is refused instead of written over the second's.
    void learnerHeldByOneSeat()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore first(s), second(s);
        first.open();
        second.open();
        const LearnerId anna = first.registerLearner(person("Анна", "Орлова"));
        first.claimLearner(anna);
        first.claimLearner(anna); // again at the same seat: still hers

        QString message;
        QCOMPARE(refusal([&] { second.claimLearner(anna); }, &message), int(StoreError::Kind::InUse));
        QVERIFY2(message.contains(QStringLiteral("«Анна Орлова»"))
                     && message.contains(lab::LabDatabase::computerName())
                     && message.contains(QRegularExpression(QStringLiteral(" с \\d\\d:\\d\\d"))),
                 qPrintable(message));
        // Nor may the other seat delete her.
        QCOMPARE(refusal([&] { second.deleteLearner(anna); }), int(StoreError::Kind::InUse));

        second.claimLearner(anna, true);
        QCOMPARE(second.claimedLearner(), anna);
        QCOMPARE(refusal([&] { first.addBookmark(anna, 3); }, &message), int(StoreError::Kind::InUse));
        QVERIFY(second.bookmarks(anna).isEmpty());
        second.addBookmark(anna, 4);
        QCOMPARE(second.bookmarks(anna).size(), 1);
    }

    // A seat that dies (its connection ends without a word) frees its
    // learner at once: the server drops the session's lock.
    void deadSeatFreesItsLearner()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore crashed(s), next(s), admin(s);
        crashed.open();
        next.open();
        admin.open();
        const LearnerId boris = crashed.registerLearner(person("Борис"));
        crashed.claimLearner(boris);
        QCOMPARE(refusal([&] { next.claimLearner(boris); }), int(StoreError::Kind::InUse));
        admin.database().exec(QStringLiteral("SELECT pg_terminate_backend(?)"), {backendPid(crashed)});
        QTRY_COMPARE_WITH_TIMEOUT(refusal([&] { next.claimLearner(boris); }), -1, 5000);
    }

    // Claiming another learner lets the first go.
    void claimingAnotherFreesTheFirst()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore seat(s), other(s);
        seat.open();
        other.open();
        const LearnerId a = seat.registerLearner(person("А"));
        const LearnerId b = seat.registerLearner(person("Б"));
        seat.claimLearner(a);
        seat.claimLearner(b);
        QCOMPARE(refusal([&] { other.claimLearner(a); }), -1);
        QCOMPARE(refusal([&] { other.claimLearner(b); }), int(StoreError::Kind::InUse));
    }

    // The seat's connection breaks under a change: the change is made once,
    // and the seat still holds its learner.
    void changeSurvivesBrokenConnection()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore seat(s), admin(s), other(s);
        seat.open();
        admin.open();
        other.open();
        const LearnerId v = seat.registerLearner(person("Вера"));
        seat.claimLearner(v);
        admin.database().exec(QStringLiteral("SELECT pg_terminate_backend(?)"), {backendPid(seat)});
        learners::TestResult result{QStringLiteral("2"), 75, {}};
        seat.addTestResult(v, result);
        seat.addBookmark(v, 2);
        QCOMPARE(admin.testRecords(v).size(), 1);
        QCOMPARE(admin.bookmarks(v).size(), 1);
        QCOMPARE(refusal([&] { other.claimLearner(v); }), int(StoreError::Kind::InUse));
    }

    // The server goes away: a change is refused with a message within
    // seconds (not after a long hang), nothing is half-kept, and the seat
    // works again once the server is back, still holding its learner.
    void serverLossToldPromptly()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore seat(s);
        seat.open();
        const LearnerId v = seat.registerLearner(person("Вера"));
        seat.claimLearner(v);
        seat.addBookmark(v, 1);
        QVERIFY(labtest::pgserver(QStringLiteral("kill")));
        auto restart = qScopeGuard([] { labtest::pgserver(QStringLiteral("restart")); });

        QElapsedTimer clock;
        clock.start();
        QString message;
        QCOMPARE(refusal([&] { seat.addBookmark(v, 2); }, &message), int(StoreError::Kind::Failed));
        QVERIFY2(message.contains(QStringLiteral("Изменение не сохранено")), qPrintable(message));
        QCOMPARE(refusal([&] { seat.bookmarks(v); }), int(StoreError::Kind::Failed));
        // Generous: the old wait was 15 s a call, so two calls took 30.
        QVERIFY2(clock.elapsed() < 25000, qPrintable(QString::number(clock.elapsed())));

        restart.dismiss();
        QVERIFY(labtest::pgserver(QStringLiteral("restart")));
        seat.addBookmark(v, 3);
        QCOMPARE(seat.bookmarks(v).size(), 2);
        lab::LabStore other(s);
        other.open();
        QCOMPARE(refusal([&] { other.claimLearner(v); }), int(StoreError::Kind::InUse));
    }

    // Two learners of one first name are told apart in the list.
    void listTellsNamesakesApart()
    {
        lab::LabStore seat(classDatabase());
        seat.open();
        seat.registerLearner(person("Иван", "Петров", "9А"));
        seat.registerLearner(person("Иван", "Сидоров", "9Б"));
        const QVector<learners::LearnerEntry> list = seat.learners();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].sourname + u'/' + list[0].group, QStringLiteral("Петров/9А"));
        QCOMPARE(list[1].sourname + u'/' + list[1].group, QStringLiteral("Сидоров/9Б"));
    }

    // Seats of one class see only its learners; an id of another class is
    // nobody to them.
    void classesKeptApart()
    {
        lab::ConnectionSettings s9 = classDatabase(QStringLiteral("9А"));
        lab::ConnectionSettings s10 = s9;
        s10.className = QStringLiteral("10Б");
        lab::LabStore nine(s9), ten(s10);
        nine.open();
        ten.open();
        const LearnerId a = nine.registerLearner(person("Девятиклассник"));
        const LearnerId b = ten.registerLearner(person("Десятиклассник"));
        QCOMPARE(nine.learners().size(), 1);
        QCOMPARE(nine.learners().first().id, a);
        QCOMPARE(ten.learners().first().id, b);
        QCOMPARE(refusal([&] { ten.addBookmark(a, 1); }), int(StoreError::Kind::NotFound));
        QCOMPARE(refusal([&] { ten.deleteLearner(a); }), int(StoreError::Kind::NotFound));
        QCOMPARE(nine.learners().size(), 1);
    }

    // Each answered question is kept with the result, for the teacher.
    void answersKept()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore seat(s);
        seat.open();
        const LearnerId g = seat.registerLearner(person("Галя"));
        learners::TestResult result{QStringLiteral("3"), 50, {}};
        result.answers.append({"3", "7", "Что такое ток?", {true, false, true, false, false}, true});
        result.answers.append({"3", "9", "Единица сопротивления?", {false, false, false, false, true}, false});
        seat.addTestResult(g, result);
        QSqlQuery q = seat.database().exec(QStringLiteral(
            "SELECT a.position, a.lecture, a.number, a.question, a.ticks, a.correct "
            "FROM answer a JOIN test_result r ON r.id = a.result_id WHERE r.learner_id = ? "
            "ORDER BY a.position"),
            {g.value()});
        QStringList rows;
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < 6; ++i)
                cells << q.value(i).toString();
            rows << cells.join(u'|');
        }
        QCOMPARE(rows, (QStringList{"0|3|7|Что такое ток?|AC|true", "1|3|9|Единица сопротивления?|E|false"}));
    }

    // A store that cannot be used says why, and writes nothing.
    void refusedDatabases()
    {
        QString message;
        lab::LabStore away(lab::LabSettings::parseConnectionString(
            QStringLiteral("host=/nonexistent/socket dbname=tarvel")));
        QCOMPARE(refusal([&] { away.open(); }, &message), int(StoreError::Kind::Unavailable));
        QVERIFY2(message.contains(QStringLiteral("/nonexistent/socket")), qPrintable(message));
        QVERIFY(!away.isOpen());

        const lab::ConnectionSettings empty = labtest::freshDatabase();
        lab::LabStore bare(empty);
        QCOMPARE(refusal([&] { bare.open(); }, &message), int(StoreError::Kind::Schema));
        QVERIFY2(message.contains(QStringLiteral("tarvel-lab init")), qPrintable(message));

        lab::LabDatabase admin(empty);
        admin.open();
        admin.migrate();
        admin.exec(QStringLiteral("INSERT INTO tarvel_schema_version (version, note) VALUES (?, 'будущая')"),
                   {lab::LabDatabase::currentSchemaVersion() + 1});
        lab::LabStore ahead(empty);
        QCOMPARE(refusal([&] { ahead.open(); }, &message), int(StoreError::Kind::Schema));
        QVERIFY2(message.contains(QStringLiteral("более новой версией")), qPrintable(message));
        QCOMPARE(admin.scalar(QStringLiteral("SELECT count(*) FROM learner")).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLabStore)
#include "tst_labstore.moc"
