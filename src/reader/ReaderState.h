#pragma once

#include "learners/LearnerStore.h"
#include "reader/NavigationHistory.h"

#include <QString>
#include <memory>
#include <vector>

namespace learners {
class CourseData;
}
class TRVStyle;

namespace reader {

// The state the windows share, apart from any widget: the signed-in learner,
// the page shown, the topic mode, the zoom sizes, the panel flags, the
// history, the section positions, the reading style sheets and the one
// in-memory copy of the course data document. The reader window owns it and
// hands it to the screens that need it.
class ReaderState
{
public:
    explicit ReaderState(const QString &courseDataFile = QStringLiteral("dect.chh"));
    ~ReaderState();
    ReaderState(const ReaderState &) = delete;
    ReaderState &operator=(const ReaderState &) = delete;

    // The signed-in learner; names nobody until the sign-in screen first
    // opens, and after it when there was nobody to choose.
    learners::LearnerId CurrentUser;
    // The number last passed to OpenPage, whatever row it fell into.
    int CurrentPage = 0;
    // True while the page view lists the test topics.
    bool TopicMode = false;

    // Zoom: point sizes of the reader sheet's text styles 0 to 3.
    static constexpr int kDefaultNormalSize = 10;
    static constexpr int kDefaultHeadingSize = 20;
    static constexpr int kDefaultSubheadingSize = 14;
    // Zoom keeps the normal text between these sizes.
    static constexpr int kMinNormalSize = 6;
    static constexpr int kMaxNormalSize = 36;
    int NormalSize = kDefaultNormalSize;
    int HeadingSize = kDefaultHeadingSize;
    int SubheadingSize = kDefaultSubheadingSize;

    // Whether the section menu and the movie panel are in view.
    bool MenuShown = false;
    bool PlayerShown = false;

    // Positions of the shown page's checkpoints, one per checkpoint.
    std::vector<int> SectionY;

    NavigationHistory History;

    // Why the learners could not be read at sign-in; empty when they were.
    // While it is set the textbook is read only: nothing that needs a
    // learner's record runs, and the course data is never written.
    QString learnerDataFailure;
    // Whether the signed-in learner's record may be written: a course data
    // document that could not be read whole is never written.
    bool learnerDataWritable() const;
    QString learnerDataUnavailableText() const;

    // The course data document: the course's structure (lectures and their
    // sections) is read from it. Learners are not: they are the store's.
    learners::CourseData &XML() { return *m_courseData; }
    const learners::CourseData &XML() const { return *m_courseData; }

    // Where the learners and their records are kept; by default the learner
    // records of the course data document.
    learners::LearnerStore &learnerStore() { return *m_learnerStore; }
    const learners::LearnerStore &learnerStore() const { return *m_learnerStore; }
    void setLearnerStore(std::unique_ptr<learners::LearnerStore> store);

    // The reader sheet (the page view and the font preview) and the menu
    // sheet (the section menu).
    TRVStyle &readingStyle() { return *m_readingStyle; }
    TRVStyle &menuStyle() { return *m_menuStyle; }

private:
    std::unique_ptr<learners::CourseData> m_courseData;
    std::unique_ptr<learners::LearnerStore> m_learnerStore;
    std::unique_ptr<TRVStyle> m_readingStyle;
    std::unique_ptr<TRVStyle> m_menuStyle;
};

} // namespace reader
