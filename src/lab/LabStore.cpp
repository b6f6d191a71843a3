#include "lab/LabStore.h"

#include "lab/LabError.h"

#include <QLocale>
#include <QThread>
#include <QUuid>
#include <QVariant>
#include <algorithm>

namespace lab {

using learners::LearnerEntry;
using learners::LearnerFields;
using learners::LearnerId;
using learners::StoreError;

namespace {

// The first key of every advisory lock the textbook takes ("TARV"), so that
// its locks cannot meet another program's on the same database.
constexpr int kLockSpace = 0x54415256;

QString newRequestId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString nameOrUnknown(const QString &name)
{
    return name.isEmpty() ? learners::LearnerStore::unknownName() : name;
}

StoreError::Kind storeKind(LabError::Kind kind)
{
    switch (kind) {
    case LabError::Kind::Settings:
    case LabError::Kind::Unreachable:
    case LabError::Kind::Authentication:
    case LabError::Kind::NoDatabase:
    case LabError::Kind::Tls:
        return StoreError::Kind::Unavailable;
    case LabError::Kind::NoSchema:
    case LabError::Kind::SchemaOlder:
    case LabError::Kind::SchemaNewer:
        return StoreError::Kind::Schema;
    case LabError::Kind::LearnerInUse:
        return StoreError::Kind::InUse;
    case LabError::Kind::ConnectionLost:
    case LabError::Kind::Query:
        break;
    }
    return StoreError::Kind::Failed;
}

[[noreturn]] void notFound()
{
    throw StoreError(QStringLiteral("Запись ученика не найдена: возможно, её удалили на другом "
                                    "компьютере. Выберите ученика заново."),
                     StoreError::Kind::NotFound);
}

QString ticksText(const std::array<bool, 5> &ticked)
{
    QString text;
    for (int i = 0; i < 5; ++i) {
        if (ticked[size_t(i)])
            text += QChar(u'A' + i);
    }
    return text;
}

} // namespace

LabStore::LabStore(const ConnectionSettings &settings)
    : m_settings(settings)
    , m_db(std::make_unique<LabDatabase>(settings))
{
    m_db->setReconnectHook([this] { retakeClaim(); });
}

LabStore::LabStore(const LabError &settingsError)
    : m_refusal(settingsError)
    , m_db(std::make_unique<LabDatabase>(ConnectionSettings()))
{
}

LabStore::~LabStore() = default;

QString LabStore::sharedLocation() const
{
    // A seat whose lab settings could not be used still works for the lab.
    if (m_refusal)
        return QStringLiteral("База данных класса");
    const QString server = QStringLiteral("сервер %1").arg(m_settings.serverLabel());
    if (m_settings.className.isEmpty())
        return QStringLiteral("База данных класса, ") + server;
    return QStringLiteral("Класс %1, ").arg(m_settings.className) + server;
}

void LabStore::open()
{
    if (m_refusal)
        throw StoreError(m_refusal->message(), storeKind(m_refusal->kind()));
    if (isOpen())
        return;
    try {
        m_db->open();
        m_db->requireSchema();
    } catch (const LabError &e) {
        m_db->close();
        throw StoreError(e.message(), storeKind(e.kind()));
    }
}

bool LabStore::isOpen() const
{
    return m_db->isOpen();
}

void LabStore::close()
{
    m_db->close();
    m_claimed = LearnerId();
    m_backendPid = 0;
}

void LabStore::run(const std::function<void()> &work, bool change) const
{
    try {
        m_db->transaction(work);
    } catch (const LabError &e) {
        QString message = e.message();
        if (change)
            message += QStringLiteral(" Изменение не сохранено.");
        throw StoreError(message, storeKind(e.kind()));
    }
}

void LabStore::requireLearner(LearnerId learner, bool lock) const
{
    if (!learner.isValid())
        notFound();
    const QString sql = QStringLiteral("SELECT 1 FROM learner WHERE id = ? AND class = ?")
                      + (lock ? QStringLiteral(" FOR UPDATE") : QString());
    if (!m_db->scalar(sql, {learner.value(), m_settings.className}).isValid())
        notFound();
}

bool LabStore::tryLock(qint64 learner) const
{
    return m_db->scalar(QStringLiteral("SELECT pg_try_advisory_lock(?, ?::integer)"),
                        {kLockSpace, learner})
        .toBool();
}

void LabStore::unlock(qint64 learner) const
{
    m_db->exec(QStringLiteral("SELECT pg_advisory_unlock(?, ?::integer)"), {kLockSpace, learner});
    m_db->exec(QStringLiteral("DELETE FROM seat WHERE learner_id = ? AND backend_pid = pg_backend_pid()"),
               {learner});
}

void LabStore::recordSeat(qint64 learner) const
{
    m_backendPid = m_db->scalar(QStringLiteral("SELECT pg_backend_pid()")).toInt();
    m_db->exec(QStringLiteral("INSERT INTO seat (learner_id, computer, since, backend_pid) "
                              "VALUES (?, ?, now(), pg_backend_pid()) "
                              "ON CONFLICT (learner_id) DO UPDATE SET computer = excluded.computer, "
                              "since = excluded.since, backend_pid = excluded.backend_pid"),
               {learner, LabDatabase::computerName()});
}

void LabStore::throwInUse(qint64 learner) const
{
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT l.name, l.sourname, s.computer, s.since "
                                            "FROM learner l LEFT JOIN seat s ON s.learner_id = l.id "
                                            "WHERE l.id = ?"),
                             {learner});
    QString who, computer;
    QDateTime since;
    if (q.next()) {
        who = (q.value(0).toString() + u' ' + q.value(1).toString()).trimmed();
        computer = q.value(2).toString();
        since = q.value(3).toDateTime().toLocalTime();
    }
    QString where = computer.isEmpty() ? QStringLiteral("на другом компьютере")
                                       : QStringLiteral("за компьютером «%1»").arg(computer);
    if (since.isValid()) {
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        where += since.date() == QDate::currentDate()
                     ? QStringLiteral(" с %1").arg(ru.toString(since.time(), QStringLiteral("HH:mm")))
                     : QStringLiteral(" с %1").arg(ru.toString(since, QStringLiteral("dd.MM.yyyy HH:mm")));
    }
    throw LabError(LabError::Kind::LearnerInUse,
                   QStringLiteral("Ученик «%1» уже работает %2.").arg(who, where));
}

