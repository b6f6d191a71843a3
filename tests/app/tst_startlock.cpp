// The program's start against a held course folder, and its way out on a
// termination signal: the learner's place is kept as on Выход.
#include "common/ReaderParts.h"
#include "common/CourseFolder.h"
#include "app/Startup.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "learners/CourseLock.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "screens/HomeScreen.h"
#include "ui/Dialogs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
struct Prompt
{
    QString title, text;
    bool offersTakeOver = false;
};
} // namespace

class TestStartLock : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void busyFolderIsNamedAndRetried();
    void silentHolderIsTakenOverWhenAsked();
    // Signals last: they end the program's run for the rest of the process.
    void terminationKeepsThePlace();
    void signalAtTheQuestionRefusesTheStart();
    void lostLockIsToldAndEndsTheRun();

private:
    testsupport::CourseFolder m_course;
    QList<Prompt> m_prompts;
};

void TestStartLock::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(testsupport::copyTree(QStringLiteral(TARVEL_COURSE_DIR), m_course.path()));
    QVERIFY(m_course.enter());
    qputenv("TARVEL_LOCK_STALE_SECONDS", "24"); // a one-second heartbeat: a short last look
}

void TestStartLock::cleanupTestCase()
{
}

void TestStartLock::cleanup()
{
    setLockPromptHook({});
    m_prompts.clear();
    QFile::remove(QStringLiteral("dect.chh.lock"));
}

// Another copy holds the folder: the window says where and who, "Повторить"
// tries again, and "Выйти" ends the start with a non-zero code.
void TestStartLock::busyFolderIsNamedAndRetried()
{
    auto holder = std::make_unique<learners::CourseLock>();
    QVERIFY(holder->tryLock());
    learners::CourseLock second;
    setLockPromptHook([&](const QString &title, const QString &text, bool offers) {
        m_prompts.append({title, text, offers});
        return app::LockChoice::Quit;
    });
    QCOMPARE(takeCourseLock(second), kExitCourseBusy);
    QCOMPARE(m_prompts.size(), 1);
    QCOMPARE(m_prompts[0].title, QStringLiteral("Тарвел: папка курса занята"));
    QVERIFY(!m_prompts[0].offersTakeOver);
    const learners::LockOwner me = learners::LockOwner::current();
    for (const QString &part : {me.host, me.user, me.since.toLocalTime().toString("dd.MM.yyyy")})
        QVERIFY2(m_prompts[0].text.contains(part), qPrintable(m_prompts[0].text + " / " + part));

    // The other copy closes while the question is up; "Повторить" goes on.
    m_prompts.clear();
    setLockPromptHook([&](const QString &title, const QString &text, bool offers) {
        m_prompts.append({title, text, offers});
        holder.reset();
        return app::LockChoice::Retry;
    });
    QCOMPARE(takeCourseLock(second), 0);
    QCOMPARE(m_prompts.size(), 1);
    QVERIFY(second.isLocked());
}

void TestStartLock::silentHolderIsTakenOverWhenAsked()
{
    QFile lock(QStringLiteral("dect.chh.lock"));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write("tarvel-lock 1\ntoken=feedfeedfeedfeedfeedfeedfeedfeed\nhost=pc-12\nuser=ivanov\n"
               "machine=elsewhere\nboot=x\npid=1\nsince=2026-09-01T07:30:00Z\nbeat=0000000000000007\n");
    lock.close();
    const qint64 old = QDateTime::currentSecsSinceEpoch() - 20 * 60;
    const struct timespec times[2] = {{time_t(old), 0}, {time_t(old), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, "dect.chh.lock", times, 0), 0);

    learners::CourseLock mine;
    setLockPromptHook([&](const QString &title, const QString &text, bool offers) {
        m_prompts.append({title, text, offers});
        return offers ? app::LockChoice::TakeOver : app::LockChoice::Quit;
    });
    QCOMPARE(takeCourseLock(mine), 0);
    QCOMPARE(m_prompts.size(), 1);
    QVERIFY(m_prompts[0].offersTakeOver);
    QVERIFY2(m_prompts[0].text.contains(QStringLiteral("«pc-12»")) &&
                 m_prompts[0].text.contains(QStringLiteral("«ivanov»")) &&
                 m_prompts[0].text.contains(QStringLiteral("20 минут")),
             qPrintable(m_prompts[0].text));
    QVERIFY(mine.isLocked());
}

