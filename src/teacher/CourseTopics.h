#pragma once

#include <QString>
#include <QStringList>

// The names of the tests as a teacher knows them: the general test, or a
// lecture's title from the course the reports were written in.

namespace teacher {

class CourseTopics
{
public:
    // Reads the lecture titles from a course data document; false, with
    // the titles left as they were, when it cannot be read.
    bool load(const QString &dectFile);
    // The first of candidatePaths() that loads; false when none does.
    bool loadFirstFound(const QStringList &candidates);
    // Where a course is found: the user's working copy of the course, then
    // the installed course beside the program.
    static QStringList candidatePaths();

    QString loadedFrom() const { return m_loadedFrom; }

    // "Общий тест" for topic 0, else "Лекция N. Title" (just "Лекция N"
    // when the title is unknown); a topic that is no lecture number is
    // shown as written.
    QString title(const QString &topic) const;
    // Orders the tests: the general test first, then the lectures by number,
    // then anything else.
    static int order(const QString &topic);

private:
    QStringList m_titles; // by lecture position
    QString m_loadedFrom;
};

} // namespace teacher
