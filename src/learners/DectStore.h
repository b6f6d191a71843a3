#pragma once

#include "learners/LearnerStore.h"

#include <QVector>

namespace learners {

class CourseData;

// The learners of the course data document (dect.chh). The document keeps
// its learners by position only; this store hands out ids when it first
// finds the document read (1, 2, ... in list order) and follows every
// registration and deletion it makes, so within a run a learner keeps the
// id whoever else comes or goes. The file is written exactly as before.
//
// The document itself belongs to the caller, who also reads the course's
// structure from it; every learner change must go through this store.
class DectStore final : public LearnerStore
{
public:
    explicit DectStore(CourseData &data);
    ~DectStore() override;

    CourseData &courseData() const { return m_data; }

    // The learner's position in the document's learner list; throws
    // (Kind::NotFound) for an id that names nobody.
    int positionOf(LearnerId learner) const;
    // The id of the learner at a position of the list; none past its end.
    LearnerId idAt(int position) const;

    void open() override;
    bool isOpen() const override;

    void readLearners(const std::function<void(const LearnerEntry &)> &sink) const override;
    LearnerFields learnerFormFields(LearnerId learner) const override;
    LearnerId registerLearner(const LearnerFields &fields) override;
    void changeLearner(LearnerId learner, const LearnerFields &fields) override;
    void deleteLearner(LearnerId learner) override;
    void claimLearner(LearnerId learner, bool takeOver = false) override;

    void readLearnerRecord(LearnerId learner,
                           const std::function<void(const char *, const QString &)> &field,
                           const std::function<void(const TestRecord &)> &test) const override;
    QVector<TestRecord> testRecords(LearnerId learner) const override;
    void addTestResult(LearnerId learner, const TestResult &result) override;

    void addBookmark(LearnerId learner, int page, int increment = 0,
                     const QString &section = QString()) override;
    void addBookmarkAt(LearnerId learner, const Bookmark &bookmark) override;
    QVector<int> bookmarkAnchors(LearnerId learner) const override;
    void deleteBookmark(LearnerId learner, int index) override;
    void readBookmarks(LearnerId learner, const std::function<void(const QString &)> &title,
                       const std::function<void(int, int)> &position,
                       const std::function<void(const QString &)> &section = {}) const override;

    Place place(LearnerId learner) const override;
    void setPlace(LearnerId learner, const Place &place) override;
    QVector<int> openedPages(LearnerId learner) const override;
    void markOpened(LearnerId learner, int page) override;
    Preferences preferences(LearnerId learner) const override;
    void setPreferences(LearnerId learner, const Preferences &prefs) override;

private:
    // The ids of the learner list, position by position, numbered the first
    // time the document is found read.
    const QVector<qint64> &ids() const;

    CourseData &m_data;
    mutable QVector<qint64> m_ids;
    mutable bool m_numbered = false;
    mutable qint64 m_lastId = 0;
};

} // namespace learners
