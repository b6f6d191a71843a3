#include "common/CourseFolder.h"
#include "common/TestWindowParts.h"
#include "common/ReaderParts.h"
#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "learners/CourseData.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "core/LineCodec.h"
#include "testing/ReviewWindow.h"
#include "testing/TestWindow.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
    void runsThatStoreNothing_data();
    void runsThatStoreNothing();
    void banksAreParsedOncePerRun();
    void doubleClickAnswersOneQuestion();

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
            if (itemText(1) != QStringLiteral("  Вопрос %1").arg(k) || itemText(3) != questions[k - 1] ||
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
    QCOMPARE(m_course.messages, QStringList{"Тест пройден, правильных ответов: 57 %"});
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
        if (itemText(1) == QStringLiteral("  Вопрос 1") && !parts::test::CheckBox1()->isChecked())
            tick("10000");
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // lecture 2, question 1
        QTest::mouseClick(parts::test::Button1(), Qt::LeftButton); // question 2, unticked: wrong
        if (frmTest->isShowingModal())
            frmTest->closeScreen();
    });
    frmMain->RichView1Jump(2);
    QCOMPARE(m_course.messages.last(), QStringLiteral("Тест пройден, правильных ответов: 50 %"));
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
    QVERIFY2(descriptions[0].startsWith(QStringLiteral("Вопрос 1. ")), qPrintable(descriptions[0]));
    QVERIFY2(descriptions[0].endsWith(QStringLiteral(" Можно отметить несколько ответов. A. Вариант A к вопросу 1.1")),
             qPrintable(descriptions[0]));
    QCOMPARE(descriptions[1], QStringLiteral("E. Вариант E к вопросу 1.2"));
    QVERIFY(ticked);
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
        << "Тест пройден, правильных ответов: 0 %" << true;
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

// The second press of a double click must not score the next question,
// unseen and unticked.
void TestTestWindow::doubleClickAnswersOneQuestion()
{
    frmMain->ShowTestTopics();
    QString shownAfter;
    int answered = -1;
    QTimer::singleShot(0, frmTest, [&] {
        tick("10000");
        // Through the window, as the window system delivers it: press,
        // release, then a press that Qt also makes a double click.
        const QPoint at = parts::test::Button1()->mapTo(frmTest, parts::test::Button1()->rect().center());
        QTest::mouseDClick(frmTest->windowHandle(), Qt::LeftButton, {}, at);
        shownAfter = itemText(1);
        answered = frmTest->Run.AnsweredCount;
        frmTest->closeScreen();
    });
    frmMain->RichView1Jump(1);
    QCOMPARE(answered, 1);
    QCOMPARE(shownAfter, QStringLiteral("  Вопрос 2"));
}

QTEST_MAIN(TestTestWindow)
#include "tst_testwindow.moc"
