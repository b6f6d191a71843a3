#include "testing/TestRun.h"

#include <QDateTime>
#include <algorithm>

namespace testing {

namespace {
// The correctness flag of a right option, and the number of a lecture's
// first question.
const QString kCorrect = QStringLiteral("1");
const QString kFirstNumber = QStringLiteral("1");
} // namespace

QVector<QuestionRef> mistakesOf(const QVector<AnsweredQuestion> &answers)
{
    QVector<QuestionRef> list;
    for (const AnsweredQuestion &q : answers)
        if (!q.correct)
            list.append({q.lecture, q.number});
    return list;
}

TestRun::TestRun(const StringGrid &questions, const StringGrid &answers)
    : m_questions(questions)
    , m_answers(answers)
    , m_random(std::make_unique<MersenneTestRandom>())
    , m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
{
}

void TestRun::begin(const QString &topic)
{
    RightCount = 0;
    AnsweredCount = 0;
    QuestionRow = 0;
    AnswerRow = 0;
    LectureQuestionNo = 0;
    Mismatches = 0;
    Topic = topic;
    RecordedTopic = topic;
    NextChosen = 1;
    Answers.clear();
    m_retry.clear();
    m_ready = false;
}

void TestRun::beginRetry(const QVector<QuestionRef> &questions)
{
    begin(QString());
    RecordedTopic.clear();
    m_retry = questions;
}

TestStep TestRun::retryStep()
{
    const int k = AnsweredCount;
    const QuestionRef &ref = m_retry[k];
    int row = 0;
    for (int r = 1; r < m_questions.RowCount; ++r) {
        if (m_questions.cells(0, r) == ref.lecture && m_questions.cells(1, r) == ref.number) {
            row = r;
            break;
        }
    }
    if (row == 0)
        return fail(QStringLiteral("В банке вопросов нет вопроса %1 лекции %2. Тест не может быть "
                                   "продолжен.")
                        .arg(ref.number, ref.lecture));
    TestStep step = showQuestion(row, ref.lecture, ref.number, int(m_retry.size()));
    if (step.kind == TestStep::Show)
        m_ready = true;
    return step;
}

TestStep TestRun::setUp()
{
    if (isRetry())
        return retryStep();
    return isGeneral() ? generalSetUp() : lectureSetUp();
}

TestStep TestRun::generalSetUp()
{
    const int n = m_questions.RowCount - 1;
    if (n < kGeneralCount)
        return fail(QStringLiteral("Для общего теста нужно не меньше %1 вопросов, а в банке вопросов "
                                   "их %2. Тест не может быть проведён.")
                        .arg(kGeneralCount)
                        .arg(std::max(n, 0)));

    m_random->seed(static_cast<quint32>(m_clock()));
    for (int k = 0; k < kGeneralCount; ++k) {
        int r = 0;
        do {
            r = 1 + m_random->bounded(n);
        } while (std::find(ChosenRows.begin(), ChosenRows.begin() + k, r) != ChosenRows.begin() + k);
        ChosenRows[static_cast<size_t>(k)] = r;
    }

    const int q = ChosenRows[0];
    TestStep step = showQuestion(q, m_questions.cells(0, q), m_questions.cells(1, q), kGeneralCount);
    if (step.kind == TestStep::Show)
        m_ready = true;
    return step;
}

TestStep TestRun::lectureSetUp()
{
    int q = 0;
    for (int row = 1; row < m_questions.RowCount; ++row) {
        if (m_questions.cells(0, row) == Topic && m_questions.cells(1, row) == kFirstNumber) {
            q = row;
            break;
        }
    }
    if (q == 0)
        return fail(QStringLiteral("В банке вопросов нет вопросов по этой теме. Тест не может быть "
                                   "проведён."));

    // The learner is told "N из M" from the first question on: the run ends
    // where the lecture's numbering stops, so M is known now.
    m_total = 0;
    for (int row = q; row < m_questions.RowCount && m_questions.cells(0, row) == Topic &&
                      m_questions.cells(1, row) == QString::number(m_total + 1);
         ++row)
        ++m_total;

    LectureQuestionNo = 1;
    TestStep step = showQuestion(q, Topic, QString::number(LectureQuestionNo), m_total);
    if (step.kind != TestStep::Show)
        return step;
    QuestionRow = q + 1;
    m_ready = true;
    return step;
}

TestStep TestRun::showQuestion(int row, const QString &lecture, const QString &number, int total)
{
    AnswerRow = 0;
    for (int r = 1; r < m_answers.RowCount; ++r) {
        if (m_answers.cells(0, r) == lecture && m_answers.cells(1, r) == number) {
            AnswerRow = r;
            break;
        }
    }
    // All five options must lie within the loaded answers; cells past the
    // table's end may hold another bank's leftovers.
    if (AnswerRow == 0 || AnswerRow + 4 >= m_answers.RowCount)
        return fail(QStringLiteral("В банке ответов нет пяти вариантов ответа на вопрос %1 лекции %2. "
                                   "Тест не может быть продолжен.")
                        .arg(number, lecture));

    m_questionRow = row;
    TestStep step;
    step.kind = TestStep::Show;
    step.display.heading = QStringLiteral("  Вопрос ") + QString::number(AnsweredCount + 1);
    step.display.heading += QStringLiteral(" из ") + QString::number(total);
    step.display.question = m_questions.cells(2, row);
    static const char *const kPrefixes[5] = {"   A.    ", "   B.    ", "   C.    ", "   D.    ",
                                             "   E.    "};
    for (int i = 0; i < 5; ++i)
        step.display.options[static_cast<size_t>(i)] =
            QLatin1String(kPrefixes[i]) + m_answers.cells(2, AnswerRow + i);
    return step;
}

void TestRun::score(const std::array<bool, 5> &ticks)
{
    Mismatches = 0;
    for (int i = 0; i < 5; ++i)
        if (m_answers.cells(3, AnswerRow + i) == kCorrect)
            ++Mismatches;
    for (int i = 0; i < 5; ++i) {
        const bool ticked = ticks[static_cast<size_t>(i)];
        if (ticked && m_answers.cells(3, AnswerRow + i) == kCorrect)
            --Mismatches;
        else if (ticked)
            ++Mismatches;
    }
    AnsweredQuestion answered;
    answered.lecture = m_answers.cells(0, AnswerRow);
    answered.number = m_answers.cells(1, AnswerRow);
    answered.question = m_questions.cells(2, m_questionRow);
    for (size_t i = 0; i < 5; ++i) {
        answered.options[i] = m_answers.cells(2, AnswerRow + int(i));
        answered.ticked[i] = ticks[i];
        answered.right[i] = m_answers.cells(3, AnswerRow + int(i)) == kCorrect;
    }
    answered.correct = Mismatches == 0;
    Answers.append(answered);
    if (Mismatches == 0)
        ++RightCount;
    Mismatches = 0;
    ++AnsweredCount;
}

TestStep TestRun::next(const std::array<bool, 5> &ticks)
{
    if (!m_ready)
        return fail(QStringLiteral("Тест не загружен. Окно теста будет закрыто."));

    score(ticks);

    if (isRetry()) {
        if (AnsweredCount == m_retry.size())
            return finish();
        return retryStep();
    }

    if (isGeneral()) {
        if (AnsweredCount == kGeneralCount)
            return finish();
        const int q = ChosenRows[static_cast<size_t>(NextChosen)];
        TestStep step = showQuestion(q, m_questions.cells(0, q), m_questions.cells(1, q), kGeneralCount);
        ++NextChosen;
        return step;
    }

    // The lecture's questions follow one another in the bank; the test ends
    // at the first row that is not the next one.
    bool isNext = false;
    if (QuestionRow < m_questions.RowCount && m_questions.cells(0, QuestionRow) == Topic) {
        ++LectureQuestionNo;
        isNext = m_questions.cells(1, QuestionRow) == QString::number(LectureQuestionNo);
    }
    if (!isNext)
        return finish();
    TestStep step = showQuestion(QuestionRow, Topic, QString::number(LectureQuestionNo), m_total);
    if (step.kind != TestStep::Show)
        return step;
    ++QuestionRow;
    return step;
}

TestStep TestRun::finish()
{
    m_ready = false;
    TestStep step;
    step.kind = TestStep::Finish;
    step.percent = percent(RightCount, AnsweredCount);
    return step;
}

TestStep TestRun::fail(const QString &message)
{
    m_ready = false;
    TestStep step;
    step.kind = TestStep::Fail;
    step.message = message;
    return step;
}

int TestRun::percent(int right, int answered)
{
    if (answered <= 0)
        return 0;
    const long double share = static_cast<long double>(right) / static_cast<long double>(answered);
    return static_cast<int>(share * 100.0L);
}

} // namespace testing
