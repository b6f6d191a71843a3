#pragma once

#include "teacher/CourseTopics.h"
#include "teacher/ReportFile.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSortFilterProxyModel>

// The class as one table: a row per test attempt of every learner, a row for
// a learner who has no results yet, and a row for every file that is not a
// sound report, naming the file and what is wrong with it.
//
// Every report holds the learner's whole history, so a learner who hands in
// a report each week brings the old attempts again: a learner's reports are
// merged, and an attempt (learner, test, date) makes one row however many
// reports hold it.

namespace teacher {

struct TopicSummary;

class ClassTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Surname, Name, Group, Test, Date, Percent, File, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole + 1,
        KindRole,    // Row::Kind
        GroupRole,   // the learner's group as written
        TopicRole,   // the test's topic as written
        LearnerRole, // learnerKey() of the row's report
        ReportRole,  // index into reports()
    };

    struct Row
    {
        enum Kind { Result, NoResults, Problem };
        Kind kind = Result;
        // For a Result row, the report the attempt is read from: the
        // learner's latest sound report that holds it.
        int report = 0;
        int result = -1; // for Result rows
        // Another report holds the same attempt with a different share:
        // one of them was edited.
        bool disputed = false;
        int topic = -1; // for Result rows: the test's place in topicList()
    };

    explicit ClassTable(QObject *parent = nullptr);

    void setTopics(const CourseTopics &topics);
    const CourseTopics &topics() const { return m_topics; }

    // The reports shown before go into old when it is given, to be freed
    // elsewhere; otherwise they are freed here.
    void setReports(QVector<Report> reports, QVector<Report> *old = nullptr);
    // Adds files; one already in the table (the same path) is read afresh.
    void addReports(const QVector<Report> &reports);
    void clear() { setReports({}); }
    const QVector<Report> &reports() const { return m_reports; }
    const QVector<Row> &rows() const { return m_rows; }

    // Every *.rep file directly in the folder, by name; the folder is only
    // read. False with a reason when the folder cannot be listed.
    static bool readFolder(const QString &dir, QVector<Report> *reports, QString *error);
    // The same files, listed in that order but not read.
    static bool listFolder(const QString &dir, QStringList *files, QString *error);

    // What tells one learner from another across reports.
    static QString learnerKey(const Report &report);

    // A learner's Result rows, oldest attempt first, and every report
    // (sound or damaged) that names the learner, in table order.
    QVector<int> learnerRows(const QString &key) const;
    QVector<int> learnerReports(const QString &key) const;
    // The reports that hold a Result row's attempt, best first.
    QVector<int> reportsHolding(int row) const;

    // The groups and topics present, for the filters; topics in test order.
    QStringList groups() const;
    QStringList topicList() const;
    int problemCount() const;
    int learnerCount() const;
    // summariseByTopic over the given rows of this table.
    QVector<TopicSummary> summarise(const QVector<int> &rows, const CourseTopics &topics) const;

    // The texts of a row's cells as the table shows them.
    QString text(int row, int column) const;
    QString toolTip(int row, int column) const;
    static QString percentShown(double percent);
    static QString dateShown(const QDateTime &date, const QString &asWritten);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Learner
    {
        QVector<int> reports; // in table order
        QVector<int> rows;    // Result rows, oldest first
    };

    void rebuildRows();
    void addLearnerRows(Learner &learner);
    void indexRows();

    CourseTopics m_topics;
    QVector<Report> m_reports;
    QVector<Row> m_rows;
    QStringList m_keys; // learnerKey of each report
    QHash<QString, Learner> m_learners;
    QStringList m_topicList;  // the tests of the rows, in test order
    QVector<int> m_learnerAt; // by report: its learner's place by key, or -1
};

// How the class did in one test: each learner's latest result counts once.
struct TopicSummary
{
    QString topic;
    QString title;
    QVector<double> results; // one per learner
    double average = 0;
};

// The tests of the rows in view (a ClassTable or a filter over it), in test
// order.
QVector<TopicSummary> summariseByTopic(const QAbstractItemModel &rows, const CourseTopics &topics);

// The table as the teacher narrows it: by group and by test. Rows of damaged
// files stay in view whatever the filter, so that none goes unnoticed.
class ClassFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ClassFilter(QObject *parent = nullptr);

    // A null string shows every group or every test.
    void setGroup(const QString &group);
    void setTopic(const QString &topic);
    QString group() const { return m_group; }
    QString topic() const { return m_topic; }
    // Whether a row of the table is in view.
    bool accepts(int sourceRow) const { return filterAcceptsRow(sourceRow, QModelIndex()); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_group;
    QString m_topic;
};

} // namespace teacher
