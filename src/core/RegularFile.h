#pragma once

#include <QString>

#include <memory>

class QFile;

namespace files {

// True when path names a regular file (symbolic links followed). Everything
// the program reads is checked first: opening a FIFO blocks until a writer
// comes, and a device may never end, so neither may be opened at all.
bool isRegular(const QString &path);

// True when path lies inside folder once both are resolved (symbolic links,
// "." and ".."); folder itself does not count. A path that does not exist
// is never inside.
bool isInside(const QString &path, const QString &folder);

// Opens path for reading, once, and checks what was opened rather than the
// name: the last part may not be a symbolic link, the file must be a
// regular one, and where the open descriptor really lies must be inside
// folder. A file swapped for a link or a FIFO between a check and the open
// is refused, and a FIFO never blocks. nullptr when refused or unreadable.
std::unique_ptr<QFile> openInside(const QString &path, const QString &folder);

} // namespace files
