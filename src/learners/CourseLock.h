#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace learners {

// Keeps a second copy of the program away from the same course data: both
// would hold their own copy of dect.chh in memory and each save would wipe
// out the other's changes. The lock belongs to the file dect.chh resolves
// to, so two folders that reach one file through a link exclude each other.
class CourseLock
{
public:
    // dataFile is the course data document the lock guards.
    explicit CourseLock(const QString &dataFile = QStringLiteral("dect.chh"));
    ~CourseLock();
    CourseLock(const CourseLock &) = delete;
    CourseLock &operator=(const CourseLock &) = delete;

    // False when the program must not go on: another running copy holds the
    // lock, or the lock could not be taken at all (a full disk, a broken
    // file system); message() says which. A lock left by a copy that has
    // ended is taken over. Where the folder cannot be written to, nothing
    // can be saved either, so there is nothing to protect and it is true.
    bool tryLock();
    bool isLocked() const;
    // Why the last tryLock() failed.
    QString message() const { return m_message; }
    // The lock file: next to the resolved data file.
    QString lockFileName() const { return m_lockFile; }

    // Shown when another copy holds the lock.
    static QString busyMessage();

private:
    // Whether the lock file names its owner (pid, host, program).
    bool ownerKnown() const;

    QString m_lockFile;
    QString m_message;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace learners
