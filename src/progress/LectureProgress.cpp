#include "progress/LectureProgress.h"

#include "learners/CourseData.h"
#include "learners/LearnerStore.h"

#include <algorithm>
#include <cmath>

namespace progress {

QVector<LectureProgress> lectureProgress(const learners::CourseData &course,
                                         const learners::LearnerStore &store,
                                         learners::LearnerId learner)
{
    int count = 0;
    course.readLectures([&](const learners::CourseData::Lecture &) { ++count; }, false);
    QVector<LectureProgress> list;
    for (int lecture = 1; lecture < count; ++lecture)
        list.append({lecture, false, 0, -1});

    for (int page : store.openedPages(learner))
        if (page >= 1 && page <= list.size())
            list[page - 1].opened = true;

    for (const learners::TestRecord &record : store.testRecords(learner)) {
        bool ok = false;
        const int lecture = record.number.trimmed().toInt(&ok);
        if (!ok || lecture < 1 || lecture > list.size())
            continue; // the general test, or a topic the course no longer has
        const double right = record.right.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(right))
            continue;
        LectureProgress &p = list[lecture - 1];
        ++p.tests;
        p.best = std::max(p.best, int(std::clamp(right, 0.0, 100.0)));
    }
    return list;
}

QString progressVariable(const QVector<LectureProgress> &lectures)
{
    QStringList fields;
    for (const LectureProgress &p : lectures)
        fields.append(QStringLiteral("%1,%2,%3").arg(p.lecture).arg(p.opened ? 1 : 0).arg(p.best));
    return fields.join(QLatin1Char(';'));
}

} // namespace progress
