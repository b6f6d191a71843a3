#include "learners/CourseLock.h"

#include <QFileInfo>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>

namespace learners {

namespace {

QString lockFileFor(const QString &dataFile)
{
    const QFileInfo info(dataFile);
    // Resolved, so that every path to one file meets at one lock.
    const QString resolved = info.canonicalFilePath();
    return (resolved.isEmpty() ? info.absoluteFilePath() : resolved) + QStringLiteral(".lock");
}

} // namespace

CourseLock::CourseLock(const QString &dataFile)
    : m_lockFile(lockFileFor(dataFile)), m_lock(std::make_unique<QLockFile>(m_lockFile))
{
    // The program runs for hours: the lock is stale only when its owner has
    // ended, never because of its age.
    m_lock->setStaleLockTime(0);
}

CourseLock::~CourseLock() = default;

bool CourseLock::tryLock()
{
    m_message.clear();
    if (m_lock->isLocked())
        return true;
    if (m_lock->tryLock(0))
        return true;
    // A lock file whose owner cannot be read was left by a copy stopped
    // while writing it (a real owner writes it at once); with no age limit
    // it would lock everyone out for good. Once it is clearly orphaned, it
    // is taken over.
    constexpr qint64 kOrphanMs = 1500;
    QElapsedTimer waited;
    waited.start();
    while (m_lock->error() == QLockFile::LockFailedError && !ownerKnown() &&
           waited.elapsed() < 3 * kOrphanMs) {
        const QDateTime written = QFileInfo(m_lockFile).lastModified();
        if (!written.isValid() || written.msecsTo(QDateTime::currentDateTime()) > kOrphanMs)
            m_lock->removeStaleLockFile();
        else
            QThread::msleep(100);
        if (m_lock->tryLock(0))
            return true;
    }
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        m_message = busyMessage();
        return false;
    case QLockFile::PermissionError:
        // Only a folder that cannot be written to is harmless; a lock file
        // that cannot be read in a writable folder still guards the data.
        if (!QFileInfo(QFileInfo(m_lockFile).absolutePath()).isWritable())
            return true;
        break;
    default:
        break;
    }
    m_message = QStringLiteral("Учебник не может быть запущен: не удалось создать файл блокировки "
                               "«%1» (возможно, диск заполнен или недоступен). Без него две копии "
                               "программы могли бы испортить данные учеников.")
                    .arg(m_lockFile);
    return false;
}

bool CourseLock::ownerKnown() const
{
    qint64 pid = 0;
    QString host, application;
    return m_lock->getLockInfo(&pid, &host, &application);
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
