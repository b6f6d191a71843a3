#include "teacher/ClassTable.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace teacher {

ClassTable::ClassTable(QObject *parent) : QAbstractTableModel(parent) {}

void ClassTable::setTopics(const CourseTopics &topics)
{
    beginResetModel();
    m_topics = topics;
    endResetModel();
}

void ClassTable::setReports(QVector<Report> reports, QVector<Report> *old)
{
    beginResetModel();
    if (old)
        *old = std::move(m_reports);
    m_reports = std::move(reports);
    rebuildRows();
    endResetModel();
}

void ClassTable::addReports(const QVector<Report> &reports)
{
    beginResetModel();
    for (const Report &r : reports) {
        const QString path = QFileInfo(r.path).absoluteFilePath();
        auto same = std::find_if(m_reports.begin(), m_reports.end(), [&](const Report &old) {
            return QFileInfo(old.path).absoluteFilePath() == path;
        });
        if (same != m_reports.end())
            *same = r;
        else
            m_reports << r;
    }
    rebuildRows();
    endResetModel();
}

namespace {

QDateTime lastAttempt(const Report &r)
{
    QDateTime last;
    for (const TestResult &t : r.results) {
        if (t.date.isValid() && (!last.isValid() || t.date > last))
            last = t.date;
    }
    return last;
}

// Which of a learner's reports an attempt is read from: a sound report
// before a damaged one, then the one handed in last (its latest attempt),
// then the fuller one, then the later file.
QVector<int> bestFirst(const QVector<Report> &reports, QVector<int> order)
{
    QHash<int, QDateTime> last;
    for (int i : std::as_const(order))
        last.insert(i, lastAttempt(reports[i]));
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const Report &ra = reports[a], &rb = reports[b];
        if (ra.isSound() != rb.isSound())
            return ra.isSound();
        const QDateTime &la = last[a], &lb = last[b];
        if (la.isValid() != lb.isValid())
            return la.isValid();
        if (la != lb)
            return la > lb;
        if (ra.results.size() != rb.results.size())
            return ra.results.size() > rb.results.size();
        return a > b;
    });
    return order;
}

QString attemptKey(const TestResult &t)
{
    return t.topic + QChar(0x1F) + t.dateText;
}

} // namespace

namespace {

// A class takes a handful of tests in tens of thousands of attempts: a short
// list, the last one found tried first, beats hashing every attempt's topic.
class TopicIndex
{
public:
    int indexOf(const QString &topic)
    {
        const quint64 key = packed(topic);
        if (m_last >= 0 && m_keys[m_last] == key && (key != kLong || m_topics[m_last] == topic))
            return m_last;
        for (m_last = 0; m_last < m_keys.size(); ++m_last) {
            if (m_keys[m_last] == key && (key != kLong || m_topics[m_last] == topic))
                return m_last;
        }
        m_keys << key;
        m_topics << topic;
        return m_last;
    }
    const QStringList &topics() const { return m_topics; }

private:
    // A topic is a lecture's number: up to three characters are told apart
    // by one number, without comparing strings.
    static constexpr quint64 kLong = ~quint64(0);
    static quint64 packed(const QString &topic)
    {
        if (topic.size() > 3)
            return kLong;
        quint64 key = quint64(topic.size()) << 48;
        for (qsizetype i = 0; i < topic.size(); ++i)
            key |= quint64(topic[i].unicode()) << (16 * i);
        return key;
    }

    QVector<quint64> m_keys;
    QStringList m_topics;
    int m_last = -1;
};

} // namespace

void ClassTable::rebuildRows()
{
    // Read through a const reference: the reports are often shared with the
    // window's copy, and a write access would copy them all.
    const QVector<Report> &reports = m_reports;
    m_rows.clear();
    m_learners.clear();
    // Asked for every row when the class is summed up.
    m_keys.clear();
    m_keys.reserve(reports.size());
    for (int i = 0; i < reports.size(); ++i) {
        const Report &r = reports[i];
        m_keys << (r.hasLearner ? learnerKey(r) : QString());
        if (r.hasLearner)
            m_learners[m_keys.back()].reports << i;
    }
    // A learner's rows stand where the learner's first file stands; every
    // damaged file keeps its own row in its own place.
    for (int i = 0; i < reports.size(); ++i) {
        const Report &r = reports[i];
        if (r.hasLearner) {
            Learner &learner = m_learners[m_keys[i]];
            if (learner.reports.first() == i)
                addLearnerRows(learner);
        }
        if (!r.isSound())
            m_rows.append({Row::Problem, i, -1});
    }
    indexRows();
}

