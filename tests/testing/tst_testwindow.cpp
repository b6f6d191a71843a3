#include "common/Clicks.h"
#include "common/CourseFolder.h"
#include "common/TestWindowParts.h"
#include "common/ReaderParts.h"
#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "learners/CourseData.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "core/LineCodec.h"
#include "testing/ReviewWindow.h"
#include "testing/TestWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QProcess>
#include <QStyleHints>
#include <QWindow>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kData = QStringLiteral(TARVEL_TEST_DATA "/testing/");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString itemText(int i)
{
    const auto &items = parts::test::RichView1()->document().items;
    return i < items.size() ? items[i].text : QStringLiteral("<no item %1>").arg(i);
}

void tick(const QString &pattern)
{
    const QList<QCheckBox *> boxes{parts::test::CheckBox1(), parts::test::CheckBox2(), parts::test::CheckBox3(),
                                   parts::test::CheckBox4(), parts::test::CheckBox5()};
    for (int i = 0; i < 5; ++i) {
        if (pattern[i] != u'1')
            continue;
        // Alternate mouse and keyboard: both must work.
        if (i % 2)
            QTest::mouseClick(boxes[i], Qt::LeftButton);
        else
            QTest::keyClick(boxes[i], Qt::Key_Space);
    }
}

// A key as a keyboard layout gives it: its code and its text.
void typeKey(Qt::Key key, const QString &text)
{
    QWidget *target = frmTest->focusWidget() ? frmTest->focusWidget() : frmTest;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

} // namespace

class TestTestWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void topicPage();
    void singleLectureTestStoresItsResult();
    void keyboardAnswersStartAtA();
    void nextQuestionIsToldWhereFocusStays();
    void runsThatStoreNothing_data();
    void runsThatStoreNothing();
    void banksAreParsedOncePerRun();
    void onePressAnswersOneQuestion_data();
    void onePressAnswersOneQuestion();
    void bankErrorShowsNoOldQuestion();
    void closingMidTestAsksFirst();
    void optionTextTicksItsBox();
    void resultIsStoredBeforeTheMessage_data();
    void resultIsStoredBeforeTheMessage();

private:
    // Closes the home screen whenever the test window brings it up.
    void watchHome();

    testsupport::CourseFolder m_course;
    QTimer m_homeWatch;
    int m_homeShown = 0;
};

void TestTestWindow::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(m_course.enter());
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    m_homeWatch.setInterval(5);
    connect(&m_homeWatch, &QTimer::timeout, this, [this] {
        if (frmIntro && frmIntro->isShowingModal()) {
            ++m_homeShown;
            frmIntro->closeScreen();
        }
        // The review that follows a finished test, closed unread.
        if (frmReview && frmReview->isShowingModal())
            frmReview->closeScreen();
    });
}

void TestTestWindow::init()
{
    for (const char *name : {"dect.chh", "questions.qzt", "ansvers.qzt"}) {
        QVERIFY(m_course.copyFile(kData + QString::fromLatin1(name), QString::fromLatin1(name)));
    }
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
    m_homeShown = 0;
    m_course.catchMessages();
    m_homeWatch.start();
}

void TestTestWindow::cleanup()
{
    m_homeWatch.stop();
    destroyWindowSet();
}

void TestTestWindow::topicPage()
{
    frmMain->state().setTopicMode(false);
    frmMain->ShowTestTopics();
    QVERIFY(frmMain->state().TopicMode());

    struct Row
    {
        QString text;
        int style, para, tag;
    };
    const QList<Row> expected{
        {"По какой теме вы желаете выполнить тест?", 2, 2, 0},
        {"", 2, 2, 0},
        {"ОБЩИЙ", 12, 1, 0},
        {"", 2, 2, 0},
        {"1.  Информация", 4, 1, 1},
        {"", 2, 2, 0},
        {"2.  Системы счисления", 4, 1, 2},
        {"", 2, 2, 0},
        {"7.  Логика", 4, 1, 3},
    };
    const auto &items = parts::RichView1()->document().items;
    QCOMPARE(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i].text, expected[i].text);
        QCOMPARE(items[i].styleNo, expected[i].style);
        QCOMPARE(items[i].paraNo, expected[i].para);
        QCOMPARE(items[i].tag, expected[i].tag);
        QCOMPARE(items[i].start, richtext::RVItem::Start::NewParagraph);
    }

    // The entry labelled 7 stands at position 3: its link tests topic "3",
    // which the banks have no questions for.
    frmMain->RichView1Jump(3);
    QCOMPARE(frmTest->Topic, QStringLiteral("3"));
    QCOMPARE(m_course.messages.size(), 1);
    QVERIFY(m_course.messages[0].contains(QStringLiteral("нет вопросов")));
    QCOMPARE(m_homeShown, 1);
    QVERIFY(!frmTest->isVisible());
    // The topic page stays, and so does topic mode.
    QCOMPARE(parts::RichView1()->document().items.size(), expected.size());
    QVERIFY(frmMain->state().TopicMode());
}

