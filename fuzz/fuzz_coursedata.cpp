// Loading dect.chh and walking it the way the screens do: the learner list,
// each learner's fields, results and bookmarks, the lecture list. A document
// that loads takes one change and must read back with it.
#include "FuzzSupport.h"

#include "learners/CourseData.h"

namespace {

void walk(learners::CourseData &data)
{
    try {
        (void)data.lectures();
    } catch (const learners::CourseDataError &) {
    }
    int count = 0;
    try {
        count = data.learnerCount();
        (void)data.learnerNames();
    } catch (const learners::CourseDataError &) {
    }
    for (int i = 0; i < count && i < 64; ++i) {
        try {
            (void)data.learnerFields(i);
        } catch (const learners::CourseDataError &) {
        }
        try {
            (void)data.testRecords(i);
        } catch (const learners::CourseDataError &) {
        }
        try {
            (void)data.bookmarks(i);
        } catch (const learners::CourseDataError &) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool clockSet = [] {
        learners::CourseData::setClock([] { return QDateTime(QDate(2005, 3, 8), QTime(14, 5, 9)); });
        return true;
    }();
    (void)clockSet;

    const QByteArray input = fuzz::bytes(data, size);
    const QString path = fuzz::writeScratch(QStringLiteral("dect.chh"), input);
    learners::CourseData doc(path);
    try {
        doc.LoadCourseData();
    } catch (const learners::CourseDataError &) {
        return 0;
    }
    walk(doc);

    int learners = -1;
    try {
        doc.registerLearner(QStringLiteral("Оля"), QStringLiteral("<&>"), QString(), QString());
        learners = doc.learnerCount();
        doc.addBookmark(learners - 1, 3);
        doc.addTestResult(learners - 1, QStringLiteral("0"), 85);
    } catch (const learners::CourseDataError &) {
    }
    if (learners < 0)
        return 0;
    // What was saved reads back: the same learners, the new one last.
    learners::CourseData reread(path);
    try {
        reread.LoadCourseData();
        if (reread.learnerCount() != learners)
            fuzz::fail("the saved document has another number of learners");
        if (reread.learnerFields(learners - 1).sourname != QStringLiteral("<&>"))
            fuzz::fail("the saved learner reads back changed");
        if (reread.serialize() != doc.serialize())
            fuzz::fail("the saved document reads back changed");
    } catch (const learners::CourseDataError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        fuzz::fail("a document the program saved does not load");
    }
    walk(reread);
    return 0;
}
