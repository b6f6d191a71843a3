#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace learners {

// Keeps a second copy of the program away from the same course folder: both
// would hold their own copy of dect.chh in memory and each save would wipe
// out the other's changes.
class CourseLock
{
public:
    explicit CourseLock(const QString &fileName = QStringLiteral("dect.chh.lock"));
    ~CourseLock();
    CourseLock(const CourseLock &) = delete;
    CourseLock &operator=(const CourseLock &) = delete;

    // False only when another running copy holds the lock. A lock left by a
    // copy that has ended is taken over. Where no lock file can be written
    // (a read-only folder) nothing can be saved either, so there is nothing
    // to protect and the program may go on.
    bool tryLock();
    bool isLocked() const;

    // Shown when tryLock() fails.
    static QString busyMessage();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace learners
