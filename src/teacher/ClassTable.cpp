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

namespace teacher {

ClassTable::ClassTable(QObject *parent) : QAbstractTableModel(parent) {}

void ClassTable::setTopics(const CourseTopics &topics)
{
    beginResetModel();
    m_topics = topics;
    endResetModel();
}

void ClassTable::setReports(QVector<Report> reports)
{
    beginResetModel();
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

void ClassTable::rebuildRows()
{
    m_rows.clear();
    m_learners.clear();
    // Asked for every row when the class is summed up.
    m_keys.clear();
    m_keys.reserve(m_reports.size());
    for (int i = 0; i < m_reports.size(); ++i) {
        const Report &r = m_reports[i];
        m_keys << (r.hasLearner ? learnerKey(r) : QString());
        if (r.hasLearner)
            m_learners[m_keys.back()].reports << i;
    }
    // A learner's rows stand where the learner's first file stands; every
    // damaged file keeps its own row in its own place.
    for (int i = 0; i < m_reports.size(); ++i) {
        const Report &r = m_reports[i];
        if (r.hasLearner) {
            Learner &learner = m_learners[m_keys[i]];
            if (learner.reports.first() == i)
                addLearnerRows(learner);
        }
        if (!r.isSound())
            m_rows.append({Row::Problem, i, -1});
    }
}

void ClassTable::addLearnerRows(Learner &learner)
{
    QVector<Row> rows;
    QHash<QString, qsizetype> seen; // attempt -> its place in rows
    for (int i : bestFirst(m_reports, learner.reports)) {
        const Report &r = m_reports[i];
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
            if (m_reports[first.report].results[first.result].percent != r.results[k].percent)
                first.disputed = true;
        }
    }
    if (rows.isEmpty()) {
        // A learner whose every file is damaged is named by those files' rows.
        for (int i : std::as_const(learner.reports)) {
            if (m_reports[i].isSound()) {
                m_rows.append({Row::NoResults, i, -1});
                break;
            }
        }
        return;
    }
    // Oldest first; an attempt whose date cannot be read goes last.
    const auto dateOf = [&](const Row &w) -> const QDateTime & {
        return m_reports[w.report].results[w.result].date;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
        const QDateTime &da = dateOf(a), &db = dateOf(b);
        if (da.isValid() != db.isValid())
            return da.isValid();
        return da.isValid() && da < db;
    });
    for (const Row &w : std::as_const(rows)) {
        learner.rows << int(m_rows.size());
        m_rows << w;
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
    QStringList names = folder.entryList({QStringLiteral("*.rep")}, QDir::Files | QDir::Hidden);
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
    files->clear();
    for (const QString &name : std::as_const(names))
        files->append(folder.filePath(name));
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
    QSet<QString> set;
    for (const Report &r : m_reports) {
        for (const TestResult &t : r.results)
            set.insert(t.topic);
    }
    QStringList list(set.begin(), set.end());
    std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        const int oa = CourseTopics::order(a), ob = CourseTopics::order(b);
        return oa != ob ? oa < ob : a < b;
    });
    return list;
}

int ClassTable::problemCount() const
{
    return int(std::count_if(m_reports.begin(), m_reports.end(),
                             [](const Report &r) { return !r.isSound(); }));
}

int ClassTable::learnerCount() const
{
    QSet<QString> keys;
    for (const Report &r : m_reports) {
        if (r.hasLearner)
            keys.insert(learnerKey(r));
    }
    return int(keys.size());
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

void ClassFilter::setGroup(const QString &group)
{
    m_group = group;
    invalidateFilter();
}

void ClassFilter::setTopic(const QString &topic)
{
    m_topic = topic;
    invalidateFilter();
}

bool ClassFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
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

QVector<TopicSummary> summariseByTopic(const QAbstractItemModel &rows, const CourseTopics &topics)
{
    struct Latest
    {
        QDateTime date;
        double percent = 0;
    };
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
        // A retaken test replaces the earlier try; undated results keep file order.
        if (it == perLearner.end())
            perLearner.insert(learner, {date, percent});
        else if (!it->date.isValid() || !date.isValid() || date >= it->date)
            *it = {date, percent};
    }
    QVector<TopicSummary> out;
    for (auto t = byTopic.cbegin(); t != byTopic.cend(); ++t) {
        TopicSummary s;
        s.topic = t.key();
        s.title = topics.title(t.key());
        double sum = 0;
        for (const Latest &l : t.value()) {
            s.results << l.percent;
            sum += l.percent;
        }
        s.average = s.results.isEmpty() ? 0 : sum / double(s.results.size());
        out << s;
    }
    std::sort(out.begin(), out.end(), [](const TopicSummary &a, const TopicSummary &b) {
        const int oa = CourseTopics::order(a.topic), ob = CourseTopics::order(b.topic);
        return oa != ob ? oa < ob : a.topic < b.topic;
    });
    return out;
}

} // namespace teacher
