// The course lock on a real network file system: a course folder on an
// sshfs share (OpenSSH's SFTP server on 127.0.0.1, one FUSE client mount per
// computer), five computers of a class racing for it, a computer killed while
// it holds it, and the program itself leaving the folder on signals and on a
// lost display. Without FUSE the test fails, saying so: it never passes
// without having run.
#include "common/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kComputers = 5;
constexpr int kRounds = 20;
// The staleness limit for the test (the program's is two minutes); above
// sshfs's own 20-second attribute cache, as the real limit is.
constexpr int kStaleSeconds = 24;
constexpr int kHeartbeatSeconds = 1; // a twenty-fourth of the limit

const QString kSeat = QStringLiteral(TARVEL_NETFS_SEAT);
const QString kProgram = QStringLiteral(TARVEL_PROGRAM);

QString computer(int i)
{
    return QStringLiteral("computer-%1").arg(i + 1);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Children die with the test, whatever ends it.
void dieWithParent(QProcess &p)
{
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

bool mounted(const QString &mountPoint)
{
    const QByteArray mounts = readAll(QStringLiteral("/proc/self/mounts"));
    return mounts.contains(" " + QFile::encodeName(mountPoint) + " fuse.sshfs ");
}

// The next line the process writes that starts with one of the words; its
// time stamp (the seat's clock, in ms) in *at.
QByteArray waitLine(QProcess &p, const QList<QByteArray> &words, int timeoutMs, qint64 *at = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        while (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            for (const QByteArray &word : words) {
                if (line.startsWith(word + ' ')) {
                    if (at)
                        *at = line.mid(word.size() + 1).toLongLong();
                    return word;
                }
            }
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || p.state() == QProcess::NotRunning)
            return {};
        p.waitForReadyRead(int(std::min<qint64>(left, 200)));
    }
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// A loopback file share: sshd on a free port of 127.0.0.1 with throwaway
// keys, and one sshfs client mount per computer.
class Share
{
public:
    ~Share() { stop(); }

    QString start(int clients)
    {
        if (!m_root.isValid())
            return QStringLiteral("no temporary folder");
        const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fuse < 0)
            return QStringLiteral("FUSE is not available here (/dev/fuse: %1): this test needs a "
                                  "real network file system and cannot run")
                .arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fuse);
        for (const char *tool : {"/usr/sbin/sshd", "/usr/bin/sshfs", "/usr/bin/ssh-keygen",
                                 "/usr/bin/fusermount3"}) {
            if (!QFileInfo(QString::fromLatin1(tool)).isExecutable())
                return QStringLiteral("%1 is missing: install sshfs, openssh-server and fuse3 "
                                      "(scripts/deps)")
                    .arg(QString::fromLatin1(tool));
        }
        // sshd insists on its privilege separation folder.
        QDir().mkpath(QStringLiteral("/run/sshd"));
        const QString dir = m_root.path();
        for (const char *key : {"host", "user"}) {
            const int rc = QProcess::execute(
                QStringLiteral("/usr/bin/ssh-keygen"),
                {"-q", "-t", "ed25519", "-N", "", "-f", dir + "/" + QString::fromLatin1(key)});
            if (rc != 0)
                return QStringLiteral("ssh-keygen failed");
        }
        if (!QFile::copy(dir + "/user.pub", dir + "/authorized_keys"))
            return QStringLiteral("no authorized key");
        const int port = freePort();
        if (port <= 0)
            return QStringLiteral("no free port on 127.0.0.1");
        QFile config(dir + "/sshd_config");
        if (!config.open(QIODevice::WriteOnly))
            return QStringLiteral("no sshd_config");
        config.write(QStringLiteral("ListenAddress 127.0.0.1\nPort %1\nHostKey %2/host\n"
                                    "AuthorizedKeysFile %2/authorized_keys\nPidFile none\n"
                                    "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                                    "PermitRootLogin prohibit-password\nStrictModes no\nUsePAM no\n"
                                    "Subsystem sftp internal-sftp\n")
                         .arg(port)
                         .arg(dir)
                         .toUtf8());
        config.close();
        m_share = dir + QStringLiteral("/share");
        QDir().mkpath(m_share);

        dieWithParent(m_sshd);
        m_sshd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_sshd.start(QStringLiteral("/usr/sbin/sshd"), {"-D", "-e", "-f", dir + "/sshd_config"});
        if (!m_sshd.waitForStarted())
            return QStringLiteral("sshd did not start");

        const passwd *pw = ::getpwuid(::geteuid());
        const QString user = pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("root");
        for (int i = 0; i < clients; ++i) {
            const QString mountPoint = dir + QStringLiteral("/mnt%1").arg(i + 1);
            QDir().mkpath(mountPoint);
            // sshd may still be binding its port: a few tries.
            bool up = false;
            for (int attempt = 0; attempt < 20 && !up; ++attempt) {
                auto client = std::make_unique<QProcess>();
                dieWithParent(*client);
                client->setProcessChannelMode(QProcess::ForwardedErrorChannel);
                client->start(QStringLiteral("/usr/bin/sshfs"),
                              {"-f", "-p", QString::number(port), "-o", "IdentityFile=" + dir + "/user",
                               "-o", "IdentitiesOnly=yes", "-o", "StrictHostKeyChecking=no", "-o",
                               "UserKnownHostsFile=/dev/null", "-o", "BatchMode=yes", "-o",
                               "LogLevel=ERROR", user + "@127.0.0.1:" + m_share, mountPoint});
                if (!client->waitForStarted())
                    return QStringLiteral("sshfs did not start");
                for (int wait = 0; wait < 50 && client->state() == QProcess::Running; ++wait) {
                    if (mounted(mountPoint)) {
                        up = true;
                        break;
                    }
                    QTest::qWait(100);
                }
                if (up) {
                    m_clients.push_back(std::move(client));
                    m_mounts.append(mountPoint);
                } else {
                    client->kill();
                    client->waitForFinished();
                    QTest::qWait(200);
                }
            }
            if (!up)
                return QStringLiteral("sshfs could not mount %1").arg(mountPoint);
        }
        return QString();
    }

    void stop()
    {
        for (const QString &mountPoint : std::as_const(m_mounts))
            QProcess::execute(QStringLiteral("/usr/bin/fusermount3"), {"-u", "-z", mountPoint});
        m_mounts.clear();
        for (auto &client : m_clients) {
            client->terminate();
            if (!client->waitForFinished(3000))
                client->kill();
            client->waitForFinished();
        }
        m_clients.clear();
        if (m_sshd.state() != QProcess::NotRunning) {
            m_sshd.terminate();
            if (!m_sshd.waitForFinished(3000))
                m_sshd.kill();
            m_sshd.waitForFinished();
        }
    }

    // The folder as the server holds it, and as computer i sees it.
    QString server() const { return m_share; }
    QString client(int i) const { return m_mounts.value(i); }

private:
    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/tarvel-netfs-XXXXXX")};
    QProcess m_sshd;
    std::vector<std::unique_ptr<QProcess>> m_clients;
    QStringList m_mounts;
    QString m_share;
};

} // namespace

