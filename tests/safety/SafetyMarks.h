#pragma once

// The changes the saver makes carry numbers from kFirstMark on, so that they
// can be told apart from what the starting document already holds: a
// learner's surname, a test result's topic, a bookmark's page.

#include "learners/CourseData.h"

#include <set>

namespace safety {

constexpr int kFirstMark = 1000000;

inline void addMark(std::set<int> &marks, const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok && v >= kFirstMark)
        marks.insert(v);
}

// Every mark the document holds.
inline std::set<int> marksOf(learners::CourseData &data)
{
    std::set<int> marks;
    for (int i = 0; i < data.learnerCount(); ++i) {
        addMark(marks, data.learnerFields(i).sourname);
        for (const learners::CourseData::TestRecord &t : data.testRecords(i))
            addMark(marks, t.number);
        for (const learners::CourseData::Bookmark &b : data.bookmarks(i))
            if (b.page >= kFirstMark)
                marks.insert(b.page);
    }
    return marks;
}

} // namespace safety