void TestTestWindow::singleLectureTestStoresItsResult()
{
    frmMain->ShowTestTopics();
    const QByteArray before = readAll(QStringLiteral("dect.chh"));

    // Lecture 1 has seven questions, then lecture 2 begins. Right on
    // questions 1, 3, 5 and 7: 4 of 7 is 57 %.
    const QStringList correct{"10000", "01000", "10100", "00000", "00010", "11111", "00001"};
    const QStringList given{"10000", "10000", "10100", "01000", "00010", "11110", "00001"};
    const QStringList questions{"Что такое бит?",
                                "Сколько бит в байте?",
                                "Какие из единиц больше килобайта?",
                                "Какая доля 10% от 1 Кбайт, в битах?",
                                "Что измеряют в бит/с?",
                                "Какие из утверждений верны?",
                                "Сколько символов в алфавите мощностью 2^5?"};
    int answered = 0;
    bool windowUp = false;
    QTimer::singleShot(0, frmTest, [&] {
        windowUp = frmTest->isVisible() && frmTest->isShowingModal() &&
                   frmTest->windowTitle() == QStringLiteral("Прохождение теста...") &&
                   frmTest->size() == QSize(709, 498) &&
                   parts::test::RichView1()->size() == QSize(701, 417) &&
                   parts::test::CheckBox5()->text() == u"E" && parts::test::Button1()->text() == u"Далее";
        for (int k = 1; k <= 7; ++k) {
            if (parts::test::RichView1()->document().items.size() != 15)
                break;
            if (itemText(1) != QStringLiteral("  Вопрос %1 из 7").arg(k) || itemText(3) != questions[k - 1] ||
                itemText(5) != QStringLiteral("   A.    Вариант A к вопросу 1.%1").arg(k) ||
                itemText(13) != QStringLiteral("   E.    Вариант E к вопросу 1.%1").arg(k))
                break;
            // The boxes start unticked for every question.
            if (parts::test::CheckBox1()->isChecked() || parts::test::CheckBox5()->isChecked())
                break;
            tick(given[k - 1]);
            ++answered;
            if (k % 2)
                QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
            else
                QTest::keyClick(parts::test::CheckBox1(), Qt::Key_Return); // the default button
            if (k < 7 && m_course.messages.size() > 0)
                break;
        }
        if (frmTest->isShowingModal())
            frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);

    QVERIFY(windowUp);
    QCOMPARE(answered, 7);
    QCOMPARE(m_course.errors, QStringList());
    QCOMPARE(m_course.messages, QStringList{"Тест завершён, правильных ответов: 57 %"});
    QCOMPARE(m_homeShown, 1);
    QVERIFY(!frmTest->isVisible());
    QCOMPARE(frmTest->Run.AnsweredCount, 7);
    QCOMPARE(frmTest->Run.RightCount, 4);
    QVERIFY(readAll(QStringLiteral("dect.chh")) != before);

    // The record reached the file.
    learners::CourseData stored(m_course.filePath(QStringLiteral("dect.chh")));
    stored.LoadCourseData();
    const auto records = stored.testRecords(0);
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].number, QStringLiteral("1"));
    QCOMPARE(records[0].right, QStringLiteral("57"));
    QVERIFY(records[0].date.endsWith(u'\n'));
    QCOMPARE(records[0].date.size(), 25);
    // Its fourth field, after number, date and right, is the time spent.
    QVERIFY(QString::fromUtf8(stored.serialize())
                .contains(QStringLiteral("<right>57</right><time>не определено</time></one>")));

    // The topic page is still there; another entry starts another test.
    QVERIFY(frmMain->state().TopicMode());
    QTimer::singleShot(0, frmTest, [&] {
        if (itemText(1) == QStringLiteral("  Вопрос 1 из 2") && !parts::test::CheckBox1()->isChecked())
            tick("10000");
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // lecture 2, question 1
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // question 2, unticked: wrong
        if (frmTest->isShowingModal())
            frmTest->closeScreen();
    });
    frmMain->RichView1Jump(2);
    QCOMPARE(m_course.messages.last(), QStringLiteral("Тест завершён, правильных ответов: 50 %"));
    QCOMPARE(frmMain->XML().testRecords(0).size(), 2);
    QCOMPARE(frmMain->XML().testRecords(0).last().number, QStringLiteral("2"));
}

