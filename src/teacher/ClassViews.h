#pragma once

#include "teacher/ClassDatabase.h"
#include "teacher/ClassTable.h"

#include <QAbstractTableModel>
#include <QVector>

// Two more views of the class: how each question of a test was answered
// (from the class database, which keeps every answer), and each learner's
// best and last result in every test.

namespace teacher {

// A row per question of the tests in view: answers given, right ones, and
// the share; a group or a test narrows it.
class QuestionTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The counts before the question's text, which takes the rest of the width.
    enum Column { Test, Number, Learners, Answered, Right, Share, Question, ColumnCount };
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit QuestionTable(QObject *parent = nullptr);

    void setTopics(const CourseTopics &topics);
    void setStats(const QVector<QuestionStat> &stats);
    // A null string: every group, every test.
    void setFilter(const QString &group, const QString &topic);
    const QVector<QuestionStat> &rows() const { return m_rows; }
    bool hasStats() const { return !m_stats.isEmpty(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void rebuild();

    CourseTopics m_topics;
    QVector<QuestionStat> m_stats; // per group
    QVector<QuestionStat> m_rows;  // the groups in view summed up
    QString m_group, m_topic;
};

// A row per learner, a column per test: the best result and the last one.
class LectureGrid : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole + 1;
    static constexpr int LearnerRole = Qt::UserRole + 2;

    struct Cell
    {
        int attempts = 0;
        double best = 0;
        double last = 0;
    };
    struct Learner
    {
        QString key; // ClassTable::learnerKey
        QString surname, name, group;
        QVector<Cell> cells; // by topics()
    };

    explicit LectureGrid(QObject *parent = nullptr);

    // Rebuilt from the table; a null group shows every group.
    void rebuild(const ClassTable &table, const QString &group = QString());
    const QStringList &topics() const { return m_topicList; }
    const QVector<Learner> &learners() const { return m_learners; }
    // "best / last" as a cell shows it; empty when the test was not taken.
    static QString cellText(const Cell &cell);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    CourseTopics m_topics;
    QStringList m_topicList;
    QVector<Learner> m_learners;
};

} // namespace teacher
