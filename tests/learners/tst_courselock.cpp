// The lock on a course folder, on a local file system: who holds it, what is
// taken over and what never is, what jams it, the heartbeat.
#include "learners/CourseLock.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using learners::CourseLock;
using Outcome = learners::CourseLock::Outcome;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Sets a file's time stamp secsAgo seconds into the past.
void age(const QString &path, qint64 secsAgo)
{
    const qint64 t = QDateTime::currentSecsSinceEpoch() - secsAgo;
    const struct timespec times[2] = {{time_t(t), 0}, {time_t(t), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// A lock as another copy writes it.
QByteArray lockText(const QString &host, const QString &machine, qint64 pid,
                    const QString &token = QStringLiteral("0123456789abcdef0123456789abcdef"),
                    quint64 beat = 0)
{
    return "tarvel-lock 1\ntoken=" + token.toUtf8() + "\nhost=" + host.toUtf8() +
           "\nuser=Петрова Анна (petrova)\nmachine=" + machine.toUtf8() +
           "\nboot=" + QSysInfo::bootUniqueId() + "\npid=" + QByteArray::number(pid) +
           "\nsince=2026-03-02T08:15:00Z\nbeat=" + QByteArray::number(beat).rightJustified(16, '0') +
           "\n";
}

qint64 deadPid()
{
    QProcess ended;
    ended.start(QStringLiteral("true"));
    if (!ended.waitForStarted())
        return -1;
    const qint64 pid = ended.processId();
    ended.waitForFinished();
    return pid;
}

} // namespace

class TestCourseLock : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void oneCopyPerFile();
    void foreignLocks_data();
    void foreignLocks();
    void takeOverOnlyWhatStandsStill();
    void jammedLockPlaces_data();
    void jammedLockPlaces();
    void heartbeatAndLoss();
    void failures();


private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path, m_lockPath;
};

void TestCourseLock::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = QFileInfo(m_dir->path()).canonicalFilePath() + QStringLiteral("/dect.chh");
    m_lockPath = m_path + QStringLiteral(".lock");
    writeBytes(m_path, "<d/>");
    qunsetenv("TARVEL_LOCK_STALE_SECONDS");
}

void TestCourseLock::cleanup()
{
    qunsetenv("TARVEL_LOCK_STALE_SECONDS");
    m_dir.reset();
}

// Every path to one dect.chh meets at one lock, a hard link in another
// folder included; the lock names this computer and user, and goes with its
// owner.
void TestCourseLock::oneCopyPerFile()
{
    QTemporaryDir other;
    const QString symlinked = other.filePath(QStringLiteral("dect.chh"));
    QVERIFY(QFile::link(m_path, symlinked));
    QTemporaryDir third;
    const QString hardLinked = third.filePath(QStringLiteral("dect.chh"));
    QCOMPARE(::link(QFile::encodeName(m_path).constData(), QFile::encodeName(hardLinked).constData()), 0);
    {
        CourseLock first(m_path);
        QCOMPARE(first.lockFileName(), m_lockPath);
        QVERIFY(first.tryLock());
        QVERIFY(first.isLocked());
        const QByteArray text = readBytes(m_lockPath);
        QVERIFY2(text.contains("host=" + QSysInfo::machineHostName().toUtf8()), text.constData());
        QCOMPARE(QFileInfo(m_lockPath).permissions() & QFile::ReadOther, QFile::ReadOther);

        for (const QString &path : {m_path, symlinked, hardLinked}) {
            CourseLock second(path);
            QVERIFY2(!second.tryLock(), qPrintable(path));
            QCOMPARE(second.outcome(), Outcome::Busy);
            QCOMPARE(second.owner().host, QSysInfo::machineHostName());
            QCOMPARE(second.owner().pid, qint64(::getpid()));
            QVERIFY(second.owner().since.isValid());
            QVERIFY2(second.message().contains(QSysInfo::machineHostName()), qPrintable(second.message()));
        }
        // The refused ones left the holder's lock alone.
        QCOMPARE(readBytes(m_lockPath), text);

        // A save puts a new file in dect.chh's place; a hard link made to
        // that one afterwards leads to a locked file too.
        writeBytes(m_path + QStringLiteral(".Saved1"), "<d/>");
        QVERIFY(::rename(QFile::encodeName(m_path + QStringLiteral(".Saved1")).constData(),
                         QFile::encodeName(m_path).constData()) == 0);
        QTest::qWait(6500); // the holder's heartbeat (every 5 s) notices it
        QTemporaryDir fourth;
        const QString laterLink = fourth.filePath(QStringLiteral("dect.chh"));
        QCOMPARE(::link(QFile::encodeName(m_path).constData(), QFile::encodeName(laterLink).constData()), 0);
        CourseLock later(laterLink);
        QVERIFY(!later.tryLock());
        QCOMPARE(later.outcome(), Outcome::Busy);
    }
    QVERIFY(!QFile::exists(m_lockPath)); // released with its owner
    CourseLock again(hardLinked);
    QVERIFY(again.tryLock());
}

