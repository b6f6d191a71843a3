// The review of a finished test: what the run keeps of each answer, the
// repetition of mistakes, the section list, and the review window with its
// links into the lectures.
#include "common/ReaderParts.h"
#include "common/Clicks.h"
#include "common/CourseFolder.h"
#include "common/TestWindowParts.h"
#include "common/ReviewParts.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "reader/ReaderWindow.h"
#include "screens/HomeScreen.h"
#include "testing/Banks.h"
#include "testing/QuestionSections.h"
#include "testing/ReviewWindow.h"
#include "testing/TestRun.h"
#include "testing/TestWindow.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QStyleHints>
#include <QTimer>
#include <QWindow>

namespace {

const QString kData = QStringLiteral(TARVEL_TEST_DATA "/testing/");

// Lecture 1 of the fixture banks: the right options, and what the learner
// ticks (questions 2, 4 and 6 wrong: 4 of 7).
const QStringList kRight{"10000", "01000", "10100", "00000", "00010", "11111", "00001"};
const QStringList kGiven{"10000", "10000", "10100", "01000", "00010", "11110", "00001"};

std::array<bool, 5> ticks(const QString &pattern)
{
    std::array<bool, 5> t{};
    for (int i = 0; i < 5; ++i)
        t[size_t(i)] = pattern.at(i) == u'1';
    return t;
}

void answer(const QString &pattern)
{
    const std::array<QCheckBox *, 5> boxes{parts::test::CheckBox1(), parts::test::CheckBox2(),
                                           parts::test::CheckBox3(), parts::test::CheckBox4(),
                                           parts::test::CheckBox5()};
    for (size_t i = 0; i < 5; ++i)
        boxes[i]->setChecked(pattern.at(qsizetype(i)) == u'1');
    QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
}

QList<QFrame *> cards()
{
    QList<QFrame *> list;
    for (QFrame *frame : frmReview->findChildren<QFrame *>())
        if (frame->property("card").toBool())
            list << frame;
    std::sort(list.begin(), list.end(), [](QFrame *a, QFrame *b) {
        return a->objectName().mid(8).toInt() < b->objectName().mid(8).toInt();
    });
    return list;
}

} // namespace

class TestReview : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void runKeepsEveryAnswerAndRetriesMistakes();
    void sectionList_data();
    void sectionList();
    void reviewListsTheRunAndLeadsToTheSection();
    void mistakesAgainAreNotStored();
    void doubleClickOnCloseStaysOffTheHomeScreen();

private:
    testsupport::CourseFolder m_course;
    QTimer m_watch;
    int m_homeShown = 0;
    // What to do in each showing of the review, in turn; none: close it.
    QList<std::function<void()>> m_inReview;
    int m_reviewShown = 0;
    // What to do in each showing of the test window, in turn.
    QList<std::function<void()>> m_inTest;
    // What to do in each showing of the home screen, before it is closed.
    QList<std::function<void()>> m_inHome;
};

void TestReview::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(m_course.enter());
    QVERIFY(testsupport::copyTree(QStringLiteral(TARVEL_COURSE_DIR "/lections"), "lections"));
    QVERIFY(testsupport::copyTree(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), "pictures"));
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    m_watch.setInterval(5);
    connect(&m_watch, &QTimer::timeout, this, [this] {
        if (frmIntro && frmIntro->isShowingModal()) {
            ++m_homeShown;
            if (!m_inHome.isEmpty())
                m_inHome.takeFirst()();
            frmIntro->closeScreen();
        }
        if (frmTest && frmTest->isShowingModal() && frmTest->isVisible() && !m_inTest.isEmpty()) {
            const auto action = m_inTest.takeFirst();
            action();
            if (frmTest->isShowingModal())
                frmTest->closeScreen();
        }
        if (frmReview && frmReview->isShowingModal() && frmReview->isVisible()) {
            ++m_reviewShown;
            const auto action = m_inReview.isEmpty() ? std::function<void()>() : m_inReview.takeFirst();
            if (action)
                action();
            if (frmReview->isShowingModal())
                frmReview->closeScreen();
        }
    });
}

