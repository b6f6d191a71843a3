#include "teacher/ClassDatabase.h"

#include "lab/LabDatabase.h"
#include "lab/LabError.h"

#include <QHash>
#include <QSqlQuery>

namespace teacher {

ClassDatabase::ClassDatabase(const lab::ConnectionSettings &settings)
    : m_settings(settings)
    , m_db(std::make_unique<lab::LabDatabase>(settings))
{
    // The teacher's view polls: a lost server is reported at the next
    // round instead of being waited for.
    m_db->setRetryWindow(0);
}

ClassDatabase::~ClassDatabase() = default;

QString ClassDatabase::label(const lab::ConnectionSettings &settings)
{
    QString text = settings.serverLabel();
    if (!settings.database.isEmpty())
        text += u'/' + settings.database;
    if (!settings.className.isEmpty())
        text += QStringLiteral(", класс «%1»").arg(settings.className);
    return text;
}

void ClassDatabase::open()
{
    try {
        m_db->open();
        m_db->requireSchema();
    } catch (const lab::LabError &) {
        m_db->close();
        throw;
    }
}

bool ClassDatabase::isOpen() const
{
    return m_db->isOpen();
}

void ClassDatabase::close()
{
    m_db->close();
}

QString ClassDatabase::changeStamp()
{
    QString stamp;
    m_db->transaction([&] {
        QSqlQuery q = m_db->exec(
            QStringLiteral("SELECT (SELECT count(*) FROM learner WHERE class = ? OR ? = ''),"
                           " (SELECT coalesce(max(changed)::text, '') FROM learner"
                           "   WHERE class = ? OR ? = ''),"
                           " (SELECT count(*) FROM test_result r JOIN learner l ON l.id = r.learner_id"
                           "   WHERE l.class = ? OR ? = ''),"
                           " (SELECT coalesce(max(r.id), 0) FROM test_result r"
                           "   JOIN learner l ON l.id = r.learner_id WHERE l.class = ? OR ? = '')"),
            {m_settings.className, m_settings.className, m_settings.className,
             m_settings.className, m_settings.className, m_settings.className,
             m_settings.className, m_settings.className});
        if (q.next()) {
            for (int i = 0; i < 4; ++i)
                stamp += q.value(i).toString() + u'|';
        }
    });
    return stamp;
}

ClassSnapshot ClassDatabase::read()
{
    ClassSnapshot snapshot;
    const QString where = label(m_settings);
    // One transaction: learners, results and answers seen at one moment.
    m_db->transaction([&] {
        snapshot = {};
        m_db->exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        const QVariantList cls{m_settings.className, m_settings.className};
        QHash<qint64, int> byId;
        QSqlQuery l = m_db->exec(
            QStringLiteral("SELECT id, name, sourname, grp, mail, registered FROM learner"
                           " WHERE class = ? OR ? = '' ORDER BY sourname, name, id"),
            cls);
        while (l.next()) {
            Report r;
            const qint64 id = l.value(0).toLongLong();
            // Not a file: the table's file column names the record instead.
            r.path = where + QStringLiteral("/№%1").arg(id);
            r.name = l.value(1).toString();
            r.surname = l.value(2).toString();
            r.group = l.value(3).toString();
            r.mail = l.value(4).toString();
            r.registeredText = l.value(5).toString();
            r.registered = parseStamp(r.registeredText);
            r.hasLearner = true;
            byId.insert(id, int(snapshot.reports.size()));
            snapshot.reports << r;
        }
        QSqlQuery t = m_db->exec(
            QStringLiteral("SELECT r.learner_id, r.topic, r.taken, r.percent FROM test_result r"
                           " JOIN learner l ON l.id = r.learner_id WHERE l.class = ? OR ? = ''"
                           " ORDER BY r.id"),
            cls);
        while (t.next()) {
            const auto at = byId.constFind(t.value(0).toLongLong());
            if (at == byId.cend())
                continue; // registered after the list was read
            TestResult result;
            result.topic = t.value(1).toString();
            result.dateText = t.value(2).toString().remove(u'\n');
            result.date = parseStamp(result.dateText);
            result.percentText = t.value(3).toString();
            if (!parsePercent(result.percentText, &result.percent))
                result.percent = 0;
            snapshot.reports[*at].results << result;
        }
        QSqlQuery a = m_db->exec(
            QStringLiteral("SELECT l.grp, r.topic, a.lecture, a.number, min(a.question),"
                           " count(*), count(*) FILTER (WHERE a.correct),"
                           " count(DISTINCT r.learner_id)"
                           " FROM answer a JOIN test_result r ON r.id = a.result_id"
                           " JOIN learner l ON l.id = r.learner_id WHERE l.class = ? OR ? = ''"
                           " GROUP BY l.grp, r.topic, a.lecture, a.number"
                           " ORDER BY r.topic, a.lecture, a.number, l.grp"),
            cls);
        while (a.next()) {
            QuestionStat q;
            q.group = a.value(0).toString();
            q.topic = a.value(1).toString();
            q.lecture = a.value(2).toString();
            q.number = a.value(3).toString();
            q.question = a.value(4).toString();
            q.answered = a.value(5).toInt();
            q.right = a.value(6).toInt();
            q.learners = a.value(7).toInt();
            snapshot.questions << q;
        }
    });
    return snapshot;
}

} // namespace teacher