void TestCourseLock::foreignLocks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("secsAgo");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("named");

    const QString machine = QString::fromLatin1(QSysInfo::machineUniqueId());
    const QString host = QSysInfo::machineHostName();
    // Another computer: its process numbers mean nothing here; only the
    // time stamp of its heartbeat tells.
    QTest::newRow("other computer, alive")
        << lockText(QStringLiteral("pc-07"), QStringLiteral("other-machine"), 1) << qint64(3)
        << int(Outcome::Busy) << QStringLiteral("pc-07");
    QTest::newRow("other computer, silent for 10 minutes")
        << lockText(QStringLiteral("pc-07"), QStringLiteral("other-machine"), 1) << qint64(600)
        << int(Outcome::Stale) << QStringLiteral("pc-07");
    QTest::newRow("other computer, dead-looking pid is no reason")
        << lockText(QStringLiteral("pc-07"), QStringLiteral("other-machine"), deadPid()) << qint64(0)
        << int(Outcome::Busy) << QStringLiteral("Петрова Анна");
    // This computer: an ended process holds nothing.
    QTest::newRow("this computer, process ended")
        << lockText(host, machine, deadPid()) << qint64(0) << int(Outcome::Locked) << QString();
    QTest::newRow("this computer, process alive")
        << lockText(host, machine, ::getppid()) << qint64(0) << int(Outcome::Busy)
        << QStringLiteral("02.03.2026");
    // Read empty or garbled: being written, or left by a crash. Only its
    // age decides; it is never taken for an orphan at once.
    QTest::newRow("empty, fresh") << QByteArray() << qint64(0) << int(Outcome::Busy)
                                  << QStringLiteral("другой копией");
    QTest::newRow("empty, old") << QByteArray() << qint64(3600) << int(Outcome::Stale)
                                << QStringLiteral("60 минут");
    QTest::newRow("old lock format, fresh")
        << QByteArray("4242\ntarvel\nsomehost\n") << qint64(1) << int(Outcome::Busy) << QString();
}

void TestCourseLock::foreignLocks()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, secsAgo);
    QFETCH(int, expected);
    QFETCH(QString, named);

    writeBytes(m_lockPath, text);
    age(m_lockPath, secsAgo);
    CourseLock lock(m_path);
    QCOMPARE(lock.tryLock(), expected == int(Outcome::Locked));
    QCOMPARE(int(lock.outcome()), expected);
    QVERIFY2(lock.message().contains(named), qPrintable(lock.message()));
    if (expected == int(Outcome::Locked)) {
        QVERIFY(readBytes(m_lockPath).contains("pid=" + QByteArray::number(::getpid())));
        return;
    }
    // A refusal never touches the other copy's lock.
    QCOMPARE(readBytes(m_lockPath), text);
    if (expected == int(Outcome::Stale)) {
        QVERIFY(lock.silentSeconds() >= secsAgo - 2);
        QVERIFY(lock.message().contains(QStringLiteral("Занять папку курса?")));
    }
}

// A stale lock is taken over after a last look, and only if it stood still
// all along: a holder that was merely slow to be seen keeps it.
void TestCourseLock::takeOverOnlyWhatStandsStill()
{
    qputenv("TARVEL_LOCK_STALE_SECONDS", "24"); // heartbeat 1 s: a short last look
    const QByteArray text = lockText(QStringLiteral("pc-07"), QStringLiteral("other-machine"), 1);
    writeBytes(m_lockPath, text);
    age(m_lockPath, 300);
    {
        CourseLock lock(m_path);
        QVERIFY(!lock.tryLock());
        QCOMPARE(lock.outcome(), Outcome::Stale);
        // Meanwhile the holder comes back and beats again.
        std::thread holder([this] {
            QThread::msleep(700);
            writeBytes(m_lockPath, lockText(QStringLiteral("pc-07"), QStringLiteral("other-machine"),
                                            1, QStringLiteral("0123456789abcdef0123456789abcdef"), 1));
        });
        const bool taken = lock.takeOver();
        holder.join();
        QVERIFY(!taken);
        QCOMPARE(lock.outcome(), Outcome::Busy);
        QVERIFY(readBytes(m_lockPath).contains("beat=0000000000000001"));
    }
    // Owned by another user of the share and silent: taken over all the same.
    age(m_lockPath, 300);
    if (::geteuid() == 0)
        QCOMPARE(::chown(QFile::encodeName(m_lockPath).constData(), 65534, 65534), 0);
    QVERIFY(QFile::setPermissions(m_lockPath, QFile::ReadOwner | QFile::WriteOwner));
    CourseLock lock(m_path);
    QVERIFY(!lock.tryLock());
    QCOMPARE(lock.outcome(), Outcome::Stale);
    QVERIFY(lock.takeOver());
    QVERIFY(lock.isLocked());
    QVERIFY(readBytes(m_lockPath).contains("pid=" + QByteArray::number(::getpid())));
}

