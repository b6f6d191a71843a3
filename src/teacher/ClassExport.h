#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What leaves the teacher's program: the class as CSV for a spreadsheet, and
// one learner's sheet for printing.

namespace teacher {

class ClassTable;

// UTF-8 with a byte-order mark, ";" between fields and CR LF between rows:
// what spreadsheet programs set to Russian open with the Cyrillic intact.
// The rows are the table's, in the order given.
QByteArray classCsv(const ClassTable &table, const QList<int> &rows);
QByteArray classCsv(const ClassTable &table);

// One field: quoted when it holds the separator, a quote or a line break.
// A text that a spreadsheet would take for a formula is kept as text.
QString csvField(const QString &text);

// The learner's sheet as HTML: the learner's fields and every result the
// class's reports hold for that learner, oldest first.
QString learnerSheetHtml(const ClassTable &table, const QString &learnerKey);

} // namespace teacher