void TestReview::init()
{
    for (const char *name : {"dect.chh", "questions.qzt", "ansvers.qzt"}) {
        QVERIFY(m_course.copyFile(kData + QString::fromLatin1(name), QString::fromLatin1(name)));
    }
    // Sections of lecture 1's questions; question 4 has none listed.
    QFile sections(QStringLiteral("questions.sec"));
    QVERIFY(sections.open(QIODevice::WriteOnly | QIODevice::Truncate));
    sections.write("1 1 1.1\n1 2 1.3\n1 3 1.3\n1 5 1.4\n1 6 1.4\n1 7 1.5\n");
    sections.close();
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
    frmMain->show();
    frmMain->FormActivate();
    frmMain->resize(1024, 700);
    m_homeShown = 0;
    m_reviewShown = 0;
    m_inReview.clear();
    m_inTest.clear();
    m_inHome.clear();
    m_course.catchMessages();
    m_watch.start();
}

void TestReview::cleanup()
{
    m_watch.stop();
    destroyWindowSet();
}

void TestReview::runKeepsEveryAnswerAndRetriesMistakes()
{
    testing::StringGrid questions{3}, answers{4};
    testing::LoadBanks(questions, answers);
    testing::TestRun run(questions, answers);
    run.begin(QStringLiteral("1"));
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    testing::TestStep step;
    for (const QString &given : kGiven)
        step = run.next(ticks(given));
    QCOMPARE(step.kind, testing::TestStep::Finish);
    QCOMPARE(step.percent, 57);

    QCOMPARE(run.Answers.size(), 7);
    const testing::AnsweredQuestion &second = run.Answers[1];
    QCOMPARE(second.lecture, QStringLiteral("1"));
    QCOMPARE(second.number, QStringLiteral("2"));
    QCOMPARE(second.question, QStringLiteral("Сколько бит в байте?"));
    QCOMPARE(second.options[0], QStringLiteral("Вариант A к вопросу 1.2"));
    QCOMPARE(second.options[4], QStringLiteral("Вариант E к вопросу 1.2"));
    QVERIFY(second.ticked == ticks(kGiven[1]));
    QVERIFY(second.right == ticks(kRight[1]));
    QVERIFY(!second.correct);
    QVERIFY(run.Answers[0].correct && run.Answers[6].correct);
    const QVector<testing::QuestionRef> missed = testing::mistakesOf(run.Answers);
    QCOMPARE(missed, (QVector<testing::QuestionRef>{{"1", "2"}, {"1", "4"}, {"1", "6"}}));

    // Just the mistakes, in the order asked, counted out of their number.
    run.beginRetry(missed);
    QVERIFY(run.isRetry());
    QVERIFY(run.RecordedTopic.isEmpty());
    step = run.setUp();
    QCOMPARE(step.display.heading, QStringLiteral("  Вопрос 1 из 3"));
    QCOMPARE(step.display.question, QStringLiteral("Сколько бит в байте?"));
    step = run.next(ticks(kRight[1]));
    QCOMPARE(step.display.heading, QStringLiteral("  Вопрос 2 из 3"));
    QCOMPARE(step.display.question, QStringLiteral("Какая доля 10% от 1 Кбайт, в битах?"));
    step = run.next(ticks(kRight[3]));
    step = run.next(ticks("00000"));
    QCOMPARE(step.kind, testing::TestStep::Finish);
    QCOMPARE(step.percent, 66);
    QCOMPARE(testing::mistakesOf(run.Answers), (QVector<testing::QuestionRef>{{"1", "6"}}));

    // A question the bank no longer has stops the run with a reason.
    run.beginRetry({{"1", "2"}, {"9", "9"}});
    QCOMPARE(run.setUp().kind, testing::TestStep::Show);
    step = run.next(ticks(kRight[1]));
    QCOMPARE(step.kind, testing::TestStep::Fail);
    QVERIFY(step.message.contains(QStringLiteral("вопроса 9 лекции 9")));

    // A new test starts with nothing kept.
    run.begin(QStringLiteral("1"));
    QVERIFY(run.Answers.isEmpty() && !run.isRetry());
}

