// The teacher's window on the class database: results appear as seats save
// them, without a restart; how each question was answered; each learner's
// best and last result per test; a server that goes away and comes back.

#include "LabServer.h"
#include "common/TeacherParts.h"
#include "lab/LabStore.h"
#include "teacher/ClassDatabase.h"
#include "teacher/CommandLine.h"
#include "teacher/TeacherWindow.h"

#include <QSortFilterProxyModel>
#include <QtTest>

using learners::LearnerId;
using teacher::TeacherWindow;

namespace {

constexpr int kPollMs = 200;
constexpr int kWaitMs = 20000;

learners::QuestionAnswer answer(const char *number, bool correct)
{
    return {QStringLiteral("1"), QString::fromLatin1(number),
            QStringLiteral("Вопрос %1").arg(QLatin1String(number)),
            {correct, false, false, false, false}, correct};
}

learners::TestResult result(int percent, bool secondRight)
{
    learners::TestResult r{QStringLiteral("1"), percent, {}};
    r.answers << answer("1", true) << answer("2", secondRight);
    return r;
}

lab::ConnectionSettings classDatabase()
{
    const lab::ConnectionSettings s = labtest::freshDatabase();
    lab::LabDatabase admin(s);
    admin.open();
    admin.migrate();
    return s;
}

int resultRows(const TeacherWindow &w)
{
    int n = 0;
    for (const auto &row : w.table()->rows())
        n += row.kind == teacher::ClassTable::Row::Result;
    return n;
}

// The per-question rows as "number answered/right learners".
QStringList questionRows(const TeacherWindow &w)
{
    QStringList rows;
    for (const teacher::QuestionStat &q : w.questions()->rows())
        rows << QStringLiteral("%1.%2 %3/%4 %5")
                    .arg(q.lecture, q.number)
                    .arg(q.answered)
                    .arg(q.right)
                    .arg(q.learners);
    return rows;
}

QString gridRow(const TeacherWindow &w, const QString &surname)
{
    for (const auto &l : w.grid()->learners()) {
        if (l.surname == surname) {
            QStringList cells;
            for (const auto &c : l.cells)
                cells << teacher::LectureGrid::cellText(c);
            return cells.join(u'|');
        }
    }
    return QStringLiteral("(нет)");
}

} // namespace