// What the filters, the chart and the grid ask of every row, found once.
void ClassTable::indexRows()
{
    const QVector<Report> &reports = m_reports;
    TopicIndex found;
    for (Row &w : m_rows) {
        if (w.kind == Row::Result)
            w.topic = found.indexOf(reports[w.report].results[w.result].topic);
    }
    // Every attempt of every report has a row: the tests of the rows are
    // the tests of the reports.
    QVector<int> order(found.topics().size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const QString &ta = found.topics()[a], &tb = found.topics()[b];
        const int oa = CourseTopics::order(ta), ob = CourseTopics::order(tb);
        return oa != ob ? oa < ob : ta < tb;
    });
    QVector<int> place(order.size());
    m_topicList.clear();
    for (int i = 0; i < order.size(); ++i) {
        place[order[i]] = i;
        m_topicList << found.topics()[order[i]];
    }
    for (Row &w : m_rows) {
        if (w.kind == Row::Result)
            w.topic = place[w.topic];
    }

    QStringList keys;
    keys.reserve(m_learners.size());
    for (auto it = m_learners.cbegin(); it != m_learners.cend(); ++it)
        keys << it.key();
    std::sort(keys.begin(), keys.end());
    m_learnerAt.fill(-1, reports.size());
    for (int k = 0; k < keys.size(); ++k) {
        for (int i : m_learners.value(keys[k]).reports)
            m_learnerAt[i] = k;
    }
}

void ClassTable::addLearnerRows(Learner &learner)
{
    const QVector<Report> &reports = m_reports;
    QVector<Row> rows;
    QHash<QString, qsizetype> seen; // attempt -> its place in rows
    if (learner.reports.size() == 1) {
        // One report: each of its attempts is an attempt of its own (the
        // n-th of a key matches only the n-th of another file).
        const int i = learner.reports.first();
        rows.reserve(reports[i].results.size());
        for (int k = 0; k < reports[i].results.size(); ++k)
            rows.append({Row::Result, i, k});
    }
    for (int i : learner.reports.size() == 1 ? QVector<int>() : bestFirst(reports, learner.reports)) {
        const Report &r = reports[i];
        // Two attempts of one test in the same second are two attempts when
        // one record holds both (a database row each); only another file's
        // copy is the same attempt. So the n-th of a record's attempts with
        // one key matches the n-th of that key in every other file.
        QHash<QString, int> inThisReport;
        for (int k = 0; k < r.results.size(); ++k) {
            const QString base = attemptKey(r.results[k]);
            const QString key = base + QChar(0x1F) + QString::number(inThisReport[base]++);
            const auto at = seen.constFind(key);
            if (at == seen.cend()) {
                seen.insert(key, rows.size());
                rows.append({Row::Result, i, k});
                continue;
            }
            Row &first = rows[*at];
            if (reports[first.report].results[first.result].percent != r.results[k].percent)
                first.disputed = true;
        }
    }
    if (rows.isEmpty()) {
        // A learner whose every file is damaged is named by those files' rows.
        for (int i : std::as_const(learner.reports)) {
            if (reports[i].isSound()) {
                m_rows.append({Row::NoResults, i, -1});
                break;
            }
        }
        return;
    }
    // Oldest first; an attempt whose date cannot be read goes last. Reports
    // list attempts as they were made, so the order is mostly there already.
    struct Dated
    {
        qint64 when;
        Row row;
    };
    QVector<Dated> dated;
    dated.reserve(rows.size());
    for (const Row &w : std::as_const(rows)) {
        const QDateTime &date = reports[w.report].results[w.result].date;
        dated.append({date.isValid() ? date.toMSecsSinceEpoch()
                                     : std::numeric_limits<qint64>::max(),
                      w});
    }
    const auto earlier = [](const Dated &a, const Dated &b) { return a.when < b.when; };
    if (!std::is_sorted(dated.cbegin(), dated.cend(), earlier))
        std::stable_sort(dated.begin(), dated.end(), earlier);
    learner.rows.reserve(learner.rows.size() + dated.size());
    for (const Dated &d : std::as_const(dated)) {
        learner.rows << int(m_rows.size());
        m_rows << d.row;
    }
}