class TestNetfsLock : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void oneWinnerEachRound();
    void killedHolderIsTakenOverAfterTheLimit();
    void terminatedHolderFreesAtOnce();
    void programLeavesWithItsLock_data();
    void programLeavesWithItsLock();
    void refusedProgramExitsNonZero();
    void lostDisplayFreesTheLock();

private:
    std::unique_ptr<QProcess> seat(int computerIndex, const char *mode,
                                   const QString &folder = QString());
    std::unique_ptr<QProcess> program(int computerIndex, const QStringList &extraEnv = {});
    bool waitForLockOf(int computerIndex, int timeoutMs);
    QString lockFile() const { return m_share.server() + QStringLiteral("/course/dect.chh.lock"); }

    Share m_share;
};

void TestNetfsLock::initTestCase()
{
    const QString why = m_share.start(kComputers);
    if (!why.isEmpty())
        QFAIL(qPrintable(why));
    // The course folder lives on the server; each computer opens it
    // through its own client mount.
    QVERIFY(testsupport::copyTree(QStringLiteral(TARVEL_COURSE_DIR),
                                  m_share.server() + QStringLiteral("/course")));
}

void TestNetfsLock::cleanupTestCase()
{
    m_share.stop();
}

void TestNetfsLock::init()
{
    QFile::remove(lockFile());
}

