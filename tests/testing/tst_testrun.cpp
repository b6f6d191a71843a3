#include "testing/TestRun.h"

#include <QTest>
#include <set>

namespace {

// Two bank tables built record by record, as LoadBanks leaves them.
struct Banks
{
    testing::StringGrid questions{3};
    testing::StringGrid answers{4};

    Banks()
    {
        questions.RowCount = 1;
        answers.RowCount = 1;
    }
    void question(const QString &lecture, const QString &number, const QString &text = QString())
    {
        const QString t = text.isEmpty() ? QStringLiteral("Вопрос %1.%2").arg(lecture, number) : text;
        testing::banks::storeQuestion(questions, questions.RowCount++, lecture + u' ' + number + u' ' + t);
    }
    // Five options "<lecture>.<number>A" .. "E"; flags holds one character per option.
    void options(const QString &lecture, const QString &number, const QString &flags = "10000")
    {
        for (int i = 0; i < 5; ++i)
            option(lecture, number, flags.mid(i, 1), lecture + u'.' + number + QChar(u'A' + i));
    }
    void option(const QString &lecture, const QString &number, const QString &flag,
                const QString &text)
    {
        testing::banks::storeAnswer(answers, answers.RowCount++,
                           lecture + u' ' + number + u' ' + flag + u' ' + text);
    }
};

std::array<bool, 5> ticks(const QString &pattern)
{
    std::array<bool, 5> t{};
    for (int i = 0; i < 5; ++i)
        t[static_cast<size_t>(i)] = pattern.at(i) == u'1';
    return t;
}

// Hands out a fixed sequence of draws and remembers the seed.
class ScriptedRandom : public testing::TestRandom
{
public:
    explicit ScriptedRandom(std::vector<int> draws, quint32 *seed) : m_draws(std::move(draws)), m_seed(seed) {}
    void seed(quint32 seconds) override { *m_seed = seconds; }
    int bounded(int bound) override
    {
        const int v = m_draws.at(m_next++ % m_draws.size());
        Q_ASSERT(v < bound);
        return v;
    }

private:
    std::vector<int> m_draws;
    quint32 *m_seed;
    size_t m_next = 0;
};

// A general bank: n questions of lecture 1, numbered 1..n, each with its
// own options, option A correct.
Banks generalBank(int n)
{
    Banks b;
    for (int i = 1; i <= n; ++i) {
        b.question(QStringLiteral("1"), QString::number(i));
        b.options(QStringLiteral("1"), QString::number(i));
    }
    return b;
}

} // namespace

class TestTestRun : public QObject
{
    Q_OBJECT
private slots:
    void scoring_data();
    void scoring();
    void percent_data();
    void percent();
    void percentIsIntegerPartBelowHundredAnswers();
    void generalTest();
    void generalDrawRedrawsRepeats();
    void generalDrawIsDeterministicForOneSecond();
    void generalNeedsTwentyQuestions_data();
    void generalNeedsTwentyQuestions();
    void lectureWalk_data();
    void lectureWalk();
    void missingOptions_data();
    void missingOptions();
    void optionsBtoEWhateverTheirNumbers();
    void nextWithoutSetUpRefuses();
    void shippedCourseRunsEveryTopic();
};

void TestTestRun::scoring_data()
{
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<bool>("right");
    QTest::newRow("A and C, ticked A and C") << "10100" << "10100" << true;
    QTest::newRow("A and C, ticked A alone") << "10100" << "10000" << false;
    QTest::newRow("A and C, ticked A C D") << "10100" << "10110" << false;
    QTest::newRow("A and C, ticked B") << "10100" << "01000" << false;
    QTest::newRow("A and C, none ticked") << "10100" << "00000" << false;
    QTest::newRow("no correct, none ticked") << "00000" << "00000" << true;
    QTest::newRow("no correct, E ticked") << "00000" << "00001" << false;
    QTest::newRow("all correct, all ticked") << "11111" << "11111" << true;
    QTest::newRow("all correct, four ticked") << "11111" << "11110" << false;
    QTest::newRow("one wrong for one right") << "10000" << "01000" << false;
    // Only the flag "1" marks a correct option.
    QTest::newRow("flag 2 is wrong") << "20000" << "10000" << false;
    QTest::newRow("flag 2 untouched is right") << "20000" << "00000" << true;
}

