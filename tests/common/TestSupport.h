#pragma once

// Small helpers shared by the GUI tests.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace testsupport {

// Copies a folder with everything in it; false on the first failure.
inline bool copyTree(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return false;
    for (const QFileInfo &entry :
         QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

} // namespace testsupport
