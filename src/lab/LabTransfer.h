#pragma once

#include <QString>
#include <QStringList>

namespace learners {
class CourseData;
}

namespace lab {

class LabDatabase;

// Moving learner records between a dect.chh and the class database.
struct ImportReport
{
    int learners = 0, learnersKnown = 0; // copied, and found already there
    int results = 0, bookmarks = 0, openedPages = 0;
    QStringList skipped; // learners whose records could not be read, and why
    QString summary() const; // Russian, for tarvel-lab
};

// Copies every learner of the document, with results, bookmarks, place,
// preferences and opened lectures, into the class (one transaction). Each
// record is known by what it holds, so a second import of the same file adds
// nothing and an import of a grown file adds only what is new.
ImportReport importCourseData(LabDatabase &db, learners::CourseData &data, const QString &className);

struct ExportReport
{
    int learners = 0, results = 0, bookmarks = 0;
    QString summary(const QString &file) const;
};

// Writes target as a dect.chh: the course part of courseTemplate (a
// dect.chh of the course), with the learners of the class from the
// database in place of the template's own. The file appears whole or not
// at all. Throws LabError or learners::StoreError.
ExportReport exportCourseData(LabDatabase &db, const QString &courseTemplate, const QString &target,
                              const QString &className);

} // namespace lab