void TestTestRun::scoring()
{
    QFETCH(QString, flags);
    QFETCH(QString, ticked);
    QFETCH(bool, right);

    Banks b;
    b.question("1", "1");
    b.options("1", "1", flags);
    testing::TestRun run(b.questions, b.answers);
    run.begin("1");
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    const testing::TestStep end = run.next(ticks(ticked));
    QCOMPARE(end.kind, testing::TestStep::Finish);
    QCOMPARE(run.RightCount, right ? 1 : 0);
    QCOMPARE(run.AnsweredCount, 1);
    QCOMPARE(run.Mismatches, 0);
    QCOMPARE(end.percent, right ? 100 : 0);
}

void TestTestRun::percent_data()
{
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("answered");
    QTest::addColumn<int>("p");
    QTest::newRow("20 of 20") << 20 << 20 << 100;
    QTest::newRow("17 of 20") << 17 << 20 << 85;
    QTest::newRow("4 of 7") << 4 << 7 << 57;
    QTest::newRow("1 of 3") << 1 << 3 << 33;
    QTest::newRow("2 of 3") << 2 << 3 << 66;
    QTest::newRow("0 of 5") << 0 << 5 << 0;
    QTest::newRow("7 of 7") << 7 << 7 << 100;
    QTest::newRow("nothing answered") << 0 << 0 << 0;
}

void TestTestRun::percent()
{
    QFETCH(int, right);
    QFETCH(int, answered);
    QFETCH(int, p);
    QCOMPARE(testing::TestRun::percent(right, answered), p);
}

void TestTestRun::percentIsIntegerPartBelowHundredAnswers()
{
    for (int n = 1; n < 100; ++n)
        for (int k = 0; k <= n; ++k)
            QCOMPARE(testing::TestRun::percent(k, n), 100 * k / n);
}

void TestTestRun::generalTest()
{
    Banks b = generalBank(25);
    testing::TestRun run(b.questions, b.answers);
    run.setClock([] { return qint64(1765184703); });
    run.begin("0");
    testing::TestStep step = run.setUp();
    QCOMPARE(run.RecordedTopic, QStringLiteral("0"));

    std::set<int> seen;
    for (int k = 1; k <= 20; ++k) {
        QCOMPARE(step.kind, testing::TestStep::Show);
        // Every question carries the total, the first one too.
        QCOMPARE(step.display.heading, QStringLiteral("  Вопрос %1 из 20").arg(k));
        const int row = run.ChosenRows[static_cast<size_t>(k - 1)];
        QVERIFY(row >= 1 && row <= 25);
        QVERIFY(seen.insert(row).second);
        // The question shows its own text with its own five options.
        const QString id = QStringLiteral("1.%1").arg(row);
        QCOMPARE(step.display.question, QStringLiteral("Вопрос ") + id);
        QCOMPARE(step.display.options[0], QStringLiteral("   A.    ") + id + u'A');
        QCOMPARE(step.display.options[4], QStringLiteral("   E.    ") + id + u'E');
        QCOMPARE(run.NextChosen, k);
        // Right on all but three questions.
        step = run.next(ticks(k <= 17 ? "10000" : "01000"));
    }
    QCOMPARE(step.kind, testing::TestStep::Finish);
    QCOMPARE(step.percent, 85);
    QCOMPARE(run.AnsweredCount, 20);
    QVERIFY(!run.isRunning());
}

void TestTestRun::generalDrawRedrawsRepeats()
{
    Banks b = generalBank(30);
    quint32 seed = 0;
    testing::TestRun run(b.questions, b.answers);
    // Draws give rows 1, 1, 2, 1, 2, 3, ...: repeats are drawn again.
    std::vector<int> draws;
    for (int k = 0; k < 20; ++k)
        for (int j = 0; j <= k; ++j)
            draws.push_back(j);
    run.setRandom(std::make_unique<ScriptedRandom>(draws, &seed));
    run.setClock([] { return qint64(4242); });
    run.begin("0");
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    QCOMPARE(seed, 4242u);
    for (int k = 0; k < 20; ++k)
        QCOMPARE(run.ChosenRows[static_cast<size_t>(k)], k + 1);
}

