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

namespace learners::lockfile {

using namespace std::chrono_literals;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

QString oneLine(QString s)
{
    s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return s.left(200);
}

QString randomToken()
{
    QRandomGenerator *r = QRandomGenerator::system();
    return QString::number(r->generate64(), 16).rightJustified(16, QLatin1Char('0')) +
           QString::number(r->generate64(), 16).rightJustified(16, QLatin1Char('0'));
}

QByteArray serialize(const LockOwner &o)
{
    QByteArray out = kMagic;
    out += '\n';
    const auto field = [&out](const char *key, const QString &value) {
        out += key;
        out += '=';
        out += oneLine(value).toUtf8();
        out += '\n';
    };
    field("token", o.token);
    field("host", o.host);
    field("user", o.user);
    field("machine", o.machine);
    field("boot", o.boot);
    field("pid", QString::number(o.pid));
    field("since", o.since.toUTC().toString(Qt::ISODate));
    // Fixed width: a rewrite never changes the length, so a reader never
    // sees the file cut short.
    field("beat", QStringLiteral("%1").arg(o.beat, 16, 10, QLatin1Char('0')));
    return out;
}

LockOwner parse(const QByteArray &bytes)
{
    LockOwner o;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.first() != kMagic)
        return o;
    for (const QByteArray &line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "token")
            o.token = value;
        else if (key == "host")
            o.host = value;
        else if (key == "user")
            o.user = value;
        else if (key == "machine")
            o.machine = value;
        else if (key == "boot")
            o.boot = value;
        else if (key == "pid")
            o.pid = value.toLongLong();
        else if (key == "since")
            o.since = QDateTime::fromString(value, Qt::ISODate);
        else if (key == "beat")
            o.beat = value.toULongLong();
    }
    o.known = !o.token.isEmpty();
    return o;
}

// A file system where "exclusive" creation and a fresh file's content cannot
// be trusted at once: every network and FUSE file system.
bool onNetworkFileSystem(const QString &folder)
{
    struct statfs fs {};
    if (::statfs(native(folder).constData(), &fs) != 0)
        return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE (sshfs, smbnetfs, ...)
    case 0x01021997UL: // 9P
    case 0x00C36400UL: // Ceph
    case 0x5346414FUL: // AFS
    case 0x73757245UL: // Coda
    case 0x7461636FUL: // OCFS2
    case 0x01161970UL: // GFS2
        return true;
    default:
        return false;
    }
}


qint64 mtimeNsOf(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

Seen inspect(const QString &path)
{
    Seen seen;
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        seen.error = errno;
        struct stat st {};
        if (seen.error == ENOENT) {
            seen.kind = Seen::Missing;
        } else if (::lstat(native(path).constData(), &st) == 0) {
            seen.mode = st.st_mode;
            seen.mtimeNs = mtimeNsOf(st);
            seen.size = st.st_size;
            seen.kind = S_ISREG(st.st_mode) ? Seen::Unreadable : Seen::Junk;
        } else {
            seen.kind = errno == ENOENT ? Seen::Missing : Seen::Error;
        }
        return seen;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        seen.error = errno;
        seen.kind = Seen::Error;
        ::close(fd);
        return seen;
    }
    seen.mode = st.st_mode;
    seen.mtimeNs = mtimeNsOf(st);
    seen.size = st.st_size;
    if (!S_ISREG(st.st_mode)) {
        seen.kind = Seen::Junk;
        ::close(fd);
        return seen;
    }
    seen.kind = Seen::Regular;
    char buffer[kMaxLockBytes];
    qsizetype total = 0;
    while (total < kMaxLockBytes) {
        const ssize_t n = ::read(fd, buffer + total, size_t(kMaxLockBytes - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    seen.content = QByteArray(buffer, total);
    seen.owner = parse(seen.content);
    return seen;
}

// The file server's present time, as it stamps a file made now; the local
// clock where no file can be made.
qint64 serverNowNs(const QString &lockFile)
{
    const QString probe = lockFile + QStringLiteral(".clock.") + randomToken().left(12);
    const int fd = ::open(native(probe).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    qint64 now = QDateTime::currentMSecsSinceEpoch() * 1000000;
    if (fd < 0)
        return now;
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        now = mtimeNsOf(st);
    ::close(fd);
    ::unlink(native(probe).constData());
    return now;
}

bool writeAll(int fd, const QByteArray &bytes, off_t at)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                   at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Removes what stands at the lock file's place but cannot be a lock (a FIFO,
// a link, a device, a folder): no copy of the program makes such a thing.
bool removeJunk(const QString &path)
{
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0)
        return errno == ENOENT;
    if (S_ISREG(st.st_mode))
        return true;
    if (S_ISDIR(st.st_mode))
        return ::rmdir(native(path).constData()) == 0;
    return ::unlink(native(path).constData()) == 0;
}

QString whatIs(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("папка");
    if (S_ISLNK(mode))
        return QStringLiteral("символическая ссылка");
    if (S_ISFIFO(mode))
        return QStringLiteral("именованный канал");
    if (S_ISSOCK(mode))
        return QStringLiteral("сокет");
    return QStringLiteral("файл устройства");
}

QString plural(qint64 n, const char *one, const char *few, const char *many)
{
    const qint64 mod100 = n % 100, mod10 = n % 10;
    const char *form = (mod100 >= 11 && mod100 <= 14) ? many
                       : mod10 == 1                   ? one
                       : (mod10 >= 2 && mod10 <= 4)   ? few
                                                      : many;
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(form);
}

QString duration(qint64 secs)
{
    if (secs < 120)
        return plural(std::max<qint64>(secs, 0), "секунду", "секунды", "секунд");
    if (secs < 2 * 3600)
        return plural(secs / 60, "минуту", "минуты", "минут");
    if (secs < 2 * 86400)
        return plural(secs / 3600, "час", "часа", "часов");
    return plural(secs / 86400, "день", "дня", "дней");
}

QString who(const LockOwner &o)
{
    QString text = QStringLiteral("на компьютере «%1»").arg(o.host.isEmpty() ? QStringLiteral("?") : o.host);
    if (!o.user.isEmpty())
        text += QStringLiteral(", пользователь «%1»").arg(o.user);
    if (o.since.isValid())
        text += QStringLiteral(", запущен %1")
                    .arg(o.since.toLocalTime().toString(QStringLiteral("dd.MM.yyyy в HH:mm")));
    return text;
}

} // namespace learners::lockfile
