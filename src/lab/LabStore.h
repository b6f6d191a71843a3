#pragma once

#include "lab/LabDatabase.h"
#include "learners/LearnerStore.h"

#include "lab/LabError.h"

#include <QDateTime>
#include <memory>
#include <optional>

namespace lab {

// The learners of a computer lab, kept in the class database. Every seat
// connects to it; a learner signed in at one seat is held there by a
// session-level advisory lock, which the server frees by itself when the
// seat's connection dies. Ids are the database's keys: they never move.
//
// Every change is one transaction. A change that meets a broken connection
// is made again on a new one; inserts carry a request id made before the
// first try, so a change the server kept before the break is not kept twice.
class LabStore final : public learners::LearnerStore
{
public:
    explicit LabStore(const ConnectionSettings &settings);
    // A seat meant for the lab whose settings cannot be used: open() says
    // why, and the seat keeps no learner records anywhere else.
    explicit LabStore(const LabError &settingsError);
    ~LabStore() override;

    LabDatabase &database() { return *m_db; }
    // The class this seat lists and registers learners in ("" for all).
    QString className() const { return m_settings.className; }

    // "Класс 7Б, сервер school": shown on the home screen.
    QString sharedLocation() const override;

    // Connects and checks the schema; a database of another version is
    // refused (Kind::Schema) and nothing is written to it.
    void open() override;
    bool isOpen() const override;
    // Ends the connection: the learner held here is free for other seats.
    void close();

    void readLearners(const std::function<void(const learners::LearnerEntry &)> &sink) const override;
    learners::LearnerFields learnerFormFields(learners::LearnerId learner) const override;
    learners::LearnerId registerLearner(const learners::LearnerFields &fields) override;
    void changeLearner(learners::LearnerId learner, const learners::LearnerFields &fields) override;
    void deleteLearner(learners::LearnerId learner) override;
    void claimLearner(learners::LearnerId learner, bool takeOver = false) override;
    // The learner this seat holds (none before the first claim).
    learners::LearnerId claimedLearner() const { return m_claimed; }

    void readLearnerRecord(learners::LearnerId learner,
                           const std::function<void(const char *, const QString &)> &field,
                           const std::function<void(const learners::TestRecord &)> &test) const override;
    QVector<learners::TestRecord> testRecords(learners::LearnerId learner) const override;
    void addTestResult(learners::LearnerId learner, const learners::TestResult &result) override;

    void addBookmark(learners::LearnerId learner, int page, int increment = 0,
                     const QString &section = QString()) override;
    void deleteBookmark(learners::LearnerId learner, int index) override;
    void readBookmarks(learners::LearnerId learner, const std::function<void(const QString &)> &title,
                       const std::function<void(int, int)> &position,
                       const std::function<void(const QString &)> &section = {}) const override;

    learners::Place place(learners::LearnerId learner) const override;
    void setPlace(learners::LearnerId learner, const learners::Place &place) override;
    QVector<int> openedPages(learners::LearnerId learner) const override;
    void markOpened(learners::LearnerId learner, int page) override;
    learners::Preferences preferences(learners::LearnerId learner) const override;
    void setPreferences(learners::LearnerId learner, const learners::Preferences &prefs) override;

    // Who holds a learner, as another seat is told.
    struct Holder
    {
        QString computer;
        QDateTime since;
    };

private:
    // Runs work as one transaction, turning the database's failures into
    // StoreErrors; change says whether the learner is told that nothing
    // was saved.
    void run(const std::function<void()> &work, bool change) const;
    // Throws NotFound unless the learner is one of this seat's class; lock
    // holds the row for the rest of the transaction.
    void requireLearner(learners::LearnerId learner, bool lock = false) const;
    bool tryLock(qint64 learner) const;
    void unlock(qint64 learner) const;
    void recordSeat(qint64 learner) const;
    void retakeClaim() const;
    [[noreturn]] void throwInUse(qint64 learner) const;

    ConnectionSettings m_settings;
    std::optional<LabError> m_refusal;
    std::unique_ptr<LabDatabase> m_db;
    learners::LearnerId m_claimed;
    mutable int m_backendPid = 0; // the session that holds m_claimed
};

} // namespace lab