void TestTestRun::generalDrawIsDeterministicForOneSecond()
{
    Banks b = generalBank(40);
    const auto draw = [&b](qint64 seconds) {
        testing::TestRun run(b.questions, b.answers);
        run.setClock([seconds] { return seconds; });
        run.begin("0");
        run.setUp();
        return run.ChosenRows;
    };
    QCOMPARE(draw(1000), draw(1000));
    QVERIFY(draw(1000) != draw(1001));

    // Exactly twenty questions: every one of them is drawn.
    Banks twenty = generalBank(20);
    testing::TestRun run(twenty.questions, twenty.answers);
    run.begin("0");
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    std::set<int> rows(run.ChosenRows.begin(), run.ChosenRows.end());
    QCOMPARE(rows.size(), size_t(20));
    QCOMPARE(*rows.begin(), 1);
    QCOMPARE(*rows.rbegin(), 20);
}

void TestTestRun::generalNeedsTwentyQuestions_data()
{
    QTest::addColumn<int>("questions");
    QTest::newRow("empty bank") << 0;
    QTest::newRow("19 questions") << 19;
}

void TestTestRun::generalNeedsTwentyQuestions()
{
    QFETCH(int, questions);
    Banks b = generalBank(questions);
    testing::TestRun run(b.questions, b.answers);
    run.begin("0");
    const testing::TestStep step = run.setUp();
    QCOMPARE(step.kind, testing::TestStep::Fail);
    QVERIFY(step.message.contains(QStringLiteral("20")));
    QVERIFY(!run.isRunning());
    QCOMPARE(run.next(ticks("00000")).kind, testing::TestStep::Fail);
    QCOMPARE(run.AnsweredCount, 0);
}

void TestTestRun::lectureWalk_data()
{
    QTest::addColumn<QStringList>("rows"); // "<lecture> <number>" per question row
    QTest::addColumn<QString>("topic");
    QTest::addColumn<int>("shown");

    QTest::newRow("1..7 then another lecture")
        << QStringList{"2 1", "1 1", "1 2", "1 3", "1 4", "1 5", "1 6", "1 7", "2 2", "3 1"} << "1" << 7;
    QTest::newRow("1, 2, 4") << QStringList{"1 1", "1 2", "1 4", "1 5"} << "1" << 2;
    QTest::newRow("block at the end") << QStringList{"1 1", "1 2", "2 1", "2 2", "2 3"} << "2" << 3;
    QTest::newRow("repeat ends the test") << QStringList{"3 1", "3 2", "3 2", "3 3"} << "3" << 2;
    QTest::newRow("another lecture between")
        << QStringList{"1 1", "2 1", "1 2"} << "1" << 1;
    QTest::newRow("question 1 found below") << QStringList{"4 2", "4 1", "4 2", "4 3"} << "4" << 3;
    QTest::newRow("single question") << QStringList{"5 1"} << "5" << 1;
}

void TestTestRun::lectureWalk()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, topic);
    QFETCH(int, shown);

    Banks b;
    for (const QString &r : rows) {
        const QStringList f = r.split(u' ');
        b.question(f[0], f[1]);
        b.options(f[0], f[1], "01000");
    }
    testing::TestRun run(b.questions, b.answers);
    run.begin(topic);
    testing::TestStep step = run.setUp();
    int count = 0;
    while (step.kind == testing::TestStep::Show) {
        ++count;
        // The total is known from the first question: where the numbering stops.
        QCOMPARE(step.display.heading, QStringLiteral("  Вопрос %1 из %2").arg(count).arg(shown));
        QCOMPARE(step.display.question, QStringLiteral("Вопрос %1.%2").arg(topic).arg(count));
        QCOMPARE(step.display.options[1], QStringLiteral("   B.    %1.%2B").arg(topic).arg(count));
        QCOMPARE(run.LectureQuestionNo, count);
        QVERIFY(count <= rows.size());
        // Right on the odd questions only.
        step = run.next(ticks(count % 2 ? "01000" : "00000"));
    }
    QCOMPARE(step.kind, testing::TestStep::Finish);
    QCOMPARE(count, shown);
    QCOMPARE(run.AnsweredCount, shown);
    QCOMPARE(run.RecordedTopic, topic);
    QCOMPARE(step.percent, testing::TestRun::percent((shown + 1) / 2, shown));
}

void TestTestRun::missingOptions_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<int>("answeredBeforeFailure");
    // Lecture 1: questions 1 and 2; only question 1 has options.
    // Lecture 2: question 1 with options at the very end of the answer bank,
    // one short. Lecture 3: no question 1. Lecture "01": differs from "1".
    QTest::newRow("second question lacks options") << "1" << 1;
    QTest::newRow("fewer than five options left") << "2" << 0;
    QTest::newRow("no question 1") << "3" << 0;
    QTest::newRow("numbers compare as text") << "01" << 0;
    QTest::newRow("no such lecture") << "9" << 0;
}

