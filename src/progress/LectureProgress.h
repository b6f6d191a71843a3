#pragma once

#include <QString>
#include <QVector>

namespace learners {
class CourseData;
class LearnerStore;
class LearnerId;
}

namespace progress {

// A lecture's test counts as passed from this share of right answers.
inline constexpr int kPassPercent = 70;

// How far a learner is with one lecture.
struct LectureProgress
{
    int lecture = 0;   // 1 to 8: the lecture's page and test topic
    bool opened = false;
    int tests = 0;     // results stored for the lecture's own test
    int best = -1;     // the best of them in per cent; -1 without any
    bool passed() const { return best >= kPassPercent; }
};

// One entry per lecture of the course's lecture list (from position 1), as
// far as the learner's records in the store show. Throws as the course
// data's and the store's reads do.
QVector<LectureProgress> lectureProgress(const learners::CourseData &course,
                                         const learners::LearnerStore &store,
                                         learners::LearnerId learner);

// A compact form for the home screen's movie: one field per lecture,
// separated by ";", each "<lecture>,<opened 0|1>,<best or -1>".
QString progressVariable(const QVector<LectureProgress> &lectures);

} // namespace progress
