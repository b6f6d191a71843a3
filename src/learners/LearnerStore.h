#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVector>
#include <array>
#include <compare>
#include <functional>
#include <stdexcept>

namespace learners {

// A learner record, named for as long as the store lives: a learner keeps
// its id when others are registered or deleted, and a deleted learner's id
// is never given to another. What an id holds is the store's affair (a
// number handed out when the file is read, a database key); the program only
// compares ids and passes them back. The default id names nobody.
class LearnerId
{
public:
    constexpr LearnerId() = default;
    constexpr explicit LearnerId(qint64 value) : m_value(value) {}

    constexpr bool isValid() const { return m_value > 0; }
    constexpr qint64 value() const { return m_value; }
    QString toString() const { return isValid() ? QString::number(m_value) : QStringLiteral("-"); }

    constexpr auto operator<=>(const LearnerId &) const = default;

private:
    qint64 m_value = 0;
};

// Every failure of a learner store. message() is Russian text meant for the
// learner, complete enough to be shown as it stands; kind() lets a screen
// tell the cases it answers differently.
class StoreError : public std::runtime_error
{
public:
    enum class Kind {
        Failed,      // the records could not be read or written
        NotFound,    // no learner has this id (deleted, or never was)
        Unavailable, // the store cannot be reached at all
        InUse,       // the learner works at another seat
        Schema,      // the records are kept in a form this program does not write
    };

    explicit StoreError(const QString &message, Kind kind = Kind::Failed);
    QString message() const { return QString::fromUtf8(what()); }
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// One entry of the sign-in list. A store that keeps the list apart from the
// records may fill surname and group to tell learners of one first name
// apart; they are empty where the list is read from the first names only.
struct LearnerEntry
{
    LearnerId id;
    QString name;
    QString sourname, group;
};

// A learner's personal fields. The date (of registration) is the store's:
// it is set on registration and never changed.
struct LearnerFields
{
    QString name, sourname, group, mail, date;
};

// One stored test result, as the statistics and the report show it: the
// texts as they are stored, so a damaged value is shown, not lost.
struct TestRecord
{
    QString number, date, right;
};

// One answered question of a finished test. Stored where the store keeps
// answers (a class database, for the teacher's per-question view); a store
// that keeps only results ignores them.
struct QuestionAnswer
{
    QString lecture, number; // the bank's keys of the question
    QString question;
    std::array<bool, 5> ticked{};
    bool correct = false;
};

// A finished test to store under a learner.
struct TestResult
{
    QString topic; // "0" for the general test, otherwise the lecture's position
    int percent = 0;
    QVector<QuestionAnswer> answers;
};

struct Bookmark
{
    QString title;
    int page = 0;
    int increment = 0; // the scroll position in per cent of the page's height
    QString section;   // empty for bookmarks set without one
    // The text position at the top of the view, which opens on the same line
    // at any width and zoom; -1 where only the per cent was kept.
    int anchor = -1;
};

// Where a learner stopped reading. page is -1 when nothing is remembered.
struct Place
{
    int page = -1;
    int increment = 0; // per cent of the page's height
    QString section;   // the section heading there, for the home screen
    int anchor = -1;   // as a bookmark's; -1 where only the per cent was kept
    bool operator==(const Place &) const = default;
};

// A learner's reading preferences; empty or zero fields mean "as the
// program starts".
struct Preferences
{
    QString fontFamily;
    int fontSize = 0;  // points of the normal text; 0: the sheet's own
    QString fontColor; // #rrggbb
    bool bold = false, italic = false;
    int zoom = 0;      // steps of Крупнее (+) and Мельче (-)
    bool narrowColumn = false;
    bool operator==(const Preferences &) const = default;
};

// Where the learners and everything stored under them live. Every screen
// reads and changes learner records through this interface only; the
// course's structure (lectures, sections) is not part of it.
//
// Rules every implementation keeps:
// - Every change is whole or not at all, and is kept (on disk, committed)
//   before the call returns. A change that fails throws and leaves the
//   records as they were.
// - Reads never change what is kept.
// - Failures throw StoreError with a Russian message; an id that names no
//   learner gives Kind::NotFound.
// - The sink forms give their items in order as they are read and throw at
//   the first one that cannot be read; what the sink took before it stands.
class LearnerStore
{
public:
    virtual ~LearnerStore();

    // Reads (or connects to) the records; does nothing when already open.
    // Every other call needs an open store.
    virtual void open() = 0;
    virtual bool isOpen() const = 0;