void TestReview::sectionList_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("lecture");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("mark");

    QTest::newRow("a line") << QByteArray("3 7 3.4\n") << "3" << "7" << "3.4";
    QTest::newRow("CR LF, blanks around") << QByteArray("  3  7  3.4 \r\n1 1 1.1") << "3" << "7" << "3.4";
    QTest::newRow("the last line without a break") << QByteArray("1 1 1.1\n3 7 3.4") << "3" << "7"
                                                    << "3.4";
    QTest::newRow("a later line for the same question wins")
        << QByteArray("3 7 3.4\n3 7 3.5\n") << "3" << "7" << "3.5";
    QTest::newRow("not listed") << QByteArray("3 7 3.4\n") << "3" << "8" << "";
    QTest::newRow("too few fields") << QByteArray("3 7\n") << "3" << "7" << "";
    QTest::newRow("too many fields") << QByteArray("3 7 3.4 x\n") << "3" << "7" << "";
    QTest::newRow("not numbers") << QByteArray("три 7 3.4\n") << "три" << "7" << "";
    QTest::newRow("binary") << QByteArray("\0\xff\xfe 7 3.4\n", 11) << "3" << "7" << "";
    QTest::newRow("empty") << QByteArray() << "3" << "7" << "";
}

void TestReview::sectionList()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, lecture);
    QFETCH(QString, number);
    QFETCH(QString, mark);
    testing::QuestionSections sections;
    sections.parse(file);
    QCOMPARE(sections.markOf({lecture, number}), mark);

    // From a file; a missing one lists nothing.
    QFile f(QStringLiteral("sections.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(file);
    f.close();
    sections.load(QStringLiteral("sections.txt"));
    QCOMPARE(sections.markOf({lecture, number}), mark);
    sections.load(QStringLiteral("no such file"));
    QVERIFY(sections.isEmpty());
}

void TestReview::reviewListsTheRunAndLeadsToTheSection()
{
    frmMain->ShowTestTopics();
    QString score;
    QStringList verdicts, links;
    bool testWindowGone = false, reviewInFront = false;
    m_inReview << [&] {
        // The finished test no longer stands over the review: its links
        // can be reached.
        testWindowGone = !frmTest->isVisible() && !frmTest->isShowingModal();
        reviewInFront = QApplication::activeModalWidget() == frmReview;
        score = parts::review::lblScore()->text();
        for (QFrame *card : cards()) {
            verdicts << (card->property("wrong").toBool() ? "неверно" : "верно");
            const auto buttons = card->findChildren<QPushButton *>();
            links << (buttons.isEmpty() ? QString() : buttons[0]->text());
        }
        // Question 2's ticks and right option are told apart.
        QStringList lines;
        for (QLabel *label : cards()[1]->findChildren<QLabel *>())
            lines << label->text();
        QVERIFY(lines.join('\n').contains(QStringLiteral("Сколько бит в байте?")));
        QVERIFY(lines.join('\n').contains(QStringLiteral("☑&nbsp;&nbsp;A. Вариант A к вопросу 1.2 — отмечен ошибочно")));
        QVERIFY(lines.join('\n').contains(QStringLiteral("☐&nbsp;&nbsp;B. Вариант B к вопросу 1.2</b> — верный вариант")));
        QVERIFY(parts::review::btnRetry()->isVisible());
        cards()[1]->findChild<QPushButton *>()->click();
    };
    QTimer::singleShot(0, frmTest, [&] {
        for (const QString &given : kGiven)
            if (frmTest->isShowingModal())
                answer(given);
    });
    frmMain->RichView1Jump(1);

    QCOMPARE(m_reviewShown, 1);
    QVERIFY(testWindowGone);
    QCOMPARE(m_course.messages, QStringList{"Тест завершён, правильных ответов: 57 %"});
    QVERIFY(reviewInFront);
    QCOMPARE(score, QStringLiteral("4 из 7"));
    QCOMPARE(verdicts, (QStringList{"верно", "неверно", "верно", "неверно", "верно", "неверно", "верно"}));
    QCOMPARE(links, (QStringList{"", "Перечитать раздел 1.3", "", "Перечитать лекцию 1", "",
                                 "Перечитать раздел 1.4", ""}));
    // The result is stored as ever; the link took the learner to the
    // section instead of the home screen.
    QCOMPARE(frmMain->XML().testRecords(0).size(), 1);
    QVERIFY(!frmTest->isVisible());
    QCOMPARE(m_homeShown, 0);
    QVERIFY(!frmMain->state().TopicMode());
    QCOMPARE(frmMain->state().CurrentPage(), 1);
    QVERIFY2(frmMain->sectionInView().startsWith(QStringLiteral("1.3 ")),
             qPrintable(frmMain->sectionInView()));
    QCOMPARE(frmMain->history().back().GetKind(), int(hkPage));
}

void TestReview::mistakesAgainAreNotStored()
{
    frmMain->ShowTestTopics();
    QString retryHeading, secondScore, secondNote;
    bool retryOffered = true;
    m_inReview << [] { QTest::mouseClick(parts::review::btnRetry(), Qt::LeftButton); }
               << [&] {
                      secondScore = parts::review::lblScore()->text();
                      retryOffered = parts::review::btnRetry()->isVisible();
                      secondNote = parts::review::subtitle()->text();
                  };
    m_inTest << [&] {
        for (const QString &given : kGiven)
            answer(given);
    } << [&] {
        // The same window comes again with the three mistakes.
        retryHeading = parts::test::RichView1()->document().items.value(1).text;
        for (int k : {1, 3, 5})
            if (frmTest->isShowingModal())
                answer(kRight[k]);
    };
    frmMain->RichView1Jump(1);
    QVERIFY(m_inTest.isEmpty());

    QCOMPARE(retryHeading, QStringLiteral("  Вопрос 1 из 3"));
    QCOMPARE(m_course.messages, (QStringList{"Тест завершён, правильных ответов: 57 %",
                                      "Тест завершён, правильных ответов: 100 %"}));
    QCOMPARE(m_reviewShown, 2);
    QCOMPARE(secondScore, QStringLiteral("3 из 3"));
    QVERIFY(!retryOffered);
    QVERIFY(secondNote.contains(QStringLiteral("в статистику не записывается")));
    // Only the real test is in the statistics, in the file as in memory.
    QCOMPARE(frmMain->XML().testRecords(0).size(), 1);
    learners::CourseData stored;
    stored.LoadCourseData();
    QCOMPARE(stored.testRecords(0).size(), 1);
    QCOMPARE(stored.testRecords(0)[0].right, QStringLiteral("57"));
    // Closing the review leads home as a test always did.
    QCOMPARE(m_homeShown, 1);
}

// A double click on the review's "Закрыть": the first click closes it, the
// second lands on the home screen that comes up (where "Выход" may lie) and
// must do nothing there. A click after the double-click interval does reach it.
void TestReview::doubleClickOnCloseStaysOffTheHomeScreen()
{
    frmMain->ShowTestTopics();
    int t0 = 0;
    int early = -1, late = -1;
    m_inReview << [&] {
        t0 = testsupport::nextClickTime();
        QPushButton *close = parts::review::btnClose();
        testsupport::clickAt(frmReview->windowHandle(), close->mapTo(frmReview, close->rect().center()), t0);
    };
    m_inHome << [&] {
        QWidget *home = frmIntro;
        const QPoint at = home->rect().center();
        QWidget *target = home->childAt(at) ? home->childAt(at) : home;
        testsupport::PressCounter counter;
        target->installEventFilter(&counter);
        home->winId();
        testsupport::clickAt(home->windowHandle(), at, t0 + 150);
        early = counter.presses;
        testsupport::clickAt(home->windowHandle(), at,
                             t0 + 200 + 2 * QGuiApplication::styleHints()->mouseDoubleClickInterval());
        late = counter.presses;
        target->removeEventFilter(&counter);
    };
    m_inTest << [] {
        for (const QString &given : kGiven)
            answer(given);
    };
    frmMain->RichView1Jump(1);
    QCOMPARE(m_reviewShown, 1);
    QCOMPARE(m_homeShown, 1);
    QCOMPARE(early, 0);
    QCOMPARE(late, 1);
    QVERIFY(!frmMain->isClosing());
}

QTEST_MAIN(TestReview)
#include "tst_review.moc"
