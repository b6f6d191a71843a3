#include "core/SaveLeftovers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

namespace {

bool isRegularNotLink(const QString &path, struct stat *st)
{
    return ::lstat(QFile::encodeName(path).constData(), st) == 0 && S_ISREG(st->st_mode);
}

} // namespace

bool isSaveLeftoverName(const QString &targetName, const QString &fileName)
{
    constexpr int kRandomPart = 6;
    if (targetName.isEmpty() || fileName.size() != targetName.size() + 1 + kRandomPart ||
        !fileName.startsWith(targetName) || fileName.at(targetName.size()) != QLatin1Char('.'))
        return false;
    // Six random letters and digits almost always mix two of the three
    // kinds; a name of one kind ("backup", "BACKUP", "202403") is far more
    // likely someone's copy, and stays.
    bool lower = false, upper = false, digit = false;
    for (int i = targetName.size() + 1; i < fileName.size(); ++i) {
        const QChar c = fileName.at(i);
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            lower = true;
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            upper = true;
        else if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else
            return false;
    }
    return int(lower) + int(upper) + int(digit) >= 2;
}

QStringList saveLeftovers(const QString &target)
{
    const QFileInfo info(target);
    const QString name = info.fileName();
    const QDir folder = info.absoluteDir();
    QStringList found;
    // Listed by a pattern first: a course folder on a share is read once,
    // and only near-matches are looked at closely.
    const QStringList candidates =
        folder.entryList({name + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &candidate : candidates) {
        struct stat st {};
        const QString path = folder.absoluteFilePath(candidate);
        if (isSaveLeftoverName(name, candidate) && isRegularNotLink(path, &st))
            found.append(path);
    }
    return found;
}

int removeOldSaveLeftovers(const QString &target, qint64 olderThanSecs)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    int removed = 0;
    for (const QString &path : saveLeftovers(target)) {
        struct stat st {};
        if (!isRegularNotLink(path, &st) || now - qint64(st.st_mtime) <= olderThanSecs)
            continue;
        if (::unlink(QFile::encodeName(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

int removeNewSaveLeftovers(const QString &target, const QStringList &before)
{
    int removed = 0;
    for (const QString &path : saveLeftovers(target)) {
        if (before.contains(path))
            continue;
        if (::unlink(QFile::encodeName(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace files
