#include "common/HomeParts.h"
#include "lab/LabStore.h"
#include "common/ReaderParts.h"
#include "common/CourseFolder.h"
#include "ui/Dialogs.h"
#include "ui/ModalScreen.h"
#include "app/Startup.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "progress/StatisticsScreen.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"

#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QKeyEvent>
#include <QMessageBox>
#include <QQuickItem>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

int homeRecords()
{
    int n = 0;
    for (const HistoryCommand &record : frmMain->history())
        n += record.GetKind() == hkHome;
    return n;
}

// Runs the home screen modally and, once it is up, does what the test asks.
void whileHomeIsUp(const std::function<void()> &action)
{
    QTimer::singleShot(0, frmIntro, [action] {
        QTRY_VERIFY(frmIntro->isShowingModal());
        action();
        if (frmIntro->isShowingModal())
            frmIntro->closeScreen();
    });
    frmIntro->showModal();
}
} // namespace

class TestHome : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void desktopCheck_data();
    void desktopCheck();
    void everyShowingReloadsMoviesAndPushesHome();
    void readerCommandsCloseTheHomeScreen_data();
    void readerCommandsCloseTheHomeScreen();
    void unknownCommandsDoNothing_data();
    void unknownCommandsDoNothing();
    void subScreenReturnsWithoutReload();
    void companionProgramsAreStarted();
    void altF4EndsTheProgram_data();
    void altF4EndsTheProgram();
    void windowManagerCloseEndsTheProgram();
    void qtSpeaksRussian();
    void seatLineOnlyOnALabSeat();

private:
    std::unique_ptr<testsupport::CourseFolder> m_course;
    QStringList m_messages;
    QStringList m_started;
    // Whether the program was already ending when each message came up.
    QList<bool> m_endingAtMessage;
};

void TestHome::init()
{
    m_course = std::make_unique<testsupport::CourseFolder>();
    QVERIFY(m_course->copy(QStringLiteral(TARVEL_TEST_DATA "/reader")));
    QVERIFY(m_course->copy(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), QStringLiteral("pictures")));
    QVERIFY(m_course->enter());
    m_course->catchMessages();
    m_messages.clear();
    m_started.clear();
    m_endingAtMessage.clear();
    ui::setMessageHook([this](const QString &text) {
        m_messages << text;
        m_endingAtMessage << (frmMain && frmMain->isClosing());
    });
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    TfrmIntro::setProgramStarter([this](const QString &path) {
        m_started << path;
        return false;
    });
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
}

void TestHome::cleanup()
{
    destroyWindowSet();
    TfrmIntro::setDesktopSizeSource({});
    ui::ModalScreen::setAvailableDesktopSource({});
    TfrmIntro::setProgramStarter({});
    m_course.reset();
}

void TestHome::desktopCheck_data()
{
    QTest::addColumn<QSize>("desktop");
    QTest::addColumn<int>("messages");
    QTest::newRow("800 x 600 passes") << QSize(800, 600) << 0;
    QTest::newRow("1024 x 768 centres") << QSize(1024, 768) << 0;
    QTest::newRow("too low") << QSize(1024, 599) << 1;
    QTest::newRow("too narrow") << QSize(799, 768) << 1;
    QTest::newRow("both: the message twice") << QSize(799, 599) << 2;
}

void TestHome::desktopCheck()
{
    QFETCH(QSize, desktop);
    QFETCH(int, messages);
    TfrmIntro::setDesktopSizeSource([desktop] { return desktop; });
    ui::ModalScreen::setAvailableDesktopSource([desktop] { return QRect(QPoint(0, 0), desktop); });
    whileHomeIsUp([] {});
    QCOMPARE(m_messages.size(), messages);
    for (const QString &text : m_messages)
        QCOMPARE(text, QString("Данное разрешение экрана не поддерживается"));
    // Every message comes while the program still runs: once it ends, its
    // queued quit would close a second message box unread.
    QVERIFY(!m_endingAtMessage.contains(true));
    QCOMPARE(frmMain->isClosing(), messages > 0);
    // (width - 800) / 2 truncates toward zero, also below 800.
    const QPoint expected((desktop.width() - 800) / 2, (desktop.height() - 600) / 2);
    QCOMPARE(parts::home::Flash()->pos(), expected);
}