QVector<int> ClassTable::learnerRows(const QString &key) const
{
    return m_learners.value(key).rows;
}

QVector<int> ClassTable::learnerReports(const QString &key) const
{
    return m_learners.value(key).reports;
}

QVector<int> ClassTable::reportsHolding(int row) const
{
    const Row &w = m_rows.at(row);
    if (w.kind != Row::Result)
        return {};
    const QString attempt = attemptKey(m_reports[w.report].results[w.result]);
    QVector<int> out;
    for (int i : bestFirst(m_reports, m_learners.value(m_keys[w.report]).reports)) {
        const Report &r = m_reports[i];
        if (std::any_of(r.results.begin(), r.results.end(),
                        [&](const TestResult &t) { return attemptKey(t) == attempt; }))
            out << i;
    }
    return out;
}

bool ClassTable::listFolder(const QString &dir, QStringList *files, QString *error)
{
    const QDir folder(dir);
    if (!folder.exists()) {
        *error = QStringLiteral("папки нет: ") + QDir::toNativeSeparators(dir);
        return false;
    }
    if (!folder.isReadable()) {
        *error = QStringLiteral("папка не читается: ") + QDir::toNativeSeparators(dir);
        return false;
    }
    // Unreadable files are listed too: they get a row that says so.
    const QStringList names =
        folder.entryList({QStringLiteral("*.rep")}, QDir::Files | QDir::Hidden);
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    collator.setNumericMode(true);
    // Each name's key made once: comparing names by the collator anew for
    // every step of the sort took longer than reading a small class.
    struct Named
    {
        QCollatorSortKey key;
        qsizetype at;
    };
    std::vector<Named> order;
    order.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        order.push_back({collator.sortKey(names[i]), i});
    std::stable_sort(order.begin(), order.end(),
                     [](const Named &a, const Named &b) { return a.key.compare(b.key) < 0; });
    files->clear();
    files->reserve(names.size());
    for (const Named &n : order)
        files->append(folder.filePath(names[n.at]));
    return true;
}

bool ClassTable::readFolder(const QString &dir, QVector<Report> *reports, QString *error)
{
    QStringList files;
    if (!listFolder(dir, &files, error))
        return false;
    reports->clear();
    for (const QString &file : std::as_const(files))
        reports->append(readReport(file));
    return true;
}

QString ClassTable::learnerKey(const Report &report)
{
    // The registration time tells two namesakes of one group apart: it is
    // the same in every report of one learner record.
    return QStringList{report.surname.trimmed(), report.name.trimmed(), report.group.trimmed(),
                       report.mail.trimmed(), report.registeredText.trimmed()}
        .join(QChar(0x1F));
}

QStringList ClassTable::groups() const
{
    QSet<QString> set;
    for (const Report &r : m_reports) {
        if (r.hasLearner)
            set.insert(r.group);
    }
    QStringList list(set.begin(), set.end());
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    collator.setNumericMode(true);
    std::sort(list.begin(), list.end(), collator);
    return list;
}

QStringList ClassTable::topicList() const
{
    return m_topicList;
}

int ClassTable::problemCount() const
{
    return int(std::count_if(m_reports.begin(), m_reports.end(),
                             [](const Report &r) { return !r.isSound(); }));
}

int ClassTable::learnerCount() const
{
    return int(m_learners.size());
}

QString ClassTable::percentShown(double percent)
{
    // The report holds the share as single precision wrote it (66.6999969…);
    // a tenth of a per cent is what a teacher reads.
    const double rounded = std::round(percent * 10) / 10;
    return QLocale(QLocale::Russian, QLocale::Russia)
               .toString(rounded, 'f', rounded == std::floor(rounded) ? 0 : 1) +
           QStringLiteral(" %");
}

QString ClassTable::dateShown(const QDateTime &date, const QString &asWritten)
{
    return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : asWritten;
}

QString ClassTable::text(int row, int column) const
{
    const Row &w = m_rows[row];
    const Report &r = m_reports[w.report];
    const bool learner = r.hasLearner;
    switch (column) {
    case Surname:
        return learner ? r.surname : QString();
    case Name:
        return learner ? r.name : QString();
    case Group:
        return learner ? r.group : QString();
    case Test:
        if (w.kind == Row::Problem)
            return r.error;
        if (w.kind == Row::NoResults)
            return QStringLiteral("нет пройденных тестов");
        return m_topics.title(r.results[w.result].topic);
    case Date:
        if (w.kind == Row::Result) {
            const TestResult &t = r.results[w.result];
            return dateShown(t.date, t.dateText);
        }
        return QString();
    case Percent:
        return w.kind == Row::Result ? percentShown(r.results[w.result].percent) : QString();
    case File:
        return QFileInfo(r.path).fileName();
    }
    return QString();
}