std::unique_ptr<QProcess> TestNetfsLock::seat(int computerIndex, const char *mode, const QString &)
{
    auto p = std::make_unique<QProcess>();
    dieWithParent(*p);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARVEL_LOCK_HOST"), computer(computerIndex));
    env.insert(QStringLiteral("TARVEL_LOCK_STALE_SECONDS"), QString::number(kStaleSeconds));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(kSeat, {m_share.client(computerIndex) + QStringLiteral("/course/dect.chh"),
                     QString::fromLatin1(mode)});
    return p;
}

std::unique_ptr<QProcess> TestNetfsLock::program(int computerIndex, const QStringList &extraEnv)
{
    auto p = std::make_unique<QProcess>();
    dieWithParent(*p);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARVEL_LOCK_HOST"), computer(computerIndex));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString &pair : extraEnv)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(m_share.client(computerIndex) + QStringLiteral("/course"));
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(kProgram, {});
    return p;
}

bool TestNetfsLock::waitForLockOf(int computerIndex, int timeoutMs)
{
    const QByteArray host = "host=" + computer(computerIndex).toUtf8() + "\n";
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (readAll(lockFile()).contains(host))
            return true;
        QTest::qWait(100);
    }
    return false;
}

// Five computers start at once, twenty times: exactly one gets the folder
// each time, and the lock goes with it.
void TestNetfsLock::oneWinnerEachRound()
{
    QStringList winners;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<QProcess>> seats;
        for (int i = 0; i < kComputers; ++i)
            seats.push_back(seat(i, "race"));
        for (auto &s : seats)
            QVERIFY2(waitLine(*s, {"ready"}, 60000) == "ready", "a seat did not start");
        // Released in a new order every round: no computer has the head start.
        std::vector<int> order(kComputers);
        for (int i = 0; i < kComputers; ++i)
            order[size_t(i)] = i;
        for (int i = kComputers - 1; i > 0; --i)
            std::swap(order[size_t(i)], order[size_t(QRandomGenerator::global()->bounded(i + 1))]);
        for (const int i : order)
            seats[size_t(i)]->write("go\n");
        for (auto &s : seats)
            s->waitForBytesWritten(1000);
        QStringList won;
        for (int i = 0; i < kComputers; ++i) {
            const QByteArray result = waitLine(*seats[size_t(i)], {"won", "busy"}, 60000);
            QVERIFY2(!result.isEmpty(), qPrintable(computer(i) + " gave no answer"));
            if (result == "won")
                won.append(computer(i));
        }
        qInfo("round %2d: first released %s, winner %s", round + 1, qPrintable(computer(order[0])),
              qPrintable(won.join(QStringLiteral(" and "))));
        QCOMPARE(won.size(), 1);
        winners.append(won.constFirst());
        for (auto &s : seats) {
            s->closeWriteChannel();
            QVERIFY(s->waitForFinished(30000));
            QCOMPARE(s->exitCode(), 0);
        }
        QVERIFY2(!QFile::exists(lockFile()), "the winner left its lock behind");
        const QStringList left = QDir(m_share.server() + QStringLiteral("/course"))
                                     .entryList({QStringLiteral("dect.chh.lock*")}, QDir::AllEntries | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }
    qInfo("winners by round: %s", qPrintable(winners.join(QStringLiteral(", "))));
}

