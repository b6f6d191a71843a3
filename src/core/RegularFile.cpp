#include "core/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

bool isRegular(const QString &path)
{
    // A fresh QFileInfo: no cached answer from before the file changed.
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool isInside(const QString &path, const QString &folder)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    QString root = QFileInfo(folder).canonicalFilePath();
    if (resolved.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return resolved.startsWith(root) && resolved.size() > root.size();
}

std::unique_ptr<QFile> openInside(const QString &path, const QString &folder)
{
    QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || path.isEmpty())
        return nullptr;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    // Not blocking: a FIFO opens at once, and is refused below.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    // Where the descriptor is, as the kernel knows it: folders on the way
    // that were links are resolved, and a file moved since shows its new
    // place.
    const QString proc = QStringLiteral("/proc/self/fd/%1").arg(fd);
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(proc).constData(), target.data(), size_t(target.size()));
    if (n <= 0 || n >= target.size()) {
        ::close(fd);
        return nullptr;
    }
    target.truncate(n);
    const QString real = QFile::decodeName(target);
    if (!real.startsWith(root) || real.size() <= root.size()) {
        ::close(fd);
        return nullptr;
    }
    // Back to blocking reads, as a regular file always allows.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

} // namespace files
