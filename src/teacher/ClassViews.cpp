#include "teacher/ClassViews.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <algorithm>

namespace teacher {

namespace {

QString questionKey(const QuestionStat &q)
{
    return q.topic + QChar(0x1F) + q.lecture + QChar(0x1F) + q.number;
}

double share(int right, int answered)
{
    return answered > 0 ? 100.0 * right / answered : 0;
}

} // namespace

QuestionTable::QuestionTable(QObject *parent) : QAbstractTableModel(parent) {}

void QuestionTable::setTopics(const CourseTopics &topics)
{
    beginResetModel();
    m_topics = topics;
    endResetModel();
}

void QuestionTable::setStats(const QVector<QuestionStat> &stats)
{
    m_stats = stats;
    rebuild();
}

void QuestionTable::setFilter(const QString &group, const QString &topic)
{
    if (group == m_group && topic == m_topic && group.isNull() == m_group.isNull() &&
        topic.isNull() == m_topic.isNull())
        return;
    m_group = group;
    m_topic = topic;
    rebuild();
}

void QuestionTable::rebuild()
{
    beginResetModel();
    m_rows.clear();
    QHash<QString, int> at;
    for (const QuestionStat &s : std::as_const(m_stats)) {
        if (!m_group.isNull() && s.group != m_group)
            continue;
        if (!m_topic.isNull() && s.topic != m_topic)
            continue;
        const QString key = questionKey(s);
        auto it = at.constFind(key);
        if (it == at.cend()) {
            at.insert(key, int(m_rows.size()));
            QuestionStat q = s;
            q.group.clear();
            m_rows << q;
            continue;
        }
        QuestionStat &q = m_rows[*it];
        q.answered += s.answered;
        q.right += s.right;
        q.learners += s.learners; // a learner is in one group
    }
    // Test by test, then question 2 before question 10.
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    collator.setNumericMode(true);
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const QuestionStat &a, const QuestionStat &b) {
        const int ta = CourseTopics::order(a.topic), tb = CourseTopics::order(b.topic);
        if (ta != tb)
            return ta < tb;
        if (const int c = collator.compare(a.lecture, b.lecture))
            return c < 0;
        return collator.compare(a.number, b.number) < 0;
    });
    endResetModel();
}

int QuestionTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int QuestionTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QuestionTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const QuestionStat &q = m_rows[index.row()];
    const double part = share(q.right, q.answered);
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Test: {
            // The full title is in the tooltip: the column stays narrow.
            const int n = q.topic.toInt();
            return n > 0 ? QStringLiteral("Лекция %1").arg(n) : m_topics.title(q.topic);
        }
        case Number:
            return q.lecture + u'.' + q.number;
        case Question:
            return q.question;
        case Learners:
            return q.learners;
        case Answered:
            return q.answered;
        case Right:
            return q.right;
        case Share:
            return ClassTable::percentShown(part);
        }
    } else if (role == SortRole) {
        switch (index.column()) {
        case Test:
            return CourseTopics::order(q.topic);
        case Number:
            return q.lecture.rightJustified(6, u'0') + q.number.rightJustified(6, u'0');
        case Question:
            return q.question;
        case Learners:
            return q.learners;
        case Answered:
            return q.answered;
        case Right:
            return q.right;
        case Share:
            return part;
        }
    } else if (role == Qt::ToolTipRole && index.column() == Question) {
        return q.question;
    } else if (role == Qt::ToolTipRole && index.column() == Test) {
        return m_topics.title(q.topic);
    } else if (role == Qt::TextAlignmentRole && index.column() >= Learners &&
               index.column() <= Share) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant QuestionTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Test:
        return QStringLiteral("Тест");
    case Number:
        return QStringLiteral("Вопрос №");
    case Question:
        return QStringLiteral("Вопрос");
    case Learners:
        return QStringLiteral("Учеников");
    case Answered:
        return QStringLiteral("Ответов");
    case Right:
        return QStringLiteral("Верных");
    case Share:
        return QStringLiteral("Доля верных");
    }
    return {};
}