// After a broken connection the old session's lock is gone or going: the
// seat takes its learner back, unless another seat has taken it meanwhile.
void LabStore::retakeClaim() const
{
    if (!m_claimed.isValid())
        return;
    const qint64 id = m_claimed.value();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (tryLock(id)) {
            recordSeat(id);
            return;
        }
        // The server may not yet have noticed that our old session is dead.
        const QVariant holder = m_db->scalar(
            QStringLiteral("SELECT backend_pid FROM seat WHERE learner_id = ? AND computer = ?"),
            {id, LabDatabase::computerName()});
        if (attempt > 0 || !holder.isValid() || holder.toInt() != m_backendPid)
            break;
        m_db->exec(QStringLiteral("SELECT pg_terminate_backend(?)"), {m_backendPid});
        QThread::msleep(200);
    }
    throwInUse(id);
}

void LabStore::readLearners(const std::function<void(const LearnerEntry &)> &sink) const
{
    QVector<LearnerEntry> list;
    run(
        [&] {
            list.clear();
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT id, name, sourname, grp FROM learner "
                                                    "WHERE class = ? ORDER BY id"),
                                     {m_settings.className});
            while (q.next())
                list.append(LearnerEntry{LearnerId(q.value(0).toLongLong()), q.value(1).toString(),
                                         q.value(2).toString(), q.value(3).toString()});
        },
        false);
    for (const LearnerEntry &entry : list)
        sink(entry);
}