void TestHome::everyShowingReloadsMoviesAndPushesHome()
{
    whileHomeIsUp([] {
        QCOMPARE(parts::home::Flash()->movie(), movie::MovieControl::moviePath("Main"));
        QCOMPARE(parts::FlashButtons()->movie(), movie::MovieControl::moviePath("buttons"));
        parts::home::Flash()->GotoFrame(3);
    });
    QCOMPARE(homeRecords(), 1);
    whileHomeIsUp([] {
        // A fresh scene, from its start.
        QCOMPARE(parts::home::Flash()->rootItem()->property("frame").toInt(), 0);
    });
    QCOMPARE(homeRecords(), 2);
}

void TestHome::readerCommandsCloseTheHomeScreen_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("pushed"); // home records, the showing's own included
    QTest::addColumn<QString>("firstText");
    QTest::addColumn<int>("page");
    QTest::newRow("DoContent") << "DoContent" << 2 << "Содержание" << 0;
    QTest::newRow("DoEbout") << "DoEbout" << 2 << "Введение" << 18;
    QTest::newRow("DoBegin") << "DoBegin" << 2 << "Справка" << 111;
    QTest::newRow("DoDict") << "DoDict" << 2 << "Словарь" << 11;
    QTest::newRow("DoTests") << "DoTests" << 3 << "По какой теме вы желаете выполнить тест?" << 0;
}

void TestHome::readerCommandsCloseTheHomeScreen()
{
    QFETCH(QString, command);
    QFETCH(int, pushed);
    QFETCH(QString, firstText);
    QFETCH(int, page);
    frmMain->state().setTopicMode(command != "DoContent");
    bool closedByCommand = false;
    whileHomeIsUp([&] {
        parts::home::Flash()->click(command);
        QTRY_VERIFY(!frmIntro->isVisible());
        closedByCommand = true;
    });
    QVERIFY(closedByCommand);
    QCOMPARE(homeRecords(), pushed);
    QCOMPARE(parts::RichView1()->GetItemTextA(0), firstText);
    QCOMPARE(frmMain->state().CurrentPage(), page);
    QCOMPARE(frmMain->state().TopicMode(), command != "DoContent");
}

void TestHome::unknownCommandsDoNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("other letter case") << "docontent";
    QTest::newRow("not in the table") << "DoSomething";
}

void TestHome::unknownCommandsDoNothing()
{
    QFETCH(QString, command);
    whileHomeIsUp([&] {
        frmIntro->FlashFSCommand(command, "DoContent");
        QVERIFY(frmIntro->isShowingModal());
    });
    QCOMPARE(homeRecords(), 1);
    QCOMPARE(parts::RichView1()->GetLineCount(), 0);
    QVERIFY(!frmMain->isClosing());
}

void TestHome::subScreenReturnsWithoutReload()
{
    whileHomeIsUp([] {
        QQuickItem *scene = parts::home::Flash()->rootItem();
        QTimer::singleShot(0, frmStat, [] {
            QTRY_VERIFY(frmStat->isShowingModal());
            frmStat->closeScreen();
        });
        frmIntro->FlashFSCommand("DoStat", "");
        // Back on the home screen: same scene, nothing pushed.
        QVERIFY(frmIntro->isShowingModal());
        QCOMPARE(parts::home::Flash()->rootItem(), scene);
        QCOMPARE(homeRecords(), 1);
    });
}