LectureGrid::LectureGrid(QObject *parent) : QAbstractTableModel(parent) {}

void LectureGrid::rebuild(const ClassTable &table, const QString &group)
{
    beginResetModel();
    m_topics = table.topics();
    m_topicList = table.topicList();
    m_learners.clear();
    QHash<QString, int> topicAt;
    for (int i = 0; i < m_topicList.size(); ++i)
        topicAt.insert(m_topicList[i], i);
    QHash<QString, int> learnerAt;
    // The date of each cell's last attempt, to find the latest one.
    QHash<QPair<int, int>, QPair<QDateTime, int>> lastSeen;
    const QVector<ClassTable::Row> &rows = table.rows();
    for (int i = 0; i < rows.size(); ++i) {
        const ClassTable::Row &row = rows[i];
        if (row.kind == ClassTable::Row::Problem)
            continue;
        const Report &r = table.reports()[row.report];
        if (!r.hasLearner || (!group.isNull() && r.group != group))
            continue;
        const QString key = ClassTable::learnerKey(r);
        auto at = learnerAt.constFind(key);
        if (at == learnerAt.cend()) {
            at = learnerAt.insert(key, int(m_learners.size()));
            m_learners.append({key, r.surname, r.name, r.group,
                               QVector<Cell>(m_topicList.size())});
        }
        if (row.kind != ClassTable::Row::Result)
            continue;
        const TestResult &t = r.results[row.result];
        const int column = topicAt.value(t.topic);
        Cell &cell = m_learners[*at].cells[column];
        // A learner's rows come oldest first; an undated attempt counts in
        // that order.
        auto &seen = lastSeen[qMakePair(*at, column)];
        if (cell.attempts == 0 || t.percent > cell.best)
            cell.best = t.percent;
        if (cell.attempts == 0 || !t.date.isValid() || !seen.first.isValid() ||
            t.date >= seen.first) {
            cell.last = t.percent;
            seen.first = t.date;
        }
        ++cell.attempts;
    }
    endResetModel();
}

QString LectureGrid::cellText(const Cell &cell)
{
    if (cell.attempts == 0)
        return QString();
    const auto shown = [](double p) { return ClassTable::percentShown(p).chopped(2); };
    return shown(cell.best) + QStringLiteral(" / ") + shown(cell.last);
}

int LectureGrid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_learners.size());
}

int LectureGrid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_topicList.size()) + 2;
}

QVariant LectureGrid::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_learners.size())
        return {};
    const Learner &l = m_learners[index.row()];
    if (role == LearnerRole)
        return l.key;
    if (index.column() < 2) {
        const QString text = index.column() == 0
                                 ? QStringList{l.surname, l.name}.join(u' ').simplified()
                                 : l.group;
        if (role == Qt::DisplayRole || role == SortRole)
            return text;
        return {};
    }
    const Cell &cell = l.cells[index.column() - 2];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(cell);
    case SortRole:
        return cell.attempts == 0 ? -1.0 : cell.best;
    case Qt::ToolTipRole:
        if (cell.attempts == 0)
            return QStringLiteral("Тест не пройден");
        return QStringLiteral("Лучший результат: %1\nПоследний: %2\nПопыток: %3")
            .arg(ClassTable::percentShown(cell.best), ClassTable::percentShown(cell.last))
            .arg(cell.attempts);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    }
    return {};
}

QVariant LectureGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("Ученик");
    if (section == 1 && role == Qt::DisplayRole)
        return QStringLiteral("Группа");
    if (section < 2 || section - 2 >= m_topicList.size())
        return {};
    const QString &topic = m_topicList[section - 2];
    if (role == Qt::DisplayRole) {
        const int n = topic.toInt();
        return n > 0 ? QStringLiteral("Лекция %1").arg(n) : m_topics.title(topic);
    }
    if (role == Qt::ToolTipRole)
        return m_topics.title(topic) + QStringLiteral("\nлучший / последний, %");
    return {};
}

} // namespace teacher
