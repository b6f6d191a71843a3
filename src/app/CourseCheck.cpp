#include "app/CourseCheck.h"

#include "learners/CourseData.h"
#include "reader/PageCatalogue.h"
#include "richtext/RvfFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <exception>
#include <set>

namespace {

// "line N: reason" from the readers becomes "file:N: reason".
QString located(const QString &file, const QString &message)
{
    static const QRegularExpression linePrefix(QStringLiteral("^line (\\d+): "));
    const auto match = linePrefix.match(message);
    if (match.hasMatch())
        return file + u':' + match.captured(1) + QStringLiteral(": ") +
               message.mid(match.capturedLength());
    return file + QStringLiteral(": ") + message;
}

void checkDocument(const QDir &course, const QString &relative, QStringList &problems)
{
    const QString path = course.filePath(relative);
    QFile file(path);
    if (!file.exists()) {
        problems << relative + QStringLiteral(": missing (the textbook ends when it opens this page)");
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        problems << relative + QStringLiteral(": ") + file.errorString();
        return;
    }
    if (file.size() > kRvfMaxBytes) {
        problems << relative + QStringLiteral(": larger than %1 bytes").arg(kRvfMaxBytes);
        return;
    }
    const QByteArray data = file.readAll();
    richtext::RVDocument doc;
    QString error;
    QStringList notes;
    if (!parseRvf(data, QFileInfo(path).absolutePath(), doc, &error, &notes)) {
        problems << located(relative, error);
        return;
    }
    for (const QString &note : notes)
        problems << located(relative, note);
}

} // namespace

QStringList checkCourse(const QString &folder)
{
    const QDir course(folder);
    QStringList problems;

    // Every document a page number can lead to, each once.
    std::set<QString> documents;
    for (int page : {pages::kInfo, pages::kContents, pages::kDictionary, pages::kIntroduction})
        documents.insert(pages::pageEntry(page).document);
    for (int page = pages::kFirstLecture; page <= pages::kLastLecture; ++page)
        documents.insert(pages::pageEntry(page).document);
    for (const QString &document : documents)
        checkDocument(course, document, problems);

    // The course data document: the readers' own reasons name the line.
    learners::CourseData data(course.filePath(QStringLiteral("dect.chh")));
    try {
        data.LoadCourseData();
        data.readLectures([](const learners::CourseData::Lecture &) {});
        data.readLearnerNames([](const QString &) {});
    } catch (const std::exception &e) {
        problems << QStringLiteral("dect.chh: ") + QString::fromUtf8(e.what());
    }
    return problems;
}
