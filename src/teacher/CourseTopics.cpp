#include "teacher/CourseTopics.h"

#include "learners/CourseData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <exception>

namespace teacher {

bool CourseTopics::load(const QString &dectFile)
{
    if (!QFileInfo(dectFile).isFile())
        return false;
    try {
        learners::CourseData data(QFileInfo(dectFile).absoluteFilePath());
        data.LoadCourseData();
        QStringList titles;
        data.readLectures(
            [&](const learners::CourseData::Lecture &lecture) {
                titles << lecture.description.simplified();
            },
            false);
        m_titles = titles;
        m_loadedFrom = QFileInfo(dectFile).absoluteFilePath();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool CourseTopics::loadFirstFound(const QStringList &candidates)
{
    for (const QString &path : candidates) {
        if (load(path))
            return true;
    }
    return false;
}

QStringList CourseTopics::candidatePaths()
{
    QStringList paths;
    // The textbook's launcher keeps each user's copy of the course here.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        paths << data + QStringLiteral("/tarvel/course/dect.chh");
    // Installed: bin/tarvel-teacher and share/tarvel/course.
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty())
        paths << QDir::cleanPath(appDir + QStringLiteral("/../share/tarvel/course/dect.chh"));
    return paths;
}

QString CourseTopics::title(const QString &topic) const
{
    bool ok = false;
    const int n = topic.trimmed().toInt(&ok);
    if (!ok || n < 0)
        return QStringLiteral("Тест «%1»").arg(topic);
    if (n == 0)
        return QStringLiteral("Общий тест");
    const QString head = QStringLiteral("Лекция %1").arg(n);
    if (n < m_titles.size() && !m_titles[n].isEmpty())
        return head + QStringLiteral(". ") + m_titles[n];
    return head;
}

int CourseTopics::order(const QString &topic)
{
    bool ok = false;
    const int n = topic.trimmed().toInt(&ok);
    return ok && n >= 0 ? n : 1000000;
}

} // namespace teacher
