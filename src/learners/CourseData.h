#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <pugixml.hpp>
#include <stdexcept>

// Every failure of the course data document: a file that cannot be read or
// parsed, a position past the end of its container, a value that is not a
// value, a save that did not reach the disk. The text is meant for the learner.
class CourseDataError : public std::runtime_error
{
public:
    explicit CourseDataError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
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

    pugi::xml_node documentElement() const;

    // The child at position (from 0), counting all child nodes; throws when
    // there is none.
    static pugi::xml_node childAt(pugi::xml_node parent, int position);
    static int childCount(pugi::xml_node parent);
    // The first child element of that name, appended empty when missing.
    static pugi::xml_node child(pugi::xml_node parent, const char *name);
    // An element's text: empty, or its one text node. Throws for anything else.
    static QString value(pugi::xml_node element);
    // Makes text the element's only content (nothing for the empty text).
    static void setValue(pugi::xml_node element, const QString &text);
    // Appends an element, optionally with a value.
    static pugi::xml_node append(pugi::xml_node parent, const char *name);
    static pugi::xml_node append(pugi::xml_node parent, const char *name, const QString &text);
    static void removeChildAt(pugi::xml_node parent, int position);

    // Layout.
    pugi::xml_node lectureList() const;
    pugi::xml_node learnerList() const;
    pugi::xml_node learner(int position) const;
    int learnerCount() const;
    QStringList learnerNames() const;

    struct Learner
    {
        QString name, sourname, group, mail, date;
    };
    Learner learnerFields(int position) const;

    // The first name stored when the learner left it empty.
    static QString unknownName();

    void registerLearner(const QString &name, const QString &sourname, const QString &group,
                         const QString &mail);
    void changeLearner(int position, const QString &name, const QString &sourname,
                       const QString &group, const QString &mail);
    void deleteLearner(int position);

    // Topic 0 is the general test, otherwise a lecture's position.
    void addTestResult(int learner, const QString &topic, int percent);
    void addBookmark(int learner, int page);
    void deleteBookmark(int learner, int index);

    struct Bookmark
    {
        QString title;
        int page = 0;
        int increment = 0;
    };
    // Throws when a bookmark's id or increment is not a decimal integer.
    QVector<Bookmark> bookmarks(int learner);

    struct TestRecord
    {
        QString number, date, right;
    };
    QVector<TestRecord> testRecords(int learner);

    // The learner's study_info/tests and study_info/bookmarks containers,
    // created when missing.
    pugi::xml_node testsOf(int learner) const;
    pugi::xml_node bookmarksOf(int learner) const;

    struct Section
    {
        QString mark, title;
    };
    struct Lecture
    {
        QString id, description;
        QVector<Section> sections;
    };
    // Every entry of the lecture list, in order (position = page number).
    QVector<Lecture> lectures() const;

    // "Tue Mar 08 14:05:09 2005\n": local time, English names, 24 characters
    // and a line feed.
    static QString timeStamp(const QDateTime &t);
    static QString currentTimeStamp();
    // Replaces the clock (tests); an empty function restores the system clock.
    static void setClock(std::function<QDateTime()> clock);

private:
    QString m_fileName;
    QString m_path; // absolute, fixed at load time
    pugi::xml_document m_doc;
    bool m_loaded = false;
    mutable qsizetype m_serializedSize = 0; // the last serialize(), a size hint
};
