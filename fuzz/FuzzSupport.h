#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// A finding that is no crash: a broken promise of the code under test.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// One scratch folder per process, in memory where the system offers it, so
// that writing a file per input costs little.
inline const QString &scratchDir()
{
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/tarvel-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/tarvel-fuzz-XXXXXX"));
    static const QString path = dir.isValid() ? dir.path() : (fail("no scratch folder"), QString());
    return path;
}

inline QString writeScratch(const QString &name, const QByteArray &content)
{
    const QString path = scratchDir() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        fail("cannot write the scratch file");
    return path;
}

} // namespace fuzz