// Whatever stands in the lock file's place, the start neither hangs nor
// spins nor claims that a copy runs; junk that no copy could have made is
// cleared away.
void TestCourseLock::jammedLockPlaces_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("taken");
    QTest::newRow("FIFO") << QStringLiteral("fifo") << true;
    QTest::newRow("link to /dev/zero") << QStringLiteral("zero") << true;
    QTest::newRow("dangling link") << QStringLiteral("dangling") << true;
    QTest::newRow("link to a live lock elsewhere") << QStringLiteral("elsewhere") << true;
    QTest::newRow("empty folder") << QStringLiteral("folder") << true;
    QTest::newRow("folder with files") << QStringLiteral("full folder") << false;
}

void TestCourseLock::jammedLockPlaces()
{
    QFETCH(QString, kind);
    QFETCH(bool, taken);
    const QByteArray where = QFile::encodeName(m_lockPath);
    QTemporaryDir other;
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(where.constData(), 0600), 0);
    else if (kind == QLatin1String("zero"))
        QCOMPARE(::symlink("/dev/zero", where.constData()), 0);
    else if (kind == QLatin1String("dangling"))
        QCOMPARE(::symlink("/nonexistent/lock", where.constData()), 0);
    else if (kind == QLatin1String("elsewhere")) {
        writeBytes(other.filePath("lock"), lockText(QStringLiteral("pc-07"), QStringLiteral("m"), 1));
        QCOMPARE(::symlink(QFile::encodeName(other.filePath("lock")).constData(), where.constData()), 0);
    } else {
        QVERIFY(QDir().mkdir(m_lockPath));
        if (kind == QLatin1String("full folder"))
            writeBytes(m_lockPath + QStringLiteral("/file"), "x");
    }

    QElapsedTimer timer;
    timer.start();
    CourseLock lock(m_path);
    QCOMPARE(lock.tryLock(), taken);
    QVERIFY(timer.elapsed() < 10000);
    if (taken) {
        QVERIFY(QFileInfo(m_lockPath).isFile() && !QFileInfo(m_lockPath).isSymLink());
        if (kind == QLatin1String("elsewhere")) // the file the link pointed at is untouched
            QVERIFY(readBytes(other.filePath("lock")).startsWith("tarvel-lock 1"));
    } else {
        QCOMPARE(lock.outcome(), Outcome::Failed);
        QVERIFY2(lock.message().contains(QStringLiteral("папка")) &&
                     lock.message().contains(QStringLiteral("dect.chh.lock")),
                 qPrintable(lock.message()));
    }
}

// The holder rewrites its lock so that its time stamp moves; a lock taken
// from under it is noticed, reported once and left to its new owner.
void TestCourseLock::heartbeatAndLoss()
{
    qputenv("TARVEL_LOCK_STALE_SECONDS", "24"); // heartbeat every second
    QCOMPARE(CourseLock::heartbeatSeconds(), 1);
    CourseLock lock(m_path);
    std::atomic<int> lostCalls{0};
    lock.setLostHandler([&lostCalls] { ++lostCalls; });
    QVERIFY(lock.tryLock());
    const QByteArray first = readBytes(m_lockPath);
    QTRY_VERIFY_WITH_TIMEOUT(readBytes(m_lockPath) != first, 5000);
    QVERIFY(readBytes(m_lockPath).contains("beat=0000000000000"));
    QVERIFY(lock.isLocked());
    QCOMPARE(lostCalls.load(), 0);

    // Another computer took it (this one slept past the limit).
    const QByteArray theirs = lockText(QStringLiteral("pc-07"), QStringLiteral("other-machine"), 1);
    QCOMPARE(::unlink(QFile::encodeName(m_lockPath).constData()), 0);
    writeBytes(m_lockPath, theirs);
    QTRY_VERIFY_WITH_TIMEOUT(lock.lost(), 5000);
    QVERIFY(!lock.isLocked());
    QTest::qWait(1500);
    QCOMPARE(lostCalls.load(), 1);
    lock.release();
    QCOMPARE(readBytes(m_lockPath), theirs); // not ours to remove
}

// A lock that cannot be written is no licence to run unguarded; only a
// folder that cannot be written to at all is.
void TestCourseLock::failures()
{
    {
        // A file-size limit fails the lock file's write as a full disk does.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit oldLimit {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
        struct rlimit none = oldLimit;
        none.rlim_cur = 0;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
        CourseLock full(m_path);
        const bool taken = full.tryLock();
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        QVERIFY(!taken);
        QCOMPARE(full.outcome(), Outcome::Failed);
        QVERIFY2(full.message().contains(QStringLiteral("dect.chh.lock")), qPrintable(full.message()));
        QVERIFY(!QFile::exists(m_lockPath)); // no half-written lock stays behind
    }
    if (::geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    CourseLock readOnly(m_path);
    const bool taken = readOnly.tryLock();
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(taken);
}

QTEST_GUILESS_MAIN(TestCourseLock)
#include "tst_courselock.moc"
