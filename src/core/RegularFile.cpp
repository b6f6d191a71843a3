#include "core/RegularFile.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace files
