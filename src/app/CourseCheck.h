#pragma once

#include <QString>
#include <QStringList>

// Reads every course file the textbook reads (the page documents, the course
// data document) with the program's own readers and returns one line per
// problem: "file:line: what is wrong" (no line where none applies). Empty
// when the course reads cleanly.
QStringList checkCourse(const QString &folder);
