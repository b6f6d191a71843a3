#include "learners/CourseLock.h"

#include <QFileInfo>
#include <QLockFile>

namespace learners {

CourseLock::CourseLock(const QString &fileName)
    : m_lock(std::make_unique<QLockFile>(QFileInfo(fileName).absoluteFilePath()))
{
    // The program runs for hours: the lock is stale only when its owner has
    // ended, never because of its age.
    m_lock->setStaleLockTime(0);
}

CourseLock::~CourseLock() = default;

bool CourseLock::tryLock()
{
    if (m_lock->isLocked())
        return true;
    if (m_lock->tryLock(0))
        return true;
    return m_lock->error() != QLockFile::LockFailedError;
}

bool CourseLock::isLocked() const
{
    return m_lock->isLocked();
}

QString CourseLock::busyMessage()
{
    return QStringLiteral("Учебник уже запущен из этой папки. Закройте другую копию программы.");
}

} // namespace learners
