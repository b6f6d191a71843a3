#pragma once

#include "lab/LabSettings.h"

#include <QProcessEnvironment>
#include <QStringList>
#include <optional>

class QIODevice;

// The program's form for scripts: decoded reports as UTF-8 text, or the
// class as CSV. Messages go to err; the exit status is 0 when every file
// was a sound report, 1 when one was not, 2 when the call itself was wrong.

namespace teacher {

class CourseTopics;

int printReports(const QStringList &files, QIODevice &out, QIODevice &err);
int printClassCsv(const QString &dir, const CourseTopics &topics, QIODevice &out, QIODevice &err);

// The class database the teacher names with --lab: a lab file, a course
// folder holding lab.ini, or a libpq connection string; an empty value
// means what a seat would use (TARVEL_LAB, else the course folder's lab.ini).
// nullopt when nothing names one; throws lab::LabError when what is named
// cannot be used.
std::optional<lab::ConnectionSettings>
labSource(const QString &value, const QString &courseDir,
          const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace teacher