void TestHome::companionProgramsAreStarted()
{
    // Not installed: the learner is told, with the path the program expected.
    whileHomeIsUp([] {
        frmIntro->FlashFSCommand("DoLabs", "");
        frmIntro->FlashFSCommand("DoPrac", "");
        QVERIFY(frmIntro->isShowingModal()); // stays open either way
    });
    QVERIFY(m_started.isEmpty());
    QCOMPARE(m_messages.size(), 2);
    const QString labs = QDir::toNativeSeparators(QDir::current().absoluteFilePath("Labs/VESTRA.exe"));
    const QString prac = QDir::toNativeSeparators(QDir::current().absoluteFilePath("Prac/Drimet.exe"));
    QVERIFY2(m_messages[0].startsWith("Лабораторные работы не установлены:") && m_messages[0].contains(labs),
             qPrintable(m_messages[0]));
    QVERIFY2(m_messages[1].startsWith("Практикум не установлен:") && m_messages[1].contains(prac),
             qPrintable(m_messages[1]));

    // Installed: started, and nothing is said.
    m_messages.clear();
    for (const char *path : {"Labs/VESTRA.exe", "Prac/Drimet.exe"}) {
        QVERIFY(QDir().mkpath(QFileInfo(QString::fromLatin1(path)).path()));
        QFile program(QString::fromLatin1(path));
        QVERIFY(program.open(QIODevice::WriteOnly));
    }
    whileHomeIsUp([] {
        frmIntro->FlashFSCommand("DoLabs", "");
        frmIntro->FlashFSCommand("DoPrac", "");
        QVERIFY(frmIntro->isShowingModal());
    });
    QCOMPARE(m_started, QStringList({"Labs/VESTRA.exe", "Prac/Drimet.exe"}));
    QVERIFY(m_messages.isEmpty());
}

void TestHome::altF4EndsTheProgram_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("ends");
    QTest::newRow("Alt+F4") << int(Qt::AltModifier) << true;
    QTest::newRow("Ctrl+Alt+F4") << int(Qt::AltModifier | Qt::ControlModifier) << true;
    QTest::newRow("Shift+Alt+F4") << int(Qt::AltModifier | Qt::ShiftModifier) << true;
    QTest::newRow("F4 alone") << int(Qt::NoModifier) << false;
    QTest::newRow("Ctrl+F4") << int(Qt::ControlModifier) << false;
}

void TestHome::altF4EndsTheProgram()
{
    QFETCH(int, modifiers);
    QFETCH(bool, ends);
    whileHomeIsUp([&] {
        // The key goes to the movie; the window sees it first.
        QTest::keyClick(parts::home::Flash(), Qt::Key_F4, Qt::KeyboardModifiers(modifiers));
    });
    QCOMPARE(frmMain->isClosing(), ends);
}

// The title bar's close or Alt+F4 under a window manager, on any showing.
void TestHome::windowManagerCloseEndsTheProgram()
{
    whileHomeIsUp([] {}); // a showing before
    QVERIFY(!frmMain->isClosing());
    whileHomeIsUp([] { frmIntro->close(); });
    QVERIFY(frmMain->isClosing());
}

// Qt's own buttons and dialogs speak Russian in any locale.
void TestHome::qtSpeaksRussian()
{
    QVERIFY(loadQtTranslations());
    const auto russian = [](const char *context, const char *text) {
        const QString t = QCoreApplication::translate(context, text);
        return t != QLatin1String(text) && t.contains(QRegularExpression(QStringLiteral("[А-Яа-яЁё]")));
    };
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    for (QMessageBox::StandardButton b : {QMessageBox::Yes, QMessageBox::No})
        QVERIFY2(box.button(b)->text().contains(QRegularExpression(QStringLiteral("[А-Яа-яЁё]"))),
                 qPrintable(box.button(b)->text()));
    QVERIFY(russian("QFileDialog", "File &name:"));
    QVERIFY(russian("QSaveFile", "Filename refers to a directory"));
}

// A lab seat says, quietly, where its records are; a single computer says
// nothing. «Сменить ученика» is there either way.
void TestHome::seatLineOnlyOnALabSeat()
{
    const auto seatLine = [] {
        return qobject_cast<QQuickItem *>(parts::home::Flash()->findControl("seatText"));
    };
    whileHomeIsUp([&] {
        QVERIFY(parts::home::Flash()->GetVariable("seatText").isEmpty());
        QVERIFY(seatLine() && !seatLine()->isVisible());
        QVERIFY(parts::home::Flash()->findControl("DoChangeUser"));
    });
    lab::ConnectionSettings lab;
    lab.host = QStringLiteral("school");
    lab.database = QStringLiteral("tarvel");
    lab.className = QStringLiteral("7Б");
    frmMain->state().setLearnerStore(std::make_unique<lab::LabStore>(lab));
    whileHomeIsUp([&] {
        QCOMPARE(parts::home::Flash()->GetVariable("seatText"), QStringLiteral("Класс 7Б, сервер school"));
        QVERIFY(seatLine() && seatLine()->isVisible());
    });
}

QTEST_MAIN(TestHome)
#include "tst_home.moc"
