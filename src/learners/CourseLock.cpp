#include "learners/CourseLock.h"

#include "core/SystemError.h"
#include "learners/CourseLockFile_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace learners {

namespace {

using namespace std::chrono_literals;

using namespace lockfile;

// Every lock held by this process, released on exit() as well (the toolkit
// ends the process so when the display connection is lost).
std::mutex g_liveMutex;
std::vector<CourseLock *> g_live;

void releaseAllAtExit()
{
    std::vector<CourseLock *> live;
    {
        std::lock_guard guard(g_liveMutex);
        live = g_live;
    }
    for (CourseLock *lock : live)
        lock->release();
}

} // namespace

LockOwner LockOwner::current()
{
    static const LockOwner me = [] {
        LockOwner o;
        // A test stands for several computers on one machine.
        const QString pretend = qEnvironmentVariable("TARVEL_LOCK_HOST");
        o.host = pretend.isEmpty() ? QSysInfo::machineHostName() : pretend;
        o.machine = pretend.isEmpty() ? QString::fromLatin1(QSysInfo::machineUniqueId())
                                      : QStringLiteral("test:") + pretend;
        o.boot = QString::fromLatin1(QSysInfo::bootUniqueId());
        if (const passwd *pw = ::getpwuid(::geteuid())) {
            const QString login = QString::fromLocal8Bit(pw->pw_name);
            const QString person =
                QString::fromLocal8Bit(pw->pw_gecos ? pw->pw_gecos : "").section(QLatin1Char(','), 0, 0);
            o.user = person.trimmed().isEmpty() || person == login
                         ? login
                         : QStringLiteral("%1 (%2)").arg(person.trimmed(), login);
        } else {
            o.user = QString::number(::geteuid());
        }
        o.pid = ::getpid();
        o.since = QDateTime::currentDateTimeUtc();
        return o;
    }();
    LockOwner o = me;
    // After a fork the process number is another.
    o.pid = ::getpid();
    return o;
}

struct CourseLock::Private
{
    CourseLock *q = nullptr;
    QString dataFile;
    QString lockFile;
    LockOwner mine;
    QByteArray written;
    bool held = false;
    bool unguarded = false;
    Seen last; // what tryLock() found, for takeOver()


    // The heartbeat.
    std::thread beater;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::atomic<bool> lostFlag{false};
    std::function<void()> lostHandler;
    std::mutex releaseMutex;

    bool sameComputer(const LockOwner &o) const
    {
        return o.known && o.machine == mine.machine && !o.boot.isEmpty() && o.boot == mine.boot;
    }

    static bool processGone(qint64 pid)
    {
        return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
    }

    // --- the lock by device and inode -----------------------------------

    static QString inodeFolder()
    {
        const QString runLock = QStringLiteral("/run/lock");
        if (::access(native(runLock).constData(), W_OK | X_OK) == 0)
            return runLock;
        return QDir::tempPath();
    }

    // Locks by device and inode, in a folder of this computer, taken with
    // flock(): the kernel drops them with their process, however it ends.
    struct InodeLock
    {
        int fd = -1;
        QString file;
        dev_t dev = 0;
        ino_t ino = 0;
    };

    std::vector<InodeLock> inodeLocks;
    std::mutex inodeMutex;

    static QString inodeLockFile(dev_t dev, ino_t ino)
    {
        return QStringLiteral("%1/tarvel-%2-%3.lock")
            .arg(inodeFolder(), QString::number(quint64(dev), 16), QString::number(quint64(ino), 16));
    }

