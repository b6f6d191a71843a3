#pragma once

#include <QStringList>

class QIODevice;

// The program's form for scripts: decoded reports as UTF-8 text, or the
// class as CSV. Messages go to err; the exit status is 0 when every file
// was a sound report, 1 when one was not, 2 when the call itself was wrong.

namespace teacher {

class CourseTopics;

int printReports(const QStringList &files, QIODevice &out, QIODevice &err);
int printClassCsv(const QString &dir, const CourseTopics &topics, QIODevice &out, QIODevice &err);

} // namespace teacher
