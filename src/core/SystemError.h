#pragma once

#include <QString>

namespace files {

// The learners read Russian: a failure the system reports (an errno, or the
// English text a Qt file class made of it) is put into Russian words for
// the program's messages. The system's own text goes to standard error,
// where whoever looks after the computer finds it.
QString systemErrorText(int error);
QString systemErrorText(const QString &systemText);

} // namespace files