    // 1 when taken, 0 when another copy holds it (its owner in `other`), -1
    // when no such lock can be made here.
    int lockInode(dev_t dev, ino_t ino, LockOwner *other)
    {
        const QString file = inodeLockFile(dev, ino);
        for (int attempt = 0; attempt < 5; ++attempt) {
            const int fd = ::open(native(file).constData(),
                                  O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
            if (fd < 0)
                return -1;
            struct stat opened {};
            if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
                ::close(fd);
                return -1;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int error = errno;
                ::close(fd);
                if (error != EWOULDBLOCK)
                    return -1;
                if (other)
                    *other = inspect(file).owner;
                return 0;
            }
            // The previous holder may have removed the file between our open
            // and our lock: then we would hold a lock nobody else can see.
            struct stat now {};
            if (::stat(native(file).constData(), &now) != 0 || now.st_ino != opened.st_ino ||
                now.st_dev != opened.st_dev) {
                ::close(fd);
                continue;
            }
            if (::ftruncate(fd, 0) == 0)
                writeAll(fd, written, 0);
            std::lock_guard guard(inodeMutex);
            inodeLocks.push_back({fd, file, dev, ino});
            return 1;
        }
        return -1;
    }

    // Removes the inode locks that copies on this computer left when they
    // were killed (nobody holds their flock any more).
    void sweepInodeLocks()
    {
        const QDir folder(inodeFolder());
        const QStringList names = folder.entryList({QStringLiteral("tarvel-*.lock")}, QDir::Files);
        for (const QString &name : names) {
            const QString file = folder.absoluteFilePath(name);
            const int fd = ::open(native(file).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                continue;
            struct stat opened {}, now {};
            if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::stat(native(file).constData(), &now) == 0 &&
                now.st_ino == opened.st_ino && now.st_dev == opened.st_dev)
                ::unlink(native(file).constData());
            ::close(fd);
        }
    }