void TestTestWindow::keyboardAnswersStartAtA()
{
    frmMain->ShowTestTopics();
    QStringList focusAfterNext;
    QStringList descriptions;
    bool ticked = false;
    QTimer::singleShot(0, frmTest, [&] {
        descriptions << parts::test::CheckBox1()->accessibleDescription();
        parts::test::Button1()->setFocus();
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // question 2
        focusAfterNext << (frmTest->focusWidget() ? frmTest->focusWidget()->objectName() : QString());
        descriptions << parts::test::CheckBox5()->accessibleDescription();
        // Space ticks the answer that has the keyboard.
        QTest::keyClick(frmTest->focusWidget(), Qt::Key_Space);
        ticked = parts::test::CheckBox1()->isChecked();
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QCOMPARE(focusAfterNext, QStringList{"CheckBox1"});
    // A screen reader on a box reads its option.
    // On A the question comes first: number, text, that several answers may
    // be ticked, then the option.
    QCOMPARE(descriptions.size(), 2);
    QVERIFY2(descriptions[0].startsWith(QStringLiteral("Вопрос 1 из 7. Что такое бит? ")), qPrintable(descriptions[0]));
    QVERIFY2(descriptions[0].endsWith(QStringLiteral(" Можно отметить несколько ответов. A. Вариант A к вопросу 1.1")),
             qPrintable(descriptions[0]));
    QCOMPARE(descriptions[1], QStringLiteral("E. Вариант E к вопросу 1.2"));
    QVERIFY(ticked);
}

// Enter on A brings the next question while A keeps the focus: a screen
// reader reads nothing new for A then, so the question is told as a
// notification. From «Далее» the focus moves to A, which reads it.
void TestTestWindow::nextQuestionIsToldWhereFocusStays()
{
    frmMain->ShowTestTopics();
    QStringList told;
    bool toldFromNext = true;
    QTimer::singleShot(0, frmTest, [&] {
        const auto news = [] {
            auto *label = frmTest->findChild<QLabel *>(QStringLiteral("lblQuestionNews"));
            return label && label->isVisible() ? label->accessibleName() : QString();
        };
        parts::test::CheckBox1()->setFocus();
        QTest::keyClick(parts::test::CheckBox1(), Qt::Key_Space);
        QTest::keyClick(parts::test::CheckBox1(), Qt::Key_Return); // question 2
        told << news();
        if (auto *label = frmTest->findChild<QLabel *>(QStringLiteral("lblQuestionNews")))
            label->hide();
        parts::test::Button1()->setFocus();
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // question 3
        toldFromNext = !news().isEmpty();
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QCOMPARE(told.size(), 1);
    QVERIFY2(told[0].startsWith(QStringLiteral("Вопрос 2 из 7. ")) &&
                 told[0].endsWith(QStringLiteral(" Можно отметить несколько ответов.")),
             qPrintable(told[0]));
    QVERIFY(!toldFromNext);
    QCOMPARE(QAccessible::queryAccessibleInterface(frmTest->findChild<QLabel *>(QStringLiteral("lblQuestionNews")))
                 ->role(),
             QAccessible::Notification);
}

void TestTestWindow::runsThatStoreNothing_data()
{
    QTest::addColumn<QByteArray>("questionBank"); // empty: the fixture's
    QTest::addColumn<int>("topic");
    QTest::addColumn<int>("learner");
    QTest::addColumn<QString>("action"); // what the learner does in the window
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("loopRan");

    QTest::newRow("decoding error, then Далее")
        << QByteArray("0;MSAxINfy7iDy4Oru5SDh6PI/\r\n0;!!!\r\n") << 1 << 0 << "next"
        << "Coding table entry not found." << "Тест не загружен" << true;
    QTest::newRow("general test with nine questions")
        << QByteArray() << 0 << 0 << "" << "" << "не меньше 20 вопросов" << false;
    QTest::newRow("closed during the test") << QByteArray() << 1 << 0 << "close" << "" << "" << true;
    QTest::newRow("no learner to store under")
        << QByteArray() << 2 << 5 << "answer all" << "Результат теста не сохранён"
        << "Тест завершён, правильных ответов: 0 %" << true;
}

void TestTestWindow::runsThatStoreNothing()
{
    QFETCH(QByteArray, questionBank);
    QFETCH(int, topic);
    QFETCH(int, learner);
    QFETCH(QString, action);
    QFETCH(QString, error);
    QFETCH(QString, message);
    QFETCH(bool, loopRan);

    if (!questionBank.isEmpty()) {
        QFile f(QStringLiteral("questions.qzt"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(questionBank);
    }
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(learner).id);
    const QByteArray before = readAll(QStringLiteral("dect.chh"));

    bool ran = false;
    QTimer::singleShot(0, frmTest, [&] {
        ran = frmTest->isShowingModal();
        if (action == u"next") {
            QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
        } else if (action == u"close") {
            tick("10000");
            QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
            frmTest->close(); // the window's own close box
        } else if (action == u"answer all") {
            for (int i = 0; i < 5 && frmTest->isVisible(); ++i)
                QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
        }
        if (frmTest->isShowingModal())
            frmTest->closeScreen();
    });
    frmMain->StartTopicTest(topic);

    QCOMPARE(ran, loopRan);
    QCOMPARE(m_course.errors.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QVERIFY2(m_course.errors[0].contains(error), qPrintable(m_course.errors[0]));
    // The learner reads why in Russian.
    if (!error.isEmpty())
        QVERIFY2(m_course.errors[0].section(u'\n', 0, 0).contains(QRegularExpression("[А-Яа-яЁё]")),
                 qPrintable(m_course.errors[0]));
    QCOMPARE(m_course.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(m_course.messages[0].contains(message), qPrintable(m_course.messages[0]));
    // Closing mid-test asks first (answered Yes here); nothing else asks.
    QCOMPARE(m_course.questions.size(), action == u"close" ? 1 : 0);
    QCOMPARE(m_homeShown, 1);
    QVERIFY(!frmTest->isVisible());
    QCOMPARE(readAll(QStringLiteral("dect.chh")), before);
    QCOMPARE(frmMain->XML().testRecords(0).size(), 0);
}

// Each test run finds the banks in the tables already; only a bank file that
// has changed is read again.
void TestTestWindow::banksAreParsedOncePerRun()
{
    frmTest->LoadBanks();
    const QString first = frmTest->StringGrid1.cells(2, 1);
    QVERIFY(!first.isEmpty());

    // Other content of the same size and time: not read again.
    QFile file(QStringLiteral("questions.qzt"));
    const qint64 size = file.size();
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    QByteArray other = core::EncodeLine(QStringLiteral("1 1 Другой вопрос")).toLatin1() + "\n";
    other += QByteArray(size - other.size(), '\n');
    QVERIFY(file.resize(0));
    QCOMPARE(file.write(other), size);
    QVERIFY(file.flush()); // before the time is set back
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    frmTest->LoadBanks();
    QCOMPARE(frmTest->StringGrid1.cells(2, 1), first);

    // Changed: read again.
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(modified.addSecs(1), QFileDevice::FileModificationTime));
    file.close();
    frmTest->LoadBanks();
    QCOMPARE(frmTest->StringGrid1.cells(2, 1), QStringLiteral("Другой вопрос"));
    QCOMPARE(frmTest->StringGrid1.RowCount, 2);
}

// One press answers one question: the rest of a double or triple click and
// a held Enter's repeats must not score the next question unseen; a click
// after the double-click interval is a new answer.
void TestTestWindow::onePressAnswersOneQuestion_data()
{
    QTest::addColumn<QString>("burst");
    QTest::newRow("double click on Далее") << "double";
    QTest::newRow("triple click on Далее") << "triple";
    QTest::newRow("Enter held on a box") << "held Enter";
}

void TestTestWindow::onePressAnswersOneQuestion()
{
    QFETCH(QString, burst);
    frmMain->ShowTestTopics();
    QString shownAfter;
    int answeredAfterBurst = -1, answeredAfterPause = -1;
    QTimer::singleShot(0, frmTest, [&] {
        tick("10000");
        QWindow *window = frmTest->windowHandle();
        const QPoint at = parts::test::Button1()->mapTo(frmTest, parts::test::Button1()->rect().center());
        const int t0 = testsupport::nextClickTime();
        if (burst == u"double") {
            // As the window system delivers it: press, release, then a
            // press that Qt also makes a double click.
            QTest::mouseDClick(window, Qt::LeftButton, {}, at);
        } else if (burst == u"triple") {
            testsupport::clickAt(window, at, t0);
            testsupport::clickAt(window, at, t0 + 120);
            testsupport::clickAt(window, at, t0 + 240);
        } else {
            QWidget *box = frmTest->focusWidget();
            for (int i = 0; i < 12; ++i) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), i > 0);
                QApplication::sendEvent(box, &press);
            }
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            QApplication::sendEvent(box, &release);
        }
        shownAfter = itemText(1);
        answeredAfterBurst = frmTest->Run.AnsweredCount;
        // A deliberate click, well after the interval.
        testsupport::clickAt(window, at, t0 + 240 + 2 * QGuiApplication::styleHints()->mouseDoubleClickInterval());
        answeredAfterPause = frmTest->Run.AnsweredCount;
        if (frmTest->isShowingModal())
            frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QCOMPARE(answeredAfterBurst, 1);
    QCOMPARE(shownAfter, QStringLiteral("  Вопрос 2 из 7"));
    QCOMPARE(answeredAfterPause, 2);
    QCOMPARE(frmMain->XML().testRecords(0).size(), 0);
}

// A test that could not load its banks shows nothing of the test before
// it, and nothing can be ticked.
void TestTestWindow::bankErrorShowsNoOldQuestion()
{
    frmMain->ShowTestTopics();
    QTimer::singleShot(0, frmTest, [] {
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // on to question 2
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);

    QFile bank(QStringLiteral("questions.qzt"));
    QVERIFY(bank.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bank.write("0;MSAxINfy7iDy4Oru5SDh6PI/\r\n0;!!!\r\n");
    bank.close();
    QStringList shown;
    bool boxesLive = true;
    QTimer::singleShot(0, frmTest, [&] {
        for (const auto &item : parts::test::RichView1()->document().items)
            shown << item.text;
        boxesLive = parts::test::CheckBox1()->isEnabled() || parts::test::CheckBox5()->isEnabled();
        QTest::keyClick(parts::test::CheckBox1(), Qt::Key_Space);
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QCOMPARE(m_course.errors.size(), 1);
    QVERIFY2(!shown.join(u'|').contains(QStringLiteral("Вопрос 2")), qPrintable(shown.join(u'|')));
    QVERIFY2(!shown.join(u'|').contains(QStringLiteral("Сколько бит")), qPrintable(shown.join(u'|')));
    QVERIFY(!boxesLive);
    QVERIFY(!parts::test::CheckBox1()->isChecked());

    // Mended banks: the next test is live again.
    QVERIFY(m_course.copyFile(kData + QStringLiteral("questions.qzt"), QStringLiteral("questions.qzt")));
    QTimer::singleShot(0, frmTest, [&] {
        boxesLive = parts::test::CheckBox1()->isEnabled() && parts::test::CheckBox5()->isEnabled();
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QVERIFY(boxesLive);
}

// Alt+F4 or the title bar mid-test asks before the answers are dropped; a
// finished test closes without a word.
void TestTestWindow::closingMidTestAsksFirst()
{
    frmMain->ShowTestTopics();
    bool stayed = false;
    QString heading;
    QTimer::singleShot(0, frmTest, [&] {
        tick("10000");
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
        m_course.answer = false; // "Нет": the learner goes on
        frmTest->close();
        stayed = frmTest->isVisible() && frmTest->isShowingModal();
        heading = itemText(1);
        m_course.answer = true;
        for (int k = 2; k <= 7 && frmTest->isShowingModal(); ++k)
            QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
        if (frmTest->isShowingModal())
            frmTest->close();
    });
    frmMain->RichView1Jump(1);
    QVERIFY(stayed);
    QCOMPARE(heading, QStringLiteral("  Вопрос 2 из 7"));
    QCOMPARE(m_course.questions.size(), 1);
    QVERIFY(m_course.questions[0].contains(QStringLiteral("Прервать тест?")));
    // The answers given before the question count: 1 and 4 (nothing right) of 7.
    QCOMPARE(m_course.messages, QStringList{"Тест завершён, правильных ответов: 28 %"});
    QCOMPARE(frmMain->XML().testRecords(0).size(), 1);
    QCOMPARE(frmMain->XML().testRecords(0)[0].right, QStringLiteral("28"));
}

// The text of an option ticks it as its box does, by mouse and by its
// letter or number on the keyboard.
void TestTestWindow::optionTextTicksItsBox()
{
    frmMain->ShowTestTopics();
    QStringList states;
    auto boxes = [] {
        QString s;
        for (QCheckBox *box : {parts::test::CheckBox1(), parts::test::CheckBox2(), parts::test::CheckBox3(),
                               parts::test::CheckBox4(), parts::test::CheckBox5()})
            s += box->isChecked() ? u'1' : u'0';
        return s;
    };
    QTimer::singleShot(0, frmTest, [&] {
        TRichView *view = parts::test::RichView1();
        const richtext::RichLayout *layout = view->textLayout();
        auto textOf = [&](int item) {
            return (layout->itemOrigin(item) + QPointF(60, 6)).toPoint() + view->documentOrigin();
        };
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, textOf(9)); // C
        states << boxes();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, textOf(9)); // C again
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, textOf(5)); // A
        states << boxes();
        // The question and the blank lines tick nothing.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, textOf(3));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, textOf(6));
        states << boxes();
        // The letter (Latin or its Cyrillic look-alike) or the number.
        typeKey(Qt::Key_B, QStringLiteral("b"));
        typeKey(Qt::Key(0x0415), QStringLiteral("Е"));
        typeKey(Qt::Key_4, QStringLiteral("4"));
        states << boxes();
        typeKey(Qt::Key_A, QStringLiteral("a"));
        states << boxes();
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QCOMPARE(states, (QStringList{"00100", "10000", "10000", "11011", "01011"}));
}

// The result is in dect.chh before the learner is told it: a session that
// ends while the message is up (logout, shutdown, a kill) keeps it.
void TestTestWindow::resultIsStoredBeforeTheMessage_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestTestWindow::resultIsStoredBeforeTheMessage()
{
    QFETCH(int, signal);
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARVEL_TEST_FINISH_AND_WAIT"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(m_course.path());
    child.start();
    QVERIFY(child.waitForStarted());
    QByteArray out;
    while (!out.contains("MESSAGE") && child.state() == QProcess::Running && child.waitForReadyRead(30000))
        out += child.readAllStandardOutput();
    QVERIFY2(out.contains("MESSAGE ") && out.contains(": 57 %"), out.constData());
    ::kill(pid_t(child.processId()), signal);
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    learners::CourseData stored(m_course.filePath(QStringLiteral("dect.chh")));
    stored.LoadCourseData();
    const auto records = stored.testRecords(0);
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].number, QStringLiteral("1"));
    QCOMPARE(records[0].right, QStringLiteral("57"));
}

namespace {

// The child of resultIsStoredBeforeTheMessage: takes lecture 1's test in the
// course folder it runs in and stays at the result message until killed.
int finishTestAndWait()
{
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
    ui::setErrorHook([](const QString &text) { std::fprintf(stderr, "ERROR %s\n", qPrintable(text)); });
    ui::setMessageHook([](const QString &text) {
        std::printf("MESSAGE %s\n", text.toUtf8().constData());
        std::fflush(stdout);
        for (;;)
            ::pause();
    });
    const QStringList given{"10000", "10000", "10100", "01000", "00010", "11110", "00001"};
    QTimer::singleShot(0, frmTest, [&] {
        for (const QString &pattern : given) {
            tick(pattern);
            QTest::mouseClick(parts::test::Button1(), Qt::LeftButton);
        }
    });
    frmMain->StartTopicTest(1);
    return 1; // the message never returns
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("TARVEL_TEST_FINISH_AND_WAIT"))
        return finishTestAndWait();
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestTestWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_testwindow.moc"