LearnerFields LabStore::learnerFormFields(LearnerId learner) const
{
    LearnerFields fields;
    run(
        [&] {
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT name, sourname, grp, mail FROM learner "
                                                    "WHERE id = ? AND class = ?"),
                                     {learner.value(), m_settings.className});
            if (!learner.isValid() || !q.next())
                notFound();
            fields = LearnerFields{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                   q.value(3).toString(), QString()};
        },
        false);
    return fields;
}

LearnerId LabStore::registerLearner(const LearnerFields &fields)
{
    const QString request = newRequestId();
    const QString stamp = currentTimeStamp();
    LearnerId id;
    run(
        [&] {
            m_db->exec(QStringLiteral("INSERT INTO learner (request_id, class, name, sourname, grp, "
                                      "mail, registered) VALUES (?::uuid, ?, ?, ?, ?, ?, ?) "
                                      "ON CONFLICT (request_id) DO NOTHING"),
                       {request, m_settings.className, nameOrUnknown(fields.name), fields.sourname,
                        fields.group, fields.mail, stamp});
            id = LearnerId(m_db->scalar(QStringLiteral("SELECT id FROM learner WHERE request_id = ?::uuid"),
                                        {request})
                               .toLongLong());
        },
        true);
    return id;
}

void LabStore::changeLearner(LearnerId learner, const LearnerFields &fields)
{
    run(
        [&] {
            requireLearner(learner, true);
            m_db->exec(QStringLiteral("UPDATE learner SET name = ?, sourname = ?, grp = ?, mail = ?, "
                                      "changed = now() WHERE id = ?"),
                       {nameOrUnknown(fields.name), fields.sourname, fields.group, fields.mail,
                        learner.value()});
        },
        true);
}

void LabStore::deleteLearner(LearnerId learner)
{
    bool tried = false;
    run(
        [&] {
            // A repeat after a break: the first try may have deleted it.
            const bool repeat = tried;
            tried = true;
            if (!learner.isValid())
                notFound();
            if (!m_db->scalar(QStringLiteral("SELECT 1 FROM learner WHERE id = ? AND class = ? FOR UPDATE"),
                              {learner.value(), m_settings.className})
                     .isValid()) {
                if (repeat)
                    return;
                notFound();
            }
            // Nobody may be deleted from under another seat.
            const bool ours = m_claimed == learner;
            if (!ours) {
                if (!tryLock(learner.value()))
                    throwInUse(learner.value());
                unlock(learner.value());
            }
            m_db->exec(QStringLiteral("DELETE FROM learner WHERE id = ?"), {learner.value()});
            if (ours)
                unlock(learner.value());
        },
        true);
    if (m_claimed == learner)
        m_claimed = LearnerId();
}

void LabStore::claimLearner(LearnerId learner, bool takeOver)
{
    run(
        [&] {
            requireLearner(learner);
            if (m_claimed == learner && tryLock(learner.value())) {
                // Held already: the lock counts twice now, give one back.
                unlock(learner.value());
                recordSeat(learner.value());
                return;
            }
            if (m_claimed.isValid() && m_claimed != learner) {
                unlock(m_claimed.value());
                m_claimed = LearnerId();
            }
            if (!tryLock(learner.value())) {
                if (!takeOver)
                    throwInUse(learner.value());
                // The other seat's session ends; its next change says why.
                m_db->exec(QStringLiteral("SELECT pg_terminate_backend(backend_pid) FROM seat "
                                          "WHERE learner_id = ? AND backend_pid <> pg_backend_pid()"),
                           {learner.value()});
                bool locked = false;
                for (int i = 0; i < 50 && !locked; ++i) {
                    QThread::msleep(100);
                    locked = tryLock(learner.value());
                }
                if (!locked)
                    throwInUse(learner.value());
            }
            recordSeat(learner.value());
            m_claimed = learner;
        },
        false);
}

