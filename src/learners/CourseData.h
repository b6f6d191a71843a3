#pragma once

#include "learners/LearnerStore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <stdexcept>

namespace learners {

// Every failure of the course data document: a file that cannot be read or
// parsed, a position past the end of its container, a value that is not a
// value, a save that did not reach the disk. The text is meant for the learner.
class CourseDataError : public StoreError
{
public:
    explicit CourseDataError(const QString &message);
};

// The course data document (dect.chh): course structure, learners, their
// test results and bookmarks. Loaded once per run, written back whole after
// every change, never at exit.
//
// Containers and records are found by position (counting every child node,
// comments and processing instructions included); fields by name, where a
// lookup that finds nothing appends an empty element.
class CourseData
{
public:
    explicit CourseData(const QString &fileName = QStringLiteral("dect.chh"));
    ~CourseData();
    CourseData(const CourseData &) = delete;
    CourseData &operator=(const CourseData &) = delete;

    // Larger files are not course data and are refused unread.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

    QString fileName() const { return m_fileName; }
    bool isLoaded() const { return m_loaded; }

    // Parses the file, resolved against the current directory; does nothing
    // when the document is already loaded. Throws when the file is missing,
    // too large, in an unknown encoding or not well-formed; the document then
    // stays unloaded.
    void LoadCourseData();
    // Writes the whole document atomically to the file it was loaded from.
    // Throws when nothing is loaded or the write fails; the file on disk is
    // then the previous one, whole.
    void SaveCourseData();

    // Runs a change of the document and saves it. If the change or the save
    // throws, the document is put back as it was and the error goes on.
    void applyChange(const std::function<void()> &change);

    // The document as it would be written (UTF-8 with a declaration).
    QByteArray serialize() const;

    int learnerCount() const;
    QStringList learnerNames() const;

    using Learner = LearnerFields;
    Learner learnerFields(int position) const;
    // The four fields of the registration form (name, sourname, group,
    // mail); the date is not read, so a damaged one does not stand in the way.
    Learner learnerFormFields(int position) const;

    // The first name stored when the learner left it empty.
    static QString unknownName();

    void registerLearner(const QString &name, const QString &sourname, const QString &group,
                         const QString &mail);
    void changeLearner(int position, const QString &name, const QString &sourname,
                       const QString &group, const QString &mail);
    void deleteLearner(int position);

    // Topic 0 is the general test, otherwise a lecture's position.
    void addTestResult(int learner, const QString &topic, int percent);
    // increment: the scroll position in per cent of the page's height;
    // section: the title of the section there, kept for the bookmark list
    // (stored only when not empty, in an element the list's readers skip);
    // anchor: the text position at the top of the view, likewise kept only
    // when there is one (not below 0).
    void addBookmark(int learner, int page, int increment = 0, const QString &section = QString(),
                     int anchor = -1);
    // Each bookmark's anchor in list order; -1 for one without (or with a
    // damaged one).
    QVector<int> bookmarkAnchors(int learner) const;
    void deleteBookmark(int learner, int index);

    using Bookmark = learners::Bookmark;
    // Throws when a bookmark's id or increment is not a decimal integer.
    QVector<Bookmark> bookmarks(int learner);

    // Where a learner stopped reading, kept across runs in the learner's
    // record (element place). page is -1 when nothing is remembered.
    using Place = learners::Place;
    // Never changes the document; a damaged place reads as none.
    Place place(int learner) const;
    // Saves at once, like every change; does nothing when it is unchanged.
    void setPlace(int learner, const Place &place);

    // The pages a learner has opened, in ascending order (element opened).
    QVector<int> openedPages(int learner) const;
    // Adds a page; saves only when it was not there yet.
    void markOpened(int learner, int page);

    // A learner's reading preferences (element preferences).
    using Preferences = learners::Preferences;
    Preferences preferences(int learner) const;
    void setPreferences(int learner, const Preferences &prefs);

    using TestRecord = learners::TestRecord;
    QVector<TestRecord> testRecords(int learner);

    struct Section
    {
        QString mark, title;
    };
    struct Lecture
    {
        QString id; // empty when the entry has no id attribute
        bool hasId = false;
        QString description;
        QVector<Section> sections;
    };
    // Every entry of the lecture list, in order (position = page number).
    QVector<Lecture> lectures() const;

    // Partial reads, for the views that show what they read as they go: each
    // gives its items in document order and throws at the first one that
    // cannot be read, so what the sink took before it stands.

    // Each learner's name.
    void readLearnerNames(const std::function<void(const QString &name)> &sink) const;
    // As readLearnerNames, with each learner's surname and group where they
    // can be read (empty otherwise; nothing is added to the record).
    void readLearnerEntries(const std::function<void(const QString &name, const QString &sourname,
                                                     const QString &group)> &sink) const;
    // A learner's fields in the order name, sourname, group, mail, date, then
    // each test record, read whole before it is given.
    void readLearnerRecord(int learner,
                           const std::function<void(const char *field, const QString &value)> &field,
                           const std::function<void(const TestRecord &record)> &test) const;
    // Each bookmark: its title as soon as it is read, then its page and
    // increment.
    // increment, then the title of its section when one was stored.
    void readBookmarks(int learner, const std::function<void(const QString &title)> &title,
                       const std::function<void(int page, int increment)> &position,
                       const std::function<void(const QString &section)> &section = {}) const;
    // Each lecture entry, read whole before it is given; without its
    // sections when withSections is false (they are then not read at all).
    void readLectures(const std::function<void(const Lecture &lecture)> &sink,
                      bool withSections = true) const;

    // "Tue Mar 08 14:05:09 2005\n": local time, English names, 24 characters
    // and a line feed.
    static QString timeStamp(const QDateTime &t);
    static QString currentTimeStamp();
    // Replaces the clock (tests); an empty function restores the system clock.
    static void setClock(std::function<QDateTime()> clock);

    // The parsed document; its interface is in CourseData_p.h, for the model
    // and its own tests only.
    struct Private;
    Private &d() const { return *m_d; }

private:
    QString m_fileName;
    QString m_path; // absolute, fixed at load time
    std::unique_ptr<Private> m_d;
    bool m_loaded = false;
    mutable qsizetype m_serializedSize = 0; // the last serialize(), a size hint
};

} // namespace learners
