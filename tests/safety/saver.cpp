// Saves changes to a course data file for as long as it lives: registers a
// learner, then adds test results and bookmarks to it, registers the next,
// and so on. After each save has completed it writes the change's mark on a
// line of its own to stdout, so that whoever kills it knows what was saved;
// before each change it writes the mark after a "+", so that a kill inside a
// change and its save can be told from one between saves. It holds the
// course lock as the program does, so a kill leaves a stale lock behind for
// the next saver to take over.
//
//   safety_saver <dect.chh>
#include "SafetyMarks.h"

#include "learners/CourseLock.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void report(const char *format, int mark)
{
    char line[32];
    const int n = std::snprintf(line, sizeof line, format, mark);
    // One write per line: a kill never leaves half a mark behind.
    if (::write(STDOUT_FILENO, line, size_t(n)) != n)
        std::_Exit(3);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: safety_saver <dect.chh>\n");
        return 2;
    }
    learners::CourseLock lock(QString::fromLocal8Bit(argv[1]));
    if (!lock.tryLock()) {
        std::fprintf(stderr, "safety_saver: %s\n", qPrintable(lock.message()));
        return 4;
    }
    try {
        learners::CourseData data(QString::fromLocal8Bit(argv[1]));
        data.LoadCourseData();
        const std::set<int> marks = safety::marksOf(data);
        int mark = marks.empty() ? safety::kFirstMark : *marks.rbegin() + 1;
        int learner = -1;
        for (;; ++mark) {
            report("+%d\n", mark);
            const int step = mark % 5;
            if (learner < 0 || step == 0) {
                data.registerLearner(QStringLiteral("Ученик"), QString::number(mark),
                                     QStringLiteral("Группа"), QString());
                learner = data.learnerCount() - 1;
            } else if (step % 2 == 1) {
                data.addTestResult(learner, QString::number(mark), mark % 101);
            } else {
                data.addBookmark(learner, mark);
            }
            report("%d\n", mark);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "safety_saver: %s\n", e.what());
        return 1;
    }
}