void TestTestRun::missingOptions()
{
    QFETCH(QString, topic);
    QFETCH(int, answeredBeforeFailure);

    Banks b;
    b.question("1", "1");
    b.question("1", "2");
    b.question("2", "1");
    b.question("3", "2");
    b.options("1", "1");
    b.options("3", "2");
    b.option("2", "1", "1", "a");
    b.option("2", "1", "0", "b");
    b.option("2", "1", "0", "c");
    b.option("2", "1", "0", "d");
    // Leftovers past the table's end, as an earlier, longer bank leaves them.
    testing::banks::storeAnswer(b.answers, b.answers.RowCount, QStringLiteral("2 1 0 stale"));

    testing::TestRun run(b.questions, b.answers);
    run.begin(topic);
    testing::TestStep step = run.setUp();
    while (step.kind == testing::TestStep::Show)
        step = run.next(ticks("10000"));
    QCOMPARE(step.kind, testing::TestStep::Fail);
    QVERIFY(!step.message.isEmpty());
    QCOMPARE(run.AnsweredCount, answeredBeforeFailure);
    QVERIFY(!run.isRunning());
}

void TestTestRun::optionsBtoEWhateverTheirNumbers()
{
    Banks b;
    b.question("1", "1");
    b.option("1", "1", "0", "first");
    b.option("7", "7", "1", "second");
    b.option("9", "9", "0", "third");
    b.option("1", "1", "0", "fourth");
    b.option("1", "2", "0", "fifth");
    testing::TestRun run(b.questions, b.answers);
    run.begin("1");
    const testing::TestStep step = run.setUp();
    QCOMPARE(step.kind, testing::TestStep::Show);
    QCOMPARE(run.AnswerRow, 1);
    QCOMPARE(step.display.options,
             (std::array<QString, 5>{"   A.    first", "   B.    second", "   C.    third",
                                     "   D.    fourth", "   E.    fifth"}));
    QCOMPARE(run.next(ticks("01000")).percent, 100);
}

void TestTestRun::nextWithoutSetUpRefuses()
{
    Banks b;
    b.question("1", "1");
    b.options("1", "1");
    testing::TestRun run(b.questions, b.answers);
    QCOMPARE(run.next(ticks("10000")).kind, testing::TestStep::Fail);

    run.begin("1");
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    run.abandon();
    QCOMPARE(run.next(ticks("10000")).kind, testing::TestStep::Fail);
    QCOMPARE(run.AnsweredCount, 0);

    // A finished run does not score again.
    run.begin("1");
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    QCOMPARE(run.next(ticks("10000")).kind, testing::TestStep::Finish);
    QCOMPARE(run.next(ticks("10000")).kind, testing::TestStep::Fail);
    QCOMPARE(run.AnsweredCount, 1);
}

void TestTestRun::shippedCourseRunsEveryTopic()
{
    testing::StringGrid questions(3), answers(4);
    testing::LoadBanks(questions, answers, QStringLiteral(TARVEL_COURSE_DIR "/questions.qzt"),
              QStringLiteral(TARVEL_COURSE_DIR "/ansvers.qzt"));
    QVERIFY(questions.RowCount > testing::TestRun::kGeneralCount);

    // Ticking exactly the flagged options answers every question right.
    for (int topic = 0; topic <= 8; ++topic) {
        testing::TestRun run(questions, answers);
        run.begin(QString::number(topic));
        testing::TestStep step = run.setUp();
        int shown = 0;
        while (step.kind == testing::TestStep::Show) {
            ++shown;
            QVERIFY(!step.display.question.isEmpty());
            std::array<bool, 5> right{};
            for (int i = 0; i < 5; ++i) {
                QVERIFY(step.display.options[static_cast<size_t>(i)].size() > 9);
                right[static_cast<size_t>(i)] = answers.cells(3, run.AnswerRow + i) == u"1";
            }
            step = run.next(right);
        }
        QVERIFY2(step.kind == testing::TestStep::Finish, qPrintable(step.message));
        QVERIFY(shown >= (topic == 0 ? testing::TestRun::kGeneralCount : 1));
        QCOMPARE(step.percent, 100);
    }
}

QTEST_APPLESS_MAIN(TestTestRun)
#include "tst_testrun.moc"
