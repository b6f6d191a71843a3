#pragma once

// Report files made by the textbook's own export code, so that the reader
// under test and the writer cannot drift apart.

#include "core/LineCodec.h"
#include "learners/CourseData.h"
#include "learners/DectStore.h"
#include "progress/ProgressText.h"
#include "richtext/RVDocument.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

namespace fixtures {

inline QString courseFile()
{
    return QStringLiteral(TARVEL_TEST_DATA "/teacher/dect.chh");
}

// Coded lines collected and written as the report screen does it.
inline QByteArray reportBytes(const QStringList &lines)
{
    RVDocument doc;
    for (const QString &line : lines)
        doc.addText(core::EncodeLine(line), 2, 1, 0, 1);
    return doc.toUtf16Text(1);
}

// The report text of a learner of the test course, as the report screen
// gathers it.
inline QStringList reportLines(int learner)
{
    learners::CourseData data(courseFile());
    data.LoadCourseData();
    const learners::DectStore store(data);
    QStringList lines;
    progress::reportText(store, store.idAt(learner), [&](const QString &line) { lines << line; });
    return lines;
}

struct Attempt
{
    QString topic;
    QString date; // as stored, with its line feed
    QString percent;
};

// A report of a learner of the test course with the given history in place
// of the stored one: the same learner handing in reports week after week.
inline QStringList reportLines(int learner, const QList<Attempt> &attempts)
{
    QStringList lines = reportLines(learner).mid(0, 9); // up to the results
    for (const Attempt &a : attempts)
        lines << QStringLiteral("Тест по лекции: ") + a.topic
              << QStringLiteral("Дата выполнения: ") + a.date
              << QStringLiteral("Правильность: ") + a.percent + u'%' << QString(22, u'~');
    return lines;
}

inline QByteArray exportedReport(int learner)
{
    return reportBytes(reportLines(learner));
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace fixtures
