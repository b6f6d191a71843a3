#pragma once

// The lock file itself, apart from the lock's rules: its text, what is found
// at its place, the server's clock, and the Russian words the refusal uses.
// Private to the course lock and its tests.

#include "learners/CourseLock.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

namespace learners::lockfile {

constexpr qsizetype kMaxLockBytes = 4096;
constexpr char kMagic[] = "tarvel-lock 1";

// What is found at the lock file's place. Opened without following a link
// and without waiting (a FIFO or a device is never read), and read only up to
// a bound.
struct Seen
{
    enum Kind { Missing, Regular, Unreadable, Junk, Error } kind = Missing;
    int error = 0;
    QByteArray content;
    LockOwner owner;
    qint64 mtimeNs = 0;
    qint64 size = 0;
    mode_t mode = 0;

    // A readable lock changes its text at every heartbeat; only where the
    // text says nothing is its time stamp compared (which a share's cache
    // may show late).
    bool sameAs(const Seen &o) const
    {
        if (kind != o.kind || content != o.content)
            return false;
        return (kind == Regular && owner.known) || (mtimeNs == o.mtimeNs && size == o.size);
    }
};


QByteArray native(const QString &path);
void sleepMs(int ms);
QString oneLine(QString s);
QString randomToken();
QByteArray serialize(const LockOwner &o);
LockOwner parse(const QByteArray &bytes);
bool onNetworkFileSystem(const QString &folder);
qint64 mtimeNsOf(const struct stat &st);
Seen inspect(const QString &path);
qint64 serverNowNs(const QString &lockFile);
bool writeAll(int fd, const QByteArray &bytes, off_t at);
bool removeJunk(const QString &path);
QString whatIs(mode_t mode);
QString plural(qint64 n, const char *one, const char *few, const char *many);
QString duration(qint64 secs);
QString who(const LockOwner &o);

} // namespace learners::lockfile