void LabStore::readLearnerRecord(LearnerId learner,
                                 const std::function<void(const char *, const QString &)> &field,
                                 const std::function<void(const learners::TestRecord &)> &test) const
{
    LearnerFields f;
    QVector<learners::TestRecord> tests;
    run(
        [&] {
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT name, sourname, grp, mail, registered "
                                                    "FROM learner WHERE id = ? AND class = ?"),
                                     {learner.value(), m_settings.className});
            if (!learner.isValid() || !q.next())
                notFound();
            f = LearnerFields{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                              q.value(3).toString(), q.value(4).toString()};
            tests.clear();
            QSqlQuery t = m_db->exec(QStringLiteral("SELECT topic, taken, percent FROM test_result "
                                                    "WHERE learner_id = ? ORDER BY id"),
                                     {learner.value()});
            while (t.next())
                tests.append({t.value(0).toString(), t.value(1).toString(), t.value(2).toString()});
        },
        false);
    field("name", f.name);
    field("sourname", f.sourname);
    field("group", f.group);
    field("mail", f.mail);
    field("date", f.date);
    for (const learners::TestRecord &record : tests)
        test(record);
}

QVector<learners::TestRecord> LabStore::testRecords(LearnerId learner) const
{
    QVector<learners::TestRecord> tests;
    run(
        [&] {
            requireLearner(learner);
            tests.clear();
            QSqlQuery t = m_db->exec(QStringLiteral("SELECT topic, taken, percent FROM test_result "
                                                    "WHERE learner_id = ? ORDER BY id"),
                                     {learner.value()});
            while (t.next())
                tests.append({t.value(0).toString(), t.value(1).toString(), t.value(2).toString()});
        },
        false);
    return tests;
}

void LabStore::addTestResult(LearnerId learner, const learners::TestResult &result)
{
    const QString request = newRequestId();
    const QString stamp = currentTimeStamp();
    run(
        [&] {
            requireLearner(learner, true);
            const QVariant id = m_db->scalar(
                QStringLiteral("INSERT INTO test_result (request_id, learner_id, topic, taken, percent) "
                               "VALUES (?::uuid, ?, ?, ?, ?) ON CONFLICT (request_id) DO NOTHING "
                               "RETURNING id"),
                {request, learner.value(), result.topic, stamp, QString::number(result.percent)});
            if (!id.isValid())
                return; // kept by a try the connection broke after
            int position = 0;
            for (const learners::QuestionAnswer &a : result.answers)
                m_db->exec(QStringLiteral("INSERT INTO answer (result_id, position, lecture, number, "
                                          "question, ticks, correct) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                           {id, position++, a.lecture, a.number, a.question, ticksText(a.ticked),
                            a.correct});
        },
        true);
}

void LabStore::addBookmark(LearnerId learner, int page, int increment, const QString &section)
{
    const QString request = newRequestId();
    run(
        [&] {
            requireLearner(learner, true);
            m_db->exec(QStringLiteral("INSERT INTO bookmark (request_id, learner_id, title, page, "
                                      "increment, section) VALUES (?::uuid, ?, ?, ?, ?, ?) "
                                      "ON CONFLICT (request_id) DO NOTHING"),
                       {request, learner.value(), bookmarkTitle(page), page,
                        std::clamp(increment, 0, 100), section});
        },
        true);
}

void LabStore::deleteBookmark(LearnerId learner, int index)
{
    // The bookmark is chosen once: a repeat after a break must not take the
    // next one in the list.
    QVariant chosen;
    run(
        [&] {
            requireLearner(learner, true);
            if (!chosen.isValid()) {
                chosen = m_db->scalar(QStringLiteral("SELECT id FROM bookmark WHERE learner_id = ? "
                                                     "ORDER BY id OFFSET ? LIMIT 1"),
                                      {learner.value(), std::max(index, 0)});
                if (index < 0 || !chosen.isValid())
                    throw LabError(LabError::Kind::Query,
                                   QStringLiteral("Закладка не найдена: возможно, её уже удалили."));
            }
            m_db->exec(QStringLiteral("DELETE FROM bookmark WHERE id = ?"), {chosen});
        },
        true);
}

