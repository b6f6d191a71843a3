#pragma once

#include <QString>

namespace files {

// True when path names a regular file (symbolic links followed). Everything
// the program reads is checked first: opening a FIFO blocks until a writer
// comes, and a device may never end, so neither may be opened at all.
bool isRegular(const QString &path);

// True when path lies inside folder once both are resolved (symbolic links,
// "." and ".."); folder itself does not count. A path that does not exist
// is never inside.
bool isInside(const QString &path, const QString &folder);

} // namespace files
