#include "lab/LabDatabase.h"

#include "lab/LabError.h"

#include <QAtomicInt>
#include <QDeadlineTimer>
#include <QSqlError>
#include <QSysInfo>
#include <QThread>

namespace lab {

namespace {

QAtomicInt connectionCounter;

// Serialises tarvel-lab init runs on one database.
constexpr qint64 kMigrationLockKey = 0x5441525645'4c00LL; // "TARVEL"

const QString kVersionTable = QStringLiteral("tarvel_schema_version");

bool containsAny(const QString &text, std::initializer_list<const char *> markers)
{
    for (const char *m : markers) {
        if (text.contains(QString::fromUtf8(m), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// libpq reports a failed connection only as text, in the server's or the
// client's language; the markers cover English and Russian.
LabError classifyOpenError(const ConnectionSettings &s, const QString &text)
{
    const QString server = s.serverLabel();
    if (containsAny(text, {"SSL", "TLS", "encryption", "шифрован"}))
        return LabError(LabError::Kind::Tls,
                        QStringLiteral("Сервер компьютерного класса «%1» и этот компьютер не "
                                       "договорились о защищённом соединении (TLS).")
                            .arg(server),
                        text);
    if (containsAny(text, {"password", "пароль", "authentication", "аутентифик", "pg_hba.conf",
                           "role", "роль"})) {
        QString user = s.user;
        if (user.isEmpty())
            user = qEnvironmentVariable("PGUSER", qEnvironmentVariable("USER"));
        return LabError(LabError::Kind::Authentication,
                        QStringLiteral("Сервер компьютерного класса «%1» не принял пользователя "
                                       "«%2» или его пароль. Пароль хранится в файле ~/.pgpass "
                                       "этого компьютера.")
                            .arg(server, user),
                        text);
    }
    if ((text.contains(QStringLiteral("database"), Qt::CaseInsensitive)
         && text.contains(QStringLiteral("does not exist"), Qt::CaseInsensitive))
        || (text.contains(QStringLiteral("база данных"), Qt::CaseInsensitive)
            && text.contains(QStringLiteral("не существует"), Qt::CaseInsensitive)))
        return LabError(LabError::Kind::NoDatabase,
                        QStringLiteral("На сервере компьютерного класса «%1» нет базы данных «%2».")
                            .arg(server, s.database),
                        text);
    return LabError(LabError::Kind::Unreachable,
                    QStringLiteral("Нет связи с сервером компьютерного класса «%1».").arg(server),
                    text);
}

} // namespace

LabDatabase::LabDatabase(const ConnectionSettings &settings)
    : m_settings(settings)
    , m_connectionName(QStringLiteral("tarvel-lab-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

LabDatabase::~LabDatabase()
{
    close();
}

void LabDatabase::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool LabDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName)
        && QSqlDatabase::database(m_connectionName, false).isOpen();
}

void LabDatabase::open()
{
    close();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw LabError(LabError::Kind::Settings,
                       QStringLiteral("Учебник не может работать с сервером компьютерного класса: "
                                      "не установлен драйвер PostgreSQL для Qt (пакет "
                                      "libqt6sql6-psql)."));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    db.setHostName(m_settings.host);
    if (m_settings.port > 0)
        db.setPort(m_settings.port);
    db.setDatabaseName(m_settings.database);
    db.setUserName(m_settings.user);
    db.setPassword(m_settings.password);
    QMap<QString, QString> options = m_settings.options;
    // A server that does not answer must not hold the seat for minutes:
    // connecting gives up after a few seconds, and a connection whose
    // server vanished (power, cable) is noticed by keepalives and by data
    // left unacknowledged, instead of by the system's TCP timeout of minutes.
    // libpq ignores the TCP ones on a Unix socket.
    const std::pair<const char *, const char *> bounds[] = {
        {"connect_timeout", "3"},     {"keepalives", "1"},
        {"keepalives_idle", "5"},     {"keepalives_interval", "2"},
        {"keepalives_count", "2"},    {"tcp_user_timeout", "8000"},
    };
    for (const auto &[key, value] : bounds) {
        if (!options.contains(QLatin1String(key)))
            options.insert(QLatin1String(key), QLatin1String(value));
    }
    if (!options.contains(QStringLiteral("application_name")))
        options.insert(QStringLiteral("application_name"), QStringLiteral("tarvel"));
    QStringList parts;
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        QString value = it.value();
        value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        parts << it.key() + QStringLiteral("='") + value + u'\'';
    }
    db.setConnectOptions(parts.join(u';'));
    if (!db.open()) {
        const QString text = db.lastError().databaseText().isEmpty() ? db.lastError().text()
                                                                     : db.lastError().databaseText();
        db = QSqlDatabase(); // the last handle, so that the connection can go
        close();
        throw classifyOpenError(m_settings, text);
    }
}

bool LabDatabase::isConnectionFailure(const QSqlError &error) const
{
    const QString state = error.nativeErrorCode();
    // 08: connection exceptions; 57P: the server shutting down or gone.
    if (state.startsWith(QStringLiteral("08")) || state.startsWith(QStringLiteral("57P")))
        return true;
    if (!isOpen())
        return true;
    // No SQL state at all: the failure came from the client library, as
    // when the connection broke under the statement.
    return state.isEmpty() && error.type() != QSqlError::NoError;
}

void LabDatabase::raise(const QSqlError &error, const QString &sql)
{
    const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (isConnectionFailure(error))
        throw LabError(LabError::Kind::ConnectionLost,
                       QStringLiteral("Связь с сервером компьютерного класса «%1» потеряна.")
                           .arg(m_settings.serverLabel()),
                       detail);
    const QString state = error.nativeErrorCode();
    throw LabError(LabError::Kind::Query,
                   QStringLiteral("Сервер компьютерного класса «%1» отказал: %2")
                       .arg(m_settings.serverLabel(), detail.trimmed()),
                   state + u' ' + sql.left(200));
}

QSqlQuery LabDatabase::exec(const QString &sql, const QVariantList &values)
{
    if (!isOpen())
        throw LabError(LabError::Kind::ConnectionLost,
                       QStringLiteral("Связь с сервером компьютерного класса «%1» потеряна.")
                           .arg(m_settings.serverLabel()));
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    bool ok;
    if (values.isEmpty()) {
        ok = query.exec(sql);
    } else {
        ok = query.prepare(sql);
        if (ok) {
            for (const QVariant &v : values) {
                // A null QString would be stored as SQL NULL; the records
                // keep empty text instead.
                if (v.typeId() == QMetaType::QString && v.toString().isNull())
                    query.addBindValue(QStringLiteral(""));
                else
                    query.addBindValue(v);
            }
            ok = query.exec();
        }
    }
    if (!ok) {
        const QSqlError error = query.lastError();
        // End the failed transaction now: the query, going out of scope,
        // frees its prepared statement, which an aborted transaction refuses.
        if (m_inTransaction && !m_rolledBack && !isConnectionFailure(error)) {
            QSqlQuery rollback(QSqlDatabase::database(m_connectionName, false));
            rollback.exec(QStringLiteral("ROLLBACK"));
            m_rolledBack = true;
        }
        raise(error, sql);
    }
    return query;
}

QVariant LabDatabase::scalar(const QString &sql, const QVariantList &values)
{
    QSqlQuery query = exec(sql, values);
    return query.next() ? query.value(0) : QVariant();
}

void LabDatabase::rollback()
{
    if (!m_rolledBack && isOpen()) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        query.exec(QStringLiteral("ROLLBACK"));
    }
    m_rolledBack = true;
}

void LabDatabase::transaction(const std::function<void()> &work)
{
    if (m_inTransaction) {
        work();
        return;
    }
    QDeadlineTimer deadline(m_retryWindowMs);
    int delay = 50;
    bool reconnected = false;
    while (true) {
        try {
            if (!isOpen()) {
                open();
                reconnected = true;
            }
            m_rolledBack = true; // no transaction open yet
            if (reconnected && m_reconnectHook) {
                reconnected = false;
                m_reconnectHook();
            }
            m_inTransaction = true;
            m_rolledBack = false;
            exec(QStringLiteral("BEGIN"));
            work();
            exec(QStringLiteral("COMMIT"));
            m_inTransaction = false;
            return;
        } catch (const LabError &e) {
            m_inTransaction = false;
            const bool retry = e.kind() == LabError::Kind::ConnectionLost
                            || e.kind() == LabError::Kind::Unreachable
                            || e.detail().startsWith(QStringLiteral("40001"))
                            || e.detail().startsWith(QStringLiteral("40P01"));
            if (!retry) {
                rollback();
                throw;
            }
            if (e.kind() != LabError::Kind::Query)
                close();
            else
                rollback();
            if (deadline.hasExpired()) {
                if (e.kind() == LabError::Kind::Query)
                    throw;
                throw LabError(LabError::Kind::ConnectionLost,
                               QStringLiteral("Связь с сервером компьютерного класса «%1» "
                                              "потеряна.")
                                   .arg(m_settings.serverLabel()),
                               e.detail());
            }
            QThread::msleep(static_cast<unsigned long>(delay));
            delay = std::min(delay * 2, 1000);
        } catch (...) {
            m_inTransaction = false;
            rollback();
            throw;
        }
    }
}

int LabDatabase::schemaVersion()
{
    const QVariant exists = scalar(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {kVersionTable});
    if (!exists.toBool())
        return 0;
    return scalar(QStringLiteral("SELECT coalesce(max(version), 0) FROM ") + kVersionTable).toInt();
}

void LabDatabase::requireSchema(int expected)
{
    const int found = schemaVersion();
    if (found == expected)
        return;
    if (found == 0)
        throw LabError(LabError::Kind::NoSchema,
                       QStringLiteral("База данных компьютерного класса ещё не подготовлена: "
                                      "учитель готовит её командой «tarvel-lab init». Учебник "
                                      "ничего не запишет в неё."));
    if (found < expected)
        throw LabError(LabError::Kind::SchemaOlder,
                       QStringLiteral("База данных компьютерного класса устарела (версия %1, "
                                      "учебнику нужна %2): учитель обновляет её командой "
                                      "«tarvel-lab init». Учебник ничего не запишет в неё.")
                           .arg(found)
                           .arg(expected));
    throw LabError(LabError::Kind::SchemaNewer,
                   QStringLiteral("База данных компьютерного класса создана более новой версией "
                                  "учебника (версия %1, эта версия знает %2): обновите учебник "
                                  "на этом компьютере. Учебник ничего не запишет в неё.")
                       .arg(found)
                       .arg(expected));
}

QStringList LabDatabase::migrate(const QVector<Migration> &list)
{
    QStringList report;
    const int target = list.isEmpty() ? 0 : list.constLast().version;
    bool done = false;
    while (!done) {
        transaction([&] {
            exec(QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {kMigrationLockKey});
            exec(QStringLiteral("SET LOCAL client_min_messages = warning"));
            exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + kVersionTable
                 + QStringLiteral(" (version integer PRIMARY KEY, applied timestamptz NOT NULL "
                                  "DEFAULT now(), note text NOT NULL DEFAULT '')"));
            const int found = schemaVersion();
            if (found > target)
                requireSchema(target);
            const auto next = std::find_if(list.cbegin(), list.cend(),
                                           [found](const Migration &m) { return m.version > found; });
            if (next == list.cend()) {
                done = true;
                return;
            }
            for (const QString &statement : next->statements)
                exec(statement);
            exec(QStringLiteral("INSERT INTO ") + kVersionTable
                     + QStringLiteral(" (version, note) VALUES (?, ?)"),
                 {next->version, next->note});
            report << QStringLiteral("Версия схемы %1: %2.").arg(next->version).arg(next->note);
        });
    }
    return report;
}

QString LabDatabase::computerName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("неизвестный компьютер") : name;
}

} // namespace lab