void LabStore::readBookmarks(LearnerId learner, const std::function<void(const QString &)> &title,
                             const std::function<void(int, int)> &position,
                             const std::function<void(const QString &)> &section) const
{
    QVector<learners::Bookmark> list;
    run(
        [&] {
            requireLearner(learner);
            list.clear();
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT title, page, increment, section FROM bookmark "
                                                    "WHERE learner_id = ? ORDER BY id"),
                                     {learner.value()});
            while (q.next())
                list.append({q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt(),
                             q.value(3).toString()});
        },
        false);
    for (const learners::Bookmark &b : list) {
        title(b.title);
        position(b.page, b.increment);
        if (section && !b.section.isEmpty())
            section(b.section);
    }
}

learners::Place LabStore::place(LearnerId learner) const
{
    learners::Place p;
    run(
        [&] {
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT place_page, place_increment, place_section "
                                                    "FROM learner WHERE id = ? AND class = ?"),
                                     {learner.value(), m_settings.className});
            if (!learner.isValid() || !q.next())
                notFound();
            p = learners::Place{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString()};
        },
        false);
    return p;
}

void LabStore::setPlace(LearnerId learner, const learners::Place &place)
{
    run(
        [&] {
            requireLearner(learner, true);
            m_db->exec(QStringLiteral("UPDATE learner SET place_page = ?, place_increment = ?, "
                                      "place_section = ? WHERE id = ?"),
                       {place.page, std::clamp(place.increment, 0, 100), place.section, learner.value()});
        },
        true);
}

QVector<int> LabStore::openedPages(LearnerId learner) const
{
    QVector<int> pages;
    run(
        [&] {
            requireLearner(learner);
            pages.clear();
            QSqlQuery q = m_db->exec(
                QStringLiteral("SELECT page FROM opened_page WHERE learner_id = ? ORDER BY page"),
                {learner.value()});
            while (q.next())
                pages.append(q.value(0).toInt());
        },
        false);
    return pages;
}

void LabStore::markOpened(LearnerId learner, int page)
{
    run(
        [&] {
            requireLearner(learner);
            m_db->exec(QStringLiteral("INSERT INTO opened_page (learner_id, page) VALUES (?, ?) "
                                      "ON CONFLICT DO NOTHING"),
                       {learner.value(), page});
        },
        true);
}

learners::Preferences LabStore::preferences(LearnerId learner) const
{
    learners::Preferences p;
    run(
        [&] {
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT font_family, font_size, font_color, bold, "
                                                    "italic, zoom, narrow_column FROM learner "
                                                    "WHERE id = ? AND class = ?"),
                                     {learner.value(), m_settings.className});
            if (!learner.isValid() || !q.next())
                notFound();
            p.fontFamily = q.value(0).toString();
            p.fontSize = q.value(1).toInt();
            p.fontColor = q.value(2).toString();
            p.bold = q.value(3).toBool();
            p.italic = q.value(4).toBool();
            p.zoom = q.value(5).toInt();
            p.narrowColumn = q.value(6).toBool();
        },
        false);
    return p;
}

void LabStore::setPreferences(LearnerId learner, const learners::Preferences &prefs)
{
    run(
        [&] {
            requireLearner(learner, true);
            m_db->exec(QStringLiteral("UPDATE learner SET font_family = ?, font_size = ?, font_color = ?, "
                                      "bold = ?, italic = ?, zoom = ?, narrow_column = ? WHERE id = ?"),
                       {prefs.fontFamily, prefs.fontSize, prefs.fontColor, prefs.bold, prefs.italic,
                        prefs.zoom, prefs.narrowColumn, learner.value()});
        },
        true);
}

} // namespace lab
