#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// A learner's report file as the textbook writes it: UTF-16LE with the mark
// FF FE, lines of "0;" and Base64 (Windows-1251 bytes) separated by CR LF.
// Decoded, it holds the learner's fields and four lines per test result.

namespace teacher {

struct TestResult
{
    QString topic;       // as written: "0" for the general test, else a lecture's position
    QString dateText;    // the stored time stamp, its line feed dropped
    QDateTime date;      // invalid when the stamp is not in the textbook's form
    QString percentText; // as written, without the per cent sign
    double percent = 0;  // the share of right answers
};

struct Report
{
    QString path; // the file as given
    // What is wrong with the file and what to do, in the teacher's words;
    // empty for a sound report.
    QString error;
    // The line of the file where reading stopped (1 for the first), 0 when
    // the file was refused without being read.
    int errorLine = 0;

    QString name, surname, group, mail;
    QString registeredText;
    QDateTime registered;
    QVector<TestResult> results;

    // The decoded lines, as far as they could be decoded (unless they were
    // not asked for).
    QStringList lines;

    bool isSound() const { return error.isEmpty(); }
    // Whether the learner's fields were read: a damaged file may still name
    // its learner and hold the results before the damage.
    bool hasLearner = false;
};

// Larger files are not reports and are refused unread.
constexpr qint64 kMaxReportBytes = 16 * 1024 * 1024;

// Whether Report::lines is filled: the class's table does without them,
// and they are most of a report's memory.
enum class ReportLines { Keep, Drop };

// Decodes the bytes of a report file. Never throws: what is wrong goes into
// error, and whatever was read before it stays.
Report decodeReport(const QByteArray &bytes, const QString &path = QString(),
                    ReportLines lines = ReportLines::Keep);

// Reads and decodes a file; a file that cannot be read is an error too.
Report readReport(const QString &path, ReportLines lines = ReportLines::Keep);

// The time stamp form the textbook stores ("Tue Mar 08 14:05:09 2005", the
// line feed optional), read whatever the locale; invalid otherwise.
QDateTime parseStamp(const QString &text);

// A share of right answers as a report writes it: the number before the
// per cent sign with "." or "," as the decimal separator, as the learner's
// locale may have written it. False for anything else.
bool parsePercent(const QString &text, double *value);

} // namespace teacher
