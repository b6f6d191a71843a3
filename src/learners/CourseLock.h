#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace learners {

// Who holds a course folder: what a lock file says about the copy that made
// it.
struct LockOwner
{
    QString host;    // the computer's name
    QString user;    // the login (with the person's name, where known)
    QString machine; // the computer's identity (a renamed or cloned one differs)
    QString boot;    // its boot, so that a process number is only read where it means something
    qint64 pid = 0;
    QDateTime since; // when that copy started (UTC)
    QString token;   // unique to one taking of the lock
    quint64 beat = 0;
    bool known = false; // the file named its owner

    // This process, as it writes itself into its lock.
    static LockOwner current();
};

// Keeps a second copy of the program away from the same course data: both
// would hold their own copy of dect.chh in memory and each save would wipe
// out the other's changes. The course folder is often on a school's file
// share, where a file created "exclusively" may be created twice, a deleted
// file may still be seen for a moment and a fresh one may read empty, and
// where the computer that made a lock can be switched off at any time. So:
//
// - the lock file (dect.chh.lock beside the resolved dect.chh) names its
//   owner and a token; after creating it, the copy reads it back after a
//   short delay and goes on only if it is still its own;
// - while the copy runs, a thread rewrites the lock every few seconds, so its
//   time stamp, set by the file server's clock, shows it is alive;
// - a lock that has not been rewritten for staleLimitSeconds() (two minutes)
//   by the server's clock is stale on any computer and may be taken over,
//   after a last check that it really stands still; one left by an ended
//   process of this very computer is taken over at once;
// - a lock that reads empty or missing for a moment is never taken for an
//   orphan;
// - on this computer the data file is also locked by its device and inode,
//   so that a dect.chh reached through a hard link is locked as well.
class CourseLock
{
public:
    enum class Outcome {
        Locked, // ours
        Busy,   // another copy runs
        Stale,  // another copy held it but has stopped giving signs of life
        Failed, // no lock can be made here (message() says why)
    };

    // dataFile is the course data document the lock guards.
    explicit CourseLock(const QString &dataFile = QStringLiteral("dect.chh"));
    // Releases the lock.
    ~CourseLock();
    CourseLock(const CourseLock &) = delete;
    CourseLock &operator=(const CourseLock &) = delete;

    // True when the lock is ours. Otherwise outcome() says why and, for Busy
    // and Stale, owner() who holds it; a lock left by an ended copy on this
    // computer is taken over without asking. Where the folder cannot be
    // written to, nothing can be saved either, so there is nothing to guard:
    // true, without a lock file.
    bool tryLock();
    // After Stale: checks once more that the lock stands still (for a few
    // heartbeats), removes it and takes the lock. False when the other copy
    // proved alive (Busy) or the lock was lost to a faster copy.
    bool takeOver();
    // Removes the lock if it is still ours. Safe to call more than once.
    void release();

    bool isLocked() const;
    Outcome outcome() const { return m_outcome; }
    // The holder of the lock tryLock() found (Busy, Stale).
    LockOwner owner() const { return m_owner; }
    // How long the holder has given no sign of life, in seconds (Busy, Stale).
    qint64 silentSeconds() const { return m_silentSecs; }
    // Why the last tryLock() or takeOver() failed, in Russian for the user.
    QString message() const { return m_message; }
    // The lock file: next to the resolved data file.
    QString lockFileName() const { return m_lockFile; }

    // Whether the lock was lost while held: another copy found it stale and
    // took it (after this computer slept or lost the share for longer than
    // the limit). The handler runs on the heartbeat thread, once.
    bool lost() const;
    void setLostHandler(std::function<void()> handler);

    // A lock unchanged for this long is stale: 120 s. TARVEL_LOCK_STALE_SECONDS
    // shortens it for tests.
    static int staleLimitSeconds();
    // How often the holder rewrites its lock: a twenty-fourth of the limit,
    // 1 to 5 s.
    static int heartbeatSeconds();

    // Texts of the refusal for owner o: busy or stale for silentSecs.
    static QString busyMessage(const LockOwner &o);
    static QString staleMessage(const LockOwner &o, qint64 silentSecs);

    struct Private;

private:
    // Clears a FIFO, link, device or folder from the lock file's place;
    // false (with the message) when it cannot be removed.
    bool removeJunkOrSay();

    std::unique_ptr<Private> d;
    QString m_lockFile;
    QString m_message;
    Outcome m_outcome = Outcome::Failed;
    LockOwner m_owner;
    qint64 m_silentSecs = 0;
};

} // namespace learners