// A holder killed outright (a computer switched off) leaves its lock; the
// other computers take it over once it has stood still past the limit, and
// only one of them.
void TestNetfsLock::killedHolderIsTakenOverAfterTheLimit()
{
    auto holder = seat(0, "race");
    QCOMPARE(waitLine(*holder, {"ready"}, 60000), QByteArray("ready"));
    holder->write("go\n");
    QCOMPARE(waitLine(*holder, {"won", "busy"}, 60000), QByteArray("won"));
    std::vector<std::unique_ptr<QProcess>> waiting;
    for (int i = 1; i < kComputers; ++i)
        waiting.push_back(seat(i, "wait"));
    QTest::qWait(3000); // they are trying, and refused
    for (auto &w : waiting)
        QVERIFY(w->state() == QProcess::Running && !w->canReadLine());

    const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(::kill(pid_t(holder->processId()), SIGKILL), 0);
    holder->waitForFinished();
    QVERIFY(QFile::exists(lockFile())); // left behind

    // The limit, then the last look (two heartbeats and a second), the
    // read-back after creation, a poll, and a margin for a loaded machine.
    const int boundMs = (kStaleSeconds + 2 * kHeartbeatSeconds + 1) * 1000 + 1500 + 500 + 5000;
    int winner = -1;
    qint64 wonAt = 0;
    QElapsedTimer timer;
    timer.start();
    while (winner < 0 && timer.elapsed() < boundMs + 30000) {
        for (size_t i = 0; i < waiting.size() && winner < 0; ++i) {
            if (waiting[i]->canReadLine() || waiting[i]->waitForReadyRead(50)) {
                if (waitLine(*waiting[i], {"won"}, 100, &wonAt) == "won")
                    winner = int(i) + 1;
            }
        }
    }
    QVERIFY2(winner > 0, "nobody took the folder over");
    const qint64 takeover = wonAt - killedAt;
    qInfo("killed holder %s taken over by %s after %.1f s (limit %d s, heartbeat %d s)",
          qPrintable(computer(0)), qPrintable(computer(winner)), double(takeover) / 1000.0,
          kStaleSeconds, kHeartbeatSeconds);
    QVERIFY2(takeover <= boundMs, qPrintable(QString::number(takeover)));
    QVERIFY(waitForLockOf(winner, 5000));
    // The others keep waiting.
    QTest::qWait(4000);
    for (size_t i = 0; i < waiting.size(); ++i) {
        if (int(i) + 1 != winner)
            QVERIFY2(!waiting[i]->canReadLine(), qPrintable(computer(int(i) + 1) + " won as well"));
    }
    for (auto &w : waiting) {
        w->kill();
        w->waitForFinished();
    }
}

// SIGTERM (a logout, a shutdown) frees the folder at once: the next
// computer gets it without waiting for any limit.
void TestNetfsLock::terminatedHolderFreesAtOnce()
{
    auto holder = seat(1, "race");
    QCOMPARE(waitLine(*holder, {"ready"}, 60000), QByteArray("ready"));
    holder->write("go\n");
    QCOMPARE(waitLine(*holder, {"won", "busy"}, 60000), QByteArray("won"));
    QVERIFY(waitForLockOf(1, 5000));

    const qint64 sentAt = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(::kill(pid_t(holder->processId()), SIGTERM), 0);
    qint64 releasedAt = 0;
    QCOMPARE(waitLine(*holder, {"released"}, 10000, &releasedAt), QByteArray("released"));
    QVERIFY(holder->waitForFinished(10000));
    QCOMPARE(holder->exitStatus(), QProcess::NormalExit);
    QCOMPARE(holder->exitCode(), 0);
    QVERIFY(!QFile::exists(lockFile()));
    qInfo("terminated holder released the folder %lld ms after SIGTERM",
          static_cast<long long>(releasedAt - sentAt));

    auto next = seat(2, "race");
    QCOMPARE(waitLine(*next, {"ready"}, 60000), QByteArray("ready"));
    next->write("go\n");
    QCOMPARE(waitLine(*next, {"won", "busy"}, 60000), QByteArray("won"));
    next->closeWriteChannel();
    QVERIFY(next->waitForFinished(30000));
}