class TestTeacherLive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("PGPASSFILE", "/nonexistent/pgpass");
        TeacherWindow::setMessageHook([this](const QString &text) { m_messages << text; });
    }
    void cleanup() { m_messages.clear(); }

    // Two seats save results while the window is open: it shows them
    // without being reopened, counts each question's answers, and keeps
    // each learner's best and last result per test.
    void resultsArriveLive()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore anna(s), boris(s);
        anna.open();
        boris.open();
        const LearnerId a = anna.registerLearner({QStringLiteral("Анна"), QStringLiteral("Петрова"),
                                                  QStringLiteral("9А"), {}, {}});
        const LearnerId b = boris.registerLearner({QStringLiteral("Борис"), QStringLiteral("Сидоров"),
                                                   QStringLiteral("9Б"), {}, {}});
        anna.claimLearner(a);
        boris.claimLearner(b);

        TeacherWindow window{teacher::CourseTopics()};
        window.show();
        QVERIFY(window.openDatabase(s, kPollMs));
        QTRY_COMPARE_WITH_TIMEOUT(window.table()->learnerCount(), 2, kWaitMs);
        QCOMPARE(resultRows(window), 0);
        QVERIFY2(teacherparts::headerNote(window)->text().contains(QStringLiteral("База класса")),
                 qPrintable(teacherparts::headerNote(window)->text()));

        anna.addTestResult(a, result(100, true));
        QTRY_COMPARE_WITH_TIMEOUT(resultRows(window), 1, kWaitMs);
        // An attempt is known by its test and its time to the second, as in
        // a report: a second test takes longer than that.
        QTest::qWait(1100);
        anna.addTestResult(a, result(50, false));
        boris.addTestResult(b, result(100, true));
        QTRY_COMPARE_WITH_TIMEOUT(resultRows(window), 3, kWaitMs);

        QCOMPARE(questionRows(window), (QStringList{"1.1 3/3 2", "1.2 3/2 2"}));
        QCOMPARE(gridRow(window, QStringLiteral("Петрова")), QStringLiteral("100 / 50"));
        QCOMPARE(gridRow(window, QStringLiteral("Сидоров")), QStringLiteral("100 / 100"));

        // The worst-answered question first when sorted by its share.
        QTableView *questions = teacherparts::questionTable(window);
        questions->sortByColumn(teacher::QuestionTable::Share, Qt::AscendingOrder);
        QCOMPARE(questions->model()->index(0, teacher::QuestionTable::Number).data().toString(),
                 QStringLiteral("1.2"));

        // A group narrows every view.
        QComboBox *groups = teacherparts::groupBox(window);
        groups->setCurrentIndex(groups->findData(QStringLiteral("9Б")));
        QCOMPARE(questionRows(window), (QStringList{"1.1 1/1 1", "1.2 1/1 1"}));
        QCOMPARE(window.grid()->learners().size(), 1);
        groups->setCurrentIndex(0);

        // A learner deleted at a seat leaves the table too.
        boris.deleteLearner(b);
        QTRY_COMPARE_WITH_TIMEOUT(window.table()->learnerCount(), 1, kWaitMs);
        QCOMPARE(questionRows(window), (QStringList{"1.1 2/2 1", "1.2 2/1 1"}));
        QVERIFY(m_messages.isEmpty());
    }

    // Seats as programs of their own, each with its learner and its tests:
    // the window that was open all along shows both.
    void twoSeatProgramsShownWithoutRestart()
    {
        const lab::ConnectionSettings s = classDatabase();
        TeacherWindow window{teacher::CourseTopics()};
        window.show();
        QVERIFY(window.openDatabase(s, kPollMs));
        QTemporaryDir logs;
        QProcess seat1, seat2;
        for (auto [seat, n] : {std::pair{&seat1, 1}, std::pair{&seat2, 2}}) {
            seat->start(QStringLiteral(LABSEAT_PATH),
                        {s.describe(), QString::number(n), QStringLiteral("3"),
                         logs.filePath(QStringLiteral("seat%1.log").arg(n))});
            QVERIFY(seat->waitForStarted());
        }
        QVERIFY(seat1.waitForFinished(60000));
        QVERIFY(seat2.waitForFinished(60000));
        QCOMPARE(seat1.exitCode(), 0);
        QCOMPARE(seat2.exitCode(), 0);

        lab::LabDatabase db(s);
        db.open();
        const int results = db.scalar(QStringLiteral("SELECT count(*) FROM test_result")).toInt();
        QVERIFY(results > 0);
        QTRY_COMPARE_WITH_TIMEOUT(resultRows(window), results, kWaitMs);
        QSet<QString> seats;
        for (const teacher::Report &r : window.table()->reports()) {
            if (!r.results.isEmpty())
                seats.insert(r.surname);
        }
        QCOMPARE(seats, (QSet<QString>{QStringLiteral("1"), QStringLiteral("2")}));
    }

    // The server goes away: the window says so and keeps what it showed;
    // when the server is back, new results come in again.
    void serverLostAndBack()
    {
        const lab::ConnectionSettings s = classDatabase();
        lab::LabStore seat(s);
        seat.open();
        const LearnerId v = seat.registerLearner({QStringLiteral("Вера"), {}, {}, {}, {}});
        seat.addTestResult(v, result(80, true));

        TeacherWindow window{teacher::CourseTopics()};
        window.show();
        QVERIFY(window.openDatabase(s, kPollMs));
        QTRY_COMPARE_WITH_TIMEOUT(resultRows(window), 1, kWaitMs);

        seat.close();
        QVERIFY(labtest::pgserver(QStringLiteral("kill")));
        auto restart = qScopeGuard([] { labtest::pgserver(QStringLiteral("restart")); });
        QTRY_VERIFY_WITH_TIMEOUT(teacherparts::headerNote(window)->text().contains(
                                     QStringLiteral("Нет связи с сервером")) ||
                                     teacherparts::headerNote(window)->text().contains(
                                         QStringLiteral("Связь с сервером")),
                                 kWaitMs);
        QCOMPARE(resultRows(window), 1);
        QVERIFY(m_messages.isEmpty()); // told in the window, not a box every few seconds

        restart.dismiss();
        QVERIFY(labtest::pgserver(QStringLiteral("restart")));
        seat.open();
        seat.addTestResult(v, result(90, true));
        QTRY_COMPARE_WITH_TIMEOUT(resultRows(window), 2, kWaitMs);
        QVERIFY(teacherparts::headerNote(window)->text().contains(QStringLiteral("обновлено")));
    }

    // Opening a database that cannot be used is told at once, in Russian,
    // and the window keeps what it showed.
    void unusableDatabaseTold()
    {
        lab::ConnectionSettings nowhere = labtest::serverSettings();
        nowhere.host = QStringLiteral("/nonexistent-socket-dir");
        TeacherWindow window{teacher::CourseTopics()};
        QVERIFY(!window.openDatabase(nowhere));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(QStringLiteral("Нет связи с сервером компьютерного класса")),
                 qPrintable(m_messages[0]));

        lab::ConnectionSettings empty = labtest::freshDatabase(); // no schema
        QVERIFY(!window.openDatabase(empty));
        QVERIFY2(m_messages.value(1).contains(QStringLiteral("tarvel-lab init")),
                 qPrintable(m_messages.value(1)));
    }

    // --lab names the database as a seat's settings do.
    void labSourceNamed()
    {
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("lab.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[lab]\nserver=school\ndatabase=tarvel\nclass=9A\n");
        ini.close();
        QProcessEnvironment env;
        const auto fromFolder = teacher::labSource(dir.path(), {}, env);
        QVERIFY(fromFolder);
        QCOMPARE(fromFolder->host + u'/' + fromFolder->database + u'/' + fromFolder->className,
                 QStringLiteral("school/tarvel/9A"));
        QCOMPARE(teacher::labSource(ini.fileName(), {}, env)->host, QStringLiteral("school"));
        QCOMPARE(teacher::labSource(QStringLiteral("host=db1 dbname=x"), {}, env)->host,
                 QStringLiteral("db1"));
        env.insert(QStringLiteral("TARVEL_LAB"), QStringLiteral("host=envhost dbname=y"));
        QCOMPARE(teacher::labSource({}, dir.path(), env)->host, QStringLiteral("envhost"));
        QVERIFY(!teacher::labSource({}, dir.filePath(QStringLiteral("нет")), QProcessEnvironment()));
        QVERIFY_THROWS_EXCEPTION(lab::LabError,
                                 teacher::labSource(QDir::tempPath() + QStringLiteral("/.."), {}, env));
    }

private:
    QStringList m_messages;
};

QTEST_MAIN(TestTeacherLive)
#include "tst_teacherlive.moc"