// SIGTERM (a logout, a shutdown) while a learner reads: the program leaves
// as on Выход, and the place scrolled to is kept for the next run.
void TestStartLock::terminationKeepsThePlace()
{
    {
        learners::CourseData data;
        data.LoadCourseData();
        data.registerLearner(QStringLiteral("Анна"), QStringLiteral("Петрова"), QStringLiteral("9А"),
                             QString());
    }
    QStringList messages;
    ui::setMessageHook([&](const QString &text) { messages.append(text); });
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    installExitSignalHandlers();
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
    frmMain->show();
    frmMain->FormActivate();
    frmMain->resize(1024, 700);
    frmMain->RichView1Jump(3);
    frmMain->RichView2Jump(2);
    const QString section = frmMain->sectionInView();
    QVERIFY(!section.isEmpty());
    {
        learners::CourseData stored;
        stored.LoadCourseData();
        QVERIFY(stored.place(0).section != section); // not kept yet
    }
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_VERIFY(!frmMain->isVisible());
    learners::CourseData stored;
    stored.LoadCourseData();
    QCOMPARE(stored.place(0).page, 3);
    QCOMPARE(stored.place(0).section, section);
    destroyWindowSet();
    ui::setMessageHook({});
    TfrmIntro::setDesktopSizeSource({});
}

// A signal while the question about a held folder is up ends the start
// (refused, not run).
void TestStartLock::signalAtTheQuestionRefusesTheStart()
{
    learners::CourseLock holder;
    QVERIFY(holder.tryLock());
    learners::CourseLock second;
    int asked = 0;
    setLockPromptHook([&](const QString &, const QString &, bool) {
        ++asked;
        ::raise(SIGHUP);
        QTest::qWait(200);
        return app::LockChoice::Retry;
    });
    QCOMPARE(takeCourseLock(second), kExitCourseBusy);
    QCOMPARE(asked, 1);
    QVERIFY(!second.isLocked());
}

// Another computer took the folder over (this one slept past the limit):
// the learner is told why the program ends, once.
void TestStartLock::lostLockIsToldAndEndsTheRun()
{
    learners::CourseLock lock;
    QVERIFY(lock.tryLock());
    watchCourseLock(lock);
    setLockPromptHook([&](const QString &title, const QString &text, bool offers) {
        m_prompts.append({title, text, offers});
        return app::LockChoice::Quit;
    });
    QFile::remove(QStringLiteral("dect.chh.lock"));
    QFile theirs(QStringLiteral("dect.chh.lock"));
    QVERIFY(theirs.open(QIODevice::WriteOnly));
    theirs.write("tarvel-lock 1\ntoken=0000000000000000000000000000beef\nhost=pc-3\nuser=u\n"
                 "machine=m\nboot=b\npid=1\nsince=2026-09-01T07:30:00Z\nbeat=0000000000000000\n");
    theirs.close();
    QTRY_COMPARE_WITH_TIMEOUT(m_prompts.size(), 1, 10000);
    QCOMPARE(m_prompts[0].title, QStringLiteral("Тарвел: папка курса занята"));
    QVERIFY2(m_prompts[0].text.startsWith(QStringLiteral("Папку курса заняла копия учебника")),
             qPrintable(m_prompts[0].text));
    QVERIFY(lock.lost());
    QTest::qWait(2500);
    QCOMPARE(m_prompts.size(), 1);
    lock.release();
    QVERIFY(QFile::exists(QStringLiteral("dect.chh.lock"))); // the new owner's
}

QTEST_MAIN(TestStartLock)
#include "tst_startlock.moc"
