#pragma once

#include "testing/Banks.h"

#include <QString>
#include <QVector>
#include <array>
#include <functional>
#include <memory>
#include <random>

namespace testing {

// The pseudo-random generator of the general test. Tests replace it.
class TestRandom
{
public:
    virtual ~TestRandom() = default;
    virtual void seed(quint32 seconds) = 0;
    // A uniform draw among 0 .. bound - 1 (bound > 0).
    virtual int bounded(int bound) = 0;
};

class MersenneTestRandom : public TestRandom
{
public:
    void seed(quint32 seconds) override { m_engine.seed(seconds); }
    int bounded(int bound) override
    {
        return std::uniform_int_distribution<int>(0, bound - 1)(m_engine);
    }

private:
    std::mt19937 m_engine;
};

// What the window shows for one question.
struct QuestionDisplay
{
    QString heading;                // "  Вопрос 2 из 20", from the first question on
    QString question;               // the question text
    std::array<QString, 5> options; // "   A.    " followed by option A, ...
};

// One answered question, as the review shows it.
struct AnsweredQuestion
{
    QString lecture, number; // the bank's keys of the question
    QString question;
    std::array<QString, 5> options{}; // the option texts, without the letters
    std::array<bool, 5> ticked{};
    std::array<bool, 5> right{};
    bool correct = false;
};

// A question named by its bank keys (lecture and number within it).
struct QuestionRef
{
    QString lecture, number;
    bool operator==(const QuestionRef &) const = default;
};

// The questions answered wrong, in the order asked.
QVector<QuestionRef> mistakesOf(const QVector<AnsweredQuestion> &answers);

// The outcome of a set-up or of "Далее".
struct TestStep
{
    enum Kind {
        Show,   // show `display`
        Finish, // the test is over: `percent` right
        Fail,   // the test cannot go on: show `message` and close
    };
    Kind kind = Fail;
    QuestionDisplay display;
    int percent = 0;
    QString message;
};

// One test over the two bank tables: the general test ("0") of twenty drawn
// questions, or the questions of one lecture in bank order from its
// question 1. Scoring is all or nothing per question.
class TestRun
{
public:
    static constexpr int kGeneralCount = 20;

    TestRun(const StringGrid &questions, const StringGrid &answers);

    // Clears the counters and remembers the topic; run before the banks are
    // (re)loaded. Until setUp succeeds, next() refuses to score.
    void begin(const QString &topic);
    // Clears the counters for a run of just these questions, in this order
    // (the learner's mistakes). Such a run has no topic and is not recorded:
    // RecordedTopic stays empty.
    void beginRetry(const QVector<QuestionRef> &questions);
    bool isRetry() const { return !m_retry.isEmpty(); }
    // Draws or finds the first question, once the banks are loaded.
    TestStep setUp();
    // "Далее": scores the shown question with the ticks of options A to E,
    // then gives the next question or the end of the test.
    TestStep next(const std::array<bool, 5> &ticks);
    // The set-up stopped (the banks could not be loaded): nothing is shown.
    void abandon() { m_ready = false; }
    bool isRunning() const { return m_ready; }

    void setRandom(std::unique_ptr<TestRandom> random) { m_random = std::move(random); }
    // Seconds of the clock that seed the generator.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    // The share of right answers in whole per cent, truncated: division in
    // extended precision before the multiplication.
    static int percent(int right, int answered);

    QString Topic;
    QString RecordedTopic;
    int RightCount = 0;
    int AnsweredCount = 0;
    int QuestionRow = 0;
    int AnswerRow = 0;
    int LectureQuestionNo = 0;
    int Mismatches = 0;
    std::array<int, kGeneralCount> ChosenRows{};
    int NextChosen = 1;
    // Every scored question of the run, in the order asked.
    QVector<AnsweredQuestion> Answers;

private:
    bool isGeneral() const { return Topic == u"0"; }
    TestStep generalSetUp();
    TestStep lectureSetUp();
    TestStep retryStep();
    // Finds the options of a question and builds its display; Fail when the
    // answer bank lacks them.
    // total: the questions of the run, shown as "Вопрос N из total".
    TestStep showQuestion(int row, const QString &lecture, const QString &number, int total);
    void score(const std::array<bool, 5> &ticks);
    TestStep finish();
    TestStep fail(const QString &message);

    const StringGrid &m_questions;
    const StringGrid &m_answers;
    std::unique_ptr<TestRandom> m_random;
    std::function<qint64()> m_clock;
    bool m_ready = false;
    QVector<QuestionRef> m_retry;
    int m_questionRow = 0; // the question shown, for the review
    int m_total = 0;       // a lecture test's questions
};

} // namespace testing