    // False when another copy on this computer holds the same file (found by
    // another path); the owner is then in `other`. A place where no such
    // lock can be made leaves the file guarded by its lock file alone.
    bool takeInodeLock(LockOwner *other)
    {
        struct stat st {};
        if (::stat(native(dataFile).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            return true;
        sweepInodeLocks();
        return lockInode(st.st_dev, st.st_ino, other) != 0;
    }

    // A save replaces dect.chh by a new file: that one is locked as well
    // (hard links made to it later lead there), the old ones stay locked.
    void followDataFile()
    {
        struct stat st {};
        if (::stat(native(dataFile).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            return;
        {
            std::lock_guard guard(inodeMutex);
            for (const InodeLock &held : inodeLocks)
                if (held.dev == st.st_dev && held.ino == st.st_ino)
                    return;
        }
        lockInode(st.st_dev, st.st_ino, nullptr);
    }

    void releaseInodeLock()
    {
        std::lock_guard guard(inodeMutex);
        for (const InodeLock &held : inodeLocks) {
            ::unlink(native(held.file).constData());
            ::close(held.fd);
        }
        inodeLocks.clear();
    }

    // --- the lock file --------------------------------------------------

    // Creates the lock file afresh; 0 or the error.
    int create()
    {
        const int fd = ::open(native(lockFile).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return errno;
        // Readable by every user of the share, whatever the umask: another
        // learner's program must be able to say who holds the folder.
        ::fchmod(fd, 0644);
        const bool ok = writeAll(fd, written, 0) && ::fsync(fd) == 0;
        const int error = ok ? 0 : errno;
        ::close(fd);
        if (!ok) {
            ::unlink(native(lockFile).constData());
            return error ? error : EIO;
        }
        return 0;
    }

    bool ours(const Seen &seen) const
    {
        return seen.kind == Seen::Regular && seen.owner.known && seen.owner.token == mine.token;
    }

    // Moves the lock file aside and removes it, if it still is what `stale`
    // saw; anything else found there is put back.
    bool removeIfStill(const Seen &stale)
    {
        const Seen now = inspect(lockFile);
        if (now.kind == Seen::Missing)
            return true;
        if (!now.sameAs(stale))
            return false;
        const QString aside = lockFile + QStringLiteral(".stale.") + mine.token.left(12);
        if (::rename(native(lockFile).constData(), native(aside).constData()) != 0)
            return errno == ENOENT;
        const Seen moved = inspect(aside);
        const bool same = moved.kind == stale.kind && moved.content == stale.content;
        if (!same) {
            // A fresh lock of a faster copy: give it back (never over a newer one).
            ::link(native(aside).constData(), native(lockFile).constData());
        }
        ::unlink(native(aside).constData());
        return same;
    }

    // After creating: reads the lock back once the share has had time to
    // show a competing creation, and keeps it only if it is still ours.
    enum class Verify { Ours, Theirs, Gone };
    Verify verify(Seen *seen)
    {
        sleepMs(onNetworkFileSystem(QFileInfo(lockFile).absolutePath()) ? 1500 : 0);
        *seen = inspect(lockFile);
        if (ours(*seen))
            return Verify::Ours;
        return seen->kind == Seen::Missing ? Verify::Gone : Verify::Theirs;
    }

    // --- the heartbeat --------------------------------------------------

    enum class Beat { Done, Missing, Lost, Failed };
    Beat beatOnce()
    {
        const int fd = ::open(native(lockFile).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT ? Beat::Missing : errno == ELOOP ? Beat::Lost : Beat::Failed;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return Beat::Lost;
        }
        char buffer[kMaxLockBytes];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        if (n < 0) {
            ::close(fd);
            return Beat::Failed;
        }
        if (parse(QByteArray(buffer, n)).token != mine.token) {
            ::close(fd);
            return Beat::Lost;
        }
        ++mine.beat;
        written = serialize(mine);
        // Written through the descriptor opened above: if the file is
        // replaced meanwhile, the rewrite lands in the removed one.
        const bool ok = writeAll(fd, written, 0);
        ::fsync(fd);
        ::close(fd);
        return ok ? Beat::Done : Beat::Failed;
    }

    void beatLoop()
    {
        const auto interval = std::chrono::seconds(heartbeatSeconds());
        int missing = 0;
        std::unique_lock guard(mutex);
        while (!stopping) {
            wake.wait_for(guard, interval, [this] { return stopping; });
            if (stopping)
                break;
            guard.unlock();
            const Beat beat = beatOnce();
            if (beat == Beat::Done)
                followDataFile();
            guard.lock();
            missing = beat == Beat::Missing ? missing + 1 : 0;
            // Gone twice in a row, or another's: a copy on another computer
            // took the folder over. A single miss may be the share's cache.
            if (beat == Beat::Lost || missing >= 2) {
                lostFlag = true;
                std::function<void()> handler = lostHandler;
                guard.unlock();
                if (handler)
                    handler();
                guard.lock();
                break;
            }
        }
    }

    void startBeating()
    {
        stopping = false;
        beater = std::thread([this] { beatLoop(); });
    }

    void stopBeating()
    {
        {
            std::lock_guard guard(mutex);
            stopping = true;
        }
        wake.notify_all();
        if (beater.joinable())
            beater.join();
    }
};

CourseLock::CourseLock(const QString &dataFile) : d(std::make_unique<Private>())
{
    d->q = this;
    const QFileInfo info(dataFile);
    // Resolved, so that every path to one file meets at one lock.
    const QString resolved = info.canonicalFilePath();
    d->dataFile = resolved.isEmpty() ? info.absoluteFilePath() : resolved;
    d->lockFile = d->dataFile + QStringLiteral(".lock");
    m_lockFile = d->lockFile;
    d->mine = LockOwner::current();
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(releaseAllAtExit); });
    std::lock_guard guard(g_liveMutex);
    g_live.push_back(this);
}

CourseLock::~CourseLock()
{
    release();
    std::lock_guard guard(g_liveMutex);
    g_live.erase(std::remove(g_live.begin(), g_live.end(), this), g_live.end());
}

int CourseLock::staleLimitSeconds()
{
    bool ok = false;
    const int fromTest = qEnvironmentVariableIntValue("TARVEL_LOCK_STALE_SECONDS", &ok);
    return ok && fromTest >= 2 ? fromTest : 120;
}

int CourseLock::heartbeatSeconds()
{
    return std::clamp(staleLimitSeconds() / 24, 1, 5);
}

bool CourseLock::isLocked() const
{
    return d->held && !d->lostFlag;
}

bool CourseLock::lost() const
{
    return d->lostFlag;
}

void CourseLock::setLostHandler(std::function<void()> handler)
{
    std::lock_guard guard(d->mutex);
    d->lostHandler = std::move(handler);
}

QString CourseLock::busyMessage(const LockOwner &o)
{
    if (!o.known)
        return QStringLiteral("Учебник уже запущен из этой папки курса на другом компьютере "
                              "или другой копией программы.\n\nДве копии испортили бы данные "
                              "учеников. Закройте другую копию и запустите учебник снова.");
    return QStringLiteral("Учебник уже запущен из этой папки курса %1.\n\nДве копии испортили бы "
                          "данные учеников. Закройте учебник на том компьютере и запустите его "
                          "здесь снова.")
        .arg(who(o));
}

QString CourseLock::staleMessage(const LockOwner &o, qint64 silentSecs)
{
    const QString holder = o.known ? QStringLiteral("Учебник был запущен из этой папки курса %1, "
                                                    "но эта копия не подает признаков жизни уже %2")
                                         .arg(who(o), duration(silentSecs))
                                   : QStringLiteral("Папку курса занимала копия учебника, которая не "
                                                    "подает признаков жизни уже %1")
                                         .arg(duration(silentSecs));
    return holder + QStringLiteral(": вероятно, компьютер выключили или программа завершилась "
                                   "аварийно.\n\nЕсли учебник там действительно закрыт, папку "
                                   "можно занять на этом компьютере. Занять папку курса?");
}

// One loop on purpose (about 110 lines): every retry decides afresh from
// what the share shows now, and the outcome, owner and message it leaves
// belong together; cut into steps, each would have to carry that state.
bool CourseLock::tryLock()
{
    m_message.clear();
    m_owner = LockOwner();
    m_silentSecs = 0;
    if (isLocked() || d->unguarded) {
        m_outcome = Outcome::Locked;
        return true;
    }
    if (d->held) // lost earlier: start afresh
        release();
    d->lostFlag = false;
    d->mine.token = randomToken();
    d->mine.beat = 0;
    d->written = serialize(d->mine);

    LockOwner sameFile;
    if (!d->takeInodeLock(&sameFile)) {
        m_owner = sameFile;
        m_outcome = Outcome::Busy;
        m_message = busyMessage(sameFile);
        return false;
    }

    const auto fail = [this](const QString &text) {
        d->releaseInodeLock();
        m_message = text;
        return false;
    };

    // A lock that flickers out of sight (a share's cache) is looked at again
    // for a few seconds before anything is decided.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!removeJunkOrSay())
            return fail(m_message);
        const int error = d->create();
        if (error == 0) {
            Seen seen;
            switch (d->verify(&seen)) {
            case Private::Verify::Ours:
                d->held = true;
                d->startBeating();
                m_outcome = Outcome::Locked;
                return true;
            case Private::Verify::Gone:
                sleepMs(150);
                continue;
            case Private::Verify::Theirs:
                m_owner = seen.owner;
                m_outcome = Outcome::Busy;
                return fail(busyMessage(seen.owner));
            }
        }
        if (error != EEXIST) {
            const QString folder = QFileInfo(d->lockFile).absolutePath();
            if ((error == EACCES || error == EPERM || error == EROFS) &&
                ::access(native(folder).constData(), W_OK) != 0) {
                // Nothing can be saved here either: nothing to guard.
                d->releaseInodeLock();
                d->unguarded = true;
                m_outcome = Outcome::Locked;
                return true;
            }
            m_outcome = Outcome::Failed;
            return fail(QStringLiteral("Учебник не может быть запущен: не удалось создать файл "
                                       "блокировки «%1» (%2). Без него две копии программы могли "
                                       "бы испортить данные учеников.")
                            .arg(QDir::toNativeSeparators(d->lockFile),
                                 files::systemErrorText(error)));
        }

        Seen seen = inspect(d->lockFile);
        if (seen.kind == Seen::Missing) {
            // The ghost of a removed lock in this computer's cache: looking
            // at it clears it, so the first retries come at once.
            if (attempt >= 2)
                sleepMs(150);
            continue;
        }
        if (seen.kind == Seen::Junk)
            continue; // removed at the top of the loop, or said why not
        // A lock still being written reads empty on another computer for a
        // second or so: give it time to name its owner.
        for (int wait = 0; seen.kind == Seen::Regular && !seen.owner.known && wait < 12; ++wait) {
            sleepMs(250);
            seen = inspect(d->lockFile);
        }
        if (seen.kind == Seen::Missing)
            continue;
        if (seen.kind == Seen::Error) {
            m_outcome = Outcome::Failed;
            return fail(QStringLiteral("Учебник не может быть запущен: не удалось прочитать файл "
                                       "блокировки «%1» (%2).")
                            .arg(QDir::toNativeSeparators(d->lockFile),
                                 files::systemErrorText(seen.error)));
        }
        // Ended on this very computer: no copy can hold it any more.
        if (seen.kind == Seen::Regular && d->sameComputer(seen.owner) &&
            Private::processGone(seen.owner.pid)) {
            d->removeIfStill(seen);
            continue;
        }
        d->last = seen;
        m_owner = seen.owner;
        m_silentSecs = std::max<qint64>(0, (serverNowNs(d->lockFile) - seen.mtimeNs) / 1000000000);
        if (m_silentSecs > staleLimitSeconds()) {
            m_outcome = Outcome::Stale;
            return fail(staleMessage(seen.owner, m_silentSecs));
        }
        m_outcome = Outcome::Busy;
        return fail(busyMessage(seen.owner));
    }
    m_outcome = Outcome::Busy;
    return fail(busyMessage(LockOwner()));
}

bool CourseLock::removeJunkOrSay()
{
    struct stat st {};
    if (::lstat(native(d->lockFile).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    if (removeJunk(d->lockFile))
        return true;
    m_outcome = Outcome::Failed;
    m_message = QStringLiteral("Учебник не может быть запущен: на месте файла блокировки «%1» "
                               "находится %2, и убрать ее не удалось. Удалите «%1» и запустите "
                               "учебник снова.")
                    .arg(QDir::toNativeSeparators(d->lockFile), whatIs(st.st_mode));
    return false;
}

bool CourseLock::takeOver()
{
    if (m_outcome != Outcome::Stale)
        return tryLock();
    const Seen stale = d->last;
    // The last check: a live holder rewrites its lock within a heartbeat or
    // two, whatever a share's cache says about the time stamp.
    const int pauseMs = (2 * heartbeatSeconds() + 1) * 1000;
    for (int waited = 0; waited < pauseMs; waited += 250) {
        sleepMs(250);
        const Seen now = inspect(d->lockFile);
        if (now.kind == Seen::Missing)
            return tryLock();
        if (!now.sameAs(stale) && now.kind != Seen::Error) {
            m_owner = now.owner;
            m_outcome = Outcome::Busy;
            m_message = busyMessage(now.owner);
            return false;
        }
    }
    if (!d->removeIfStill(stale)) {
        m_outcome = Outcome::Busy;
        m_message = busyMessage(m_owner);
        return false;
    }
    return tryLock();
}

void CourseLock::release()
{
    std::lock_guard guard(d->releaseMutex);
    d->stopBeating();
    if (d->held && !d->lostFlag) {
        const Seen seen = inspect(d->lockFile);
        if (d->ours(seen))
            ::unlink(native(d->lockFile).constData());
    }
    d->held = false;
    d->releaseInodeLock();
}

} // namespace learners