void TestNetfsLock::programLeavesWithItsLock_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

// The program itself, run from the share: a termination signal ends it the
// way Выход does, with code 0 and the lock gone.
void TestNetfsLock::programLeavesWithItsLock()
{
    QFETCH(int, signal);
    // What saves stopped by a kill left on the share: the start removes the
    // old one; a fresh one may be another copy's save under way.
    const QString course = m_share.server() + QStringLiteral("/course/");
    for (const char *name : {"dect.chh.Kill42", "dect.chh.Kill43"}) {
        QFile leftover(course + QString::fromLatin1(name));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write(QByteArray(64 * 1024, 'x'));
    }
    const qint64 twoDaysAgo = QDateTime::currentSecsSinceEpoch() - 2 * 86400;
    const struct timespec times[2] = {{time_t(twoDaysAgo), 0}, {time_t(twoDaysAgo), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(course + "dect.chh.Kill42").constData(), times, 0), 0);

    auto tarvel = program(0);
    QVERIFY2(waitForLockOf(0, 60000), "the program did not lock the folder");
    QTRY_VERIFY(!QFile::exists(course + "dect.chh.Kill42"));
    QVERIFY(QFile::remove(course + "dect.chh.Kill43"));
    QTest::qWait(500);
    QCOMPARE(::kill(pid_t(tarvel->processId()), signal), 0);
    QVERIFY(tarvel->waitForFinished(20000));
    QCOMPARE(tarvel->exitStatus(), QProcess::NormalExit);
    QCOMPARE(tarvel->exitCode(), 0);
    QVERIFY(!QFile::exists(lockFile()));
}

// A second computer is refused while the first runs; its refusal (here
// ended by a signal, as no one answers it) is a non-zero exit, and the
// first copy's lock is untouched.
void TestNetfsLock::refusedProgramExitsNonZero()
{
    auto first = program(0);
    QVERIFY(waitForLockOf(0, 60000));
    const QByteArray held = readAll(lockFile());
    auto second = program(3);
    QVERIFY(!second->waitForFinished(6000)); // the question stays up
    QCOMPARE(::kill(pid_t(second->processId()), SIGTERM), 0);
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 3);
    QVERIFY(readAll(lockFile()).contains("host=computer-1\n"));
    QCOMPARE(readAll(lockFile()).left(held.indexOf("beat=")), held.left(held.indexOf("beat=")));
    QCOMPARE(::kill(pid_t(first->processId()), SIGTERM), 0);
    QVERIFY(first->waitForFinished(20000));
    QVERIFY(!QFile::exists(lockFile()));
}

// Logging out ends the X server first: the toolkit then ends the program at
// once, and the lock must go all the same.
void TestNetfsLock::lostDisplayFreesTheLock()
{
    QProcess xvfb;
    dieWithParent(xvfb);
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                                        "1024x768x24"});
    QVERIFY2(xvfb.waitForStarted(), "Xvfb is missing (scripts/deps installs it)");
    QVERIFY(xvfb.waitForReadyRead(20000));
    const QByteArray display = xvfb.readLine().trimmed();
    QVERIFY(!display.isEmpty());
    auto tarvel = program(4, {QStringLiteral("QT_QPA_PLATFORM=xcb"),
                              QStringLiteral("DISPLAY=:") + QString::fromLatin1(display)});
    QVERIFY2(waitForLockOf(4, 60000), "the program did not lock the folder");
    QTest::qWait(1000);
    xvfb.kill();
    xvfb.waitForFinished();
    QVERIFY(tarvel->waitForFinished(20000));
    QVERIFY(!QFile::exists(lockFile()));
}

QTEST_GUILESS_MAIN(TestNetfsLock)
#include "tst_netfs_lock.moc"