    // The learners in the order they were registered.
    virtual void readLearners(const std::function<void(const LearnerEntry &)> &sink) const = 0;
    QVector<LearnerEntry> learners() const;
    // The four fields of the registration form; the date is not read, so a
    // damaged one does not stand in the way of a change.
    virtual LearnerFields learnerFormFields(LearnerId learner) const = 0;
    // Registers a learner with name, sourname, group and mail of fields (an
    // empty name is stored as unknownName()); the date is now. The new
    // learner comes last in the list.
    virtual LearnerId registerLearner(const LearnerFields &fields) = 0;
    // Changes name, sourname, group and mail; the date and everything stored
    // under the learner stay.
    virtual void changeLearner(LearnerId learner, const LearnerFields &fields) = 0;
    // Deletes the learner with results, bookmarks, place and preferences.
    virtual void deleteLearner(LearnerId learner) = 0;

    // Signing in as the learner. A store shared by several seats refuses a
    // learner who works at another one (Kind::InUse, the message says where
    // and since when) unless takeOver is set; it then holds the learner for
    // this seat until another learner is claimed or the store is closed.
    virtual void claimLearner(LearnerId learner, bool takeOver = false) = 0;

    // The learner's fields in the order name, sourname, group, mail, date,
    // then each test result, oldest first, read whole before it is given.
    virtual void readLearnerRecord(
        LearnerId learner, const std::function<void(const char *field, const QString &value)> &field,
        const std::function<void(const TestRecord &record)> &test) const = 0;
    virtual QVector<TestRecord> testRecords(LearnerId learner) const = 0;
    virtual void addTestResult(LearnerId learner, const TestResult &result) = 0;

    // The bookmark's title is "Лекция " and the page number; section is
    // kept only when not empty.
    virtual void addBookmark(LearnerId learner, int page, int increment = 0,
                             const QString &section = QString()) = 0;
    // A bookmark with its anchor. A store that keeps no anchors keeps the
    // rest, and the bookmark then opens at its per cent.
    virtual void addBookmarkAt(LearnerId learner, const Bookmark &bookmark);
    // The anchor of each bookmark, in the order of bookmarks(); -1 for one
    // without. Empty from a store that keeps no anchors.
    virtual QVector<int> bookmarkAnchors(LearnerId learner) const;
    // index: the bookmark's position in bookmarks(), oldest first.
    virtual void deleteBookmark(LearnerId learner, int index) = 0;
    // Each bookmark: its title as soon as it is read, then its page and
    // increment, then its section when one was stored.
    virtual void readBookmarks(LearnerId learner, const std::function<void(const QString &title)> &title,
                               const std::function<void(int page, int increment)> &position,
                               const std::function<void(const QString &section)> &section = {}) const = 0;
    QVector<Bookmark> bookmarks(LearnerId learner) const;

    // A damaged place reads as none.
    virtual Place place(LearnerId learner) const = 0;
    // Does nothing when the place is unchanged.
    virtual void setPlace(LearnerId learner, const Place &place) = 0;

    // The pages the learner has opened, in ascending order.
    virtual QVector<int> openedPages(LearnerId learner) const = 0;
    // Does nothing when the page is already there.
    virtual void markOpened(LearnerId learner, int page) = 0;

    virtual Preferences preferences(LearnerId learner) const = 0;
    // Does nothing when the preferences are unchanged.
    virtual void setPreferences(LearnerId learner, const Preferences &prefs) = 0;

    // Where the records are kept when many seats share them, as the learner
    // is told ("Класс 7Б, сервер school"); empty for a store of this
    // computer alone.
    virtual QString sharedLocation() const;

    // The first name stored when the learner left it empty.
    static QString unknownName();
    // "Лекция 3": a bookmark's title.
    static QString bookmarkTitle(int page);

    // The stamp of a registration or a test result, as every store keeps
    // it: "Tue Mar 08 14:05:09 2005\n": local time, English names, 24
    // characters and a line feed.
    static QString timeStamp(const QDateTime &t);
    static QString currentTimeStamp();
    // Replaces the clock (tests); an empty function restores the system clock.
    static void setClock(std::function<QDateTime()> clock);

    // Bounds on what one learner's record may hold: far beyond anything a
    // learner types or collects, far below what would make the records too
    // large to read back (a scripted registration with a surname of
    // millions of characters once locked every learner out).
    static constexpr int kMaxFieldChars = 1000; // a name, a group, an e-mail, a section, a font
    static constexpr int kMaxBookmarks = 1000;
    static constexpr int kMaxTestResults = 10000;
    // Throws StoreError naming the field when text is longer than the bound.
    static void checkField(const QString &label, const QString &text);
    // The personal fields of the learner form, each by its label.
    static void checkFields(const LearnerFields &fields);
};

} // namespace learners

Q_DECLARE_METATYPE(learners::LearnerId)

// Made of implicitly shared strings and numbers: a list of them grows by
// moving memory, not by copying every entry (a class list of thousands).
Q_DECLARE_TYPEINFO(learners::LearnerEntry, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(learners::LearnerFields, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(learners::Bookmark, Q_RELOCATABLE_TYPE);