QString ClassTable::toolTip(int row, int column) const
{
    const Row &w = m_rows[row];
    const Report &r = m_reports[w.report];
    if (w.kind == Row::Problem)
        return QDir::toNativeSeparators(r.path) + u'\n' + r.error;
    if (column == File) {
        QStringList files;
        const QVector<int> holding = reportsHolding(row);
        for (int i : holding)
            files << QDir::toNativeSeparators(m_reports[i].path);
        if (files.size() > 1)
            return QStringLiteral("Эта попытка есть в отчётах:\n") + files.join(u'\n');
        return QDir::toNativeSeparators(r.path);
    }
    // The title may be cut in a narrow column.
    if (column == Test && w.kind != Row::Problem)
        return text(row, column);
    if (column == Percent && w.kind == Row::Result) {
        QString tip = QStringLiteral("В отчёте: %1%").arg(r.results[w.result].percentText);
        if (w.disputed)
            tip += QStringLiteral("\nВ другом отчёте этого ученика у той же попытки другая "
                                  "правильность: один из файлов изменён вручную.");
        return tip;
    }
    return QString();
}

int ClassTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ClassTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ClassTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &w = m_rows[index.row()];
    const Report &r = m_reports[w.report];
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole: {
        const QString tip = toolTip(index.row(), index.column());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::TextAlignmentRole:
        if (index.column() == Percent)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case SortRole:
        if (w.kind == Row::Result) {
            const TestResult &t = r.results[w.result];
            if (index.column() == Percent)
                return t.percent;
            if (index.column() == Date && t.date.isValid())
                return t.date;
            if (index.column() == Test)
                return QStringLiteral("%1").arg(CourseTopics::order(t.topic), 8, 10,
                                                QLatin1Char('0')) +
                       t.topic;
        }
        if (index.column() == Percent)
            return -1.0;
        return text(index.row(), index.column()).toLower();
    case KindRole:
        return int(w.kind);
    case GroupRole:
        return r.hasLearner ? r.group : QString();
    case TopicRole:
        return w.kind == Row::Result ? r.results[w.result].topic : QString();
    case LearnerRole:
        return r.hasLearner ? m_keys[w.report] : QString();
    case ReportRole:
        return w.report;
    }
    return {};
}

QVariant ClassTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const names[] = {"Фамилия", "Имя",          "Группа", "Тест",
                                        "Дата",    "Правильность", "Файл"};
    if (section >= 0 && section < ColumnCount)
        return QString::fromUtf8(names[section]);
    return {};
}

ClassFilter::ClassFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(ClassTable::SortRole);
    setSortLocaleAware(true);
}

namespace {

// A null string (every group or test) differs from an empty one (the group
// left blank).
bool sameChoice(const QString &a, const QString &b)
{
    return a.isNull() == b.isNull() && a == b;
}

} // namespace

void ClassFilter::setGroup(const QString &group)
{
    // Filtering a large class anew for nothing is felt.
    if (sameChoice(group, m_group))
        return;
    m_group = group;
    invalidateFilter();
}

void ClassFilter::setTopic(const QString &topic)
{
    if (sameChoice(topic, m_topic))
        return;
    m_topic = topic;
    invalidateFilter();
}

bool ClassFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    // Nothing narrowed: every row, without asking each one.
    if (m_group.isNull() && m_topic.isNull())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const int kind = index.data(ClassTable::KindRole).toInt();
    if (kind == ClassTable::Row::Problem)
        return true;
    if (!m_group.isNull() && index.data(ClassTable::GroupRole).toString() != m_group)
        return false;
    if (!m_topic.isNull() && (kind != ClassTable::Row::Result ||
                              index.data(ClassTable::TopicRole).toString() != m_topic))
        return false;
    return true;
}

namespace {

struct Latest
{
    QDateTime date;
    double percent = 0;
};

// A retaken test replaces the earlier try; undated results keep file order.
bool replaces(const QDateTime &date, const Latest &earlier)
{
    return !earlier.date.isValid() || !date.isValid() || date >= earlier.date;
}

TopicSummary summaryOf(const QString &topic, const CourseTopics &topics,
                       const QVector<double> &results)
{
    TopicSummary s;
    s.topic = topic;
    s.title = topics.title(topic);
    s.results = results;
    double sum = 0;
    for (double r : results)
        sum += r;
    s.average = results.isEmpty() ? 0 : sum / double(results.size());
    return s;
}

void sortByTest(QVector<TopicSummary> &out)
{
    std::sort(out.begin(), out.end(), [](const TopicSummary &a, const TopicSummary &b) {
        const int oa = CourseTopics::order(a.topic), ob = CourseTopics::order(b.topic);
        return oa != ob ? oa < ob : a.topic < b.topic;
    });
}

} // namespace

QVector<TopicSummary> ClassTable::summarise(const QVector<int> &rows,
                                            const CourseTopics &topics) const
{
    // A learner's latest result per test, learners in the order of their
    // keys so that the dots keep their places from one drawing to the next.
    struct Topic
    {
        QVector<Latest> latest; // by learner
        QVector<char> taken;
    };
    const qsizetype learners = m_learners.size();
    QVector<Topic> byTopic(m_topicList.size());
    for (int row : rows) {
        const Row &w = m_rows[row];
        if (w.kind != Row::Result)
            continue;
        const TestResult &t = m_reports[w.report].results[w.result];
        Topic &topic = byTopic[w.topic];
        if (topic.latest.isEmpty()) {
            topic.latest.resize(learners);
            topic.taken.fill(0, learners);
        }
        const int learner = m_learnerAt[w.report];
        Latest &l = topic.latest[learner];
        if (!topic.taken[learner] || replaces(t.date, l)) {
            topic.taken[learner] = 1;
            l = {t.date, t.percent};
        }
    }
    QVector<TopicSummary> out;
    for (int k = 0; k < byTopic.size(); ++k) {
        const Topic &t = byTopic[k];
        if (t.latest.isEmpty())
            continue;
        QVector<double> results;
        for (qsizetype i = 0; i < learners; ++i) {
            if (t.taken[i])
                results << t.latest[i].percent;
        }
        out << summaryOf(m_topicList[k], topics, results);
    }
    // Already in test order.
    return out;
}

QVector<TopicSummary> summariseByTopic(const QAbstractItemModel &rows, const CourseTopics &topics)
{
    // The class's own table, or the window's filter over it: read directly,
    // in the order of the files whatever order the view is sorted in.
    const auto *filter = qobject_cast<const ClassFilter *>(&rows);
    const auto *table = qobject_cast<const ClassTable *>(filter ? filter->sourceModel() : &rows);
    if (table) {
        QVector<int> sourceRows;
        sourceRows.reserve(table->rowCount());
        for (int i = 0; i < table->rowCount(); ++i) {
            if (!filter || filter->accepts(i))
                sourceRows << i;
        }
        return table->summarise(sourceRows, topics);
    }
    // topic -> learner -> latest result; learners in order, so the dots keep
    // their places from one drawing to the next
    QHash<QString, QMap<QString, Latest>> byTopic;
    for (int i = 0; i < rows.rowCount(); ++i) {
        const QModelIndex index = rows.index(i, 0);
        if (index.data(ClassTable::KindRole).toInt() != ClassTable::Row::Result)
            continue;
        const QString topic = index.data(ClassTable::TopicRole).toString();
        const QString learner = index.data(ClassTable::LearnerRole).toString();
        const double percent =
            rows.index(i, ClassTable::Percent).data(ClassTable::SortRole).toDouble();
        const QDateTime date =
            rows.index(i, ClassTable::Date).data(ClassTable::SortRole).toDateTime();
        auto &perLearner = byTopic[topic];
        auto it = perLearner.find(learner);
        if (it == perLearner.end())
            perLearner.insert(learner, {date, percent});
        else if (replaces(date, *it))
            *it = {date, percent};
    }
    QVector<TopicSummary> out;
    for (auto t = byTopic.cbegin(); t != byTopic.cend(); ++t) {
        QVector<double> results;
        for (const Latest &l : t.value())
            results << l.percent;
        out << summaryOf(t.key(), topics, results);
    }
    sortByTest(out);
    return out;
}

} // namespace teacher
