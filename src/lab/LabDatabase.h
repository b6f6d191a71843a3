#pragma once

#include "lab/LabSettings.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <QVector>
#include <functional>

namespace lab {

// One connection of a seat (or of the tools) to the class database, through
// Qt SQL's PostgreSQL driver. Opens with messages a learner can act on,
// knows the schema's version and runs changes as transactions that survive a
// broken connection.
class LabDatabase
{
public:
    explicit LabDatabase(const ConnectionSettings &settings);
    ~LabDatabase();
    LabDatabase(const LabDatabase &) = delete;
    LabDatabase &operator=(const LabDatabase &) = delete;

    const ConnectionSettings &settings() const { return m_settings; }

    // Connects; throws LabError (Unreachable, Authentication, NoDatabase,
    // Tls, Settings or Query) with a Russian message naming the server.
    void open();
    bool isOpen() const;
    void close();

    // Runs one statement with positional (?) values; throws LabError,
    // ConnectionLost when the connection is gone.
    QSqlQuery exec(const QString &sql, const QVariantList &values = {});
    // The first column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql, const QVariantList &values = {});

    // Runs work between BEGIN and COMMIT. When the connection breaks (or the
    // server asks for a retry) the connection is made again and work runs
    // again, until the retry window is over; so work must be safe to repeat:
    // an insert carries its request id. Any other failure rolls back and
    // goes on.
    void transaction(const std::function<void()> &work);
    // How long a change waits for the server to come back.
    static constexpr int kDefaultRetryWindowMs = 5000;
    void setRetryWindow(int milliseconds) { m_retryWindowMs = milliseconds; }
    // Called after a broken connection was made again, inside the retry
    // (for the session's locks, which died with the old connection).
    void setReconnectHook(std::function<void()> hook) { m_reconnectHook = std::move(hook); }

    // The schema.
    struct Migration
    {
        int version;
        QString note; // Russian, for tarvel-lab init's report
        QStringList statements;
    };
    static const QVector<Migration> &migrations();
    static int currentSchemaVersion();
    // 0 when the database has no version table yet.
    int schemaVersion();
    // Throws NoSchema, SchemaOlder or SchemaNewer unless the database is at
    // the expected version.
    void requireSchema(int expected = currentSchemaVersion());
    // Applies the missing migrations, each in its own transaction, under a
    // lock so that two inits at once do not collide. Returns one Russian
    // line per step. Throws SchemaNewer when the database is ahead.
    QStringList migrate(const QVector<Migration> &list = migrations());

    // The name other seats see for this one.
    static QString computerName();

private:
    [[noreturn]] void raise(const QSqlError &error, const QString &sql);
    bool isConnectionFailure(const QSqlError &error) const;
    void rollback();

    ConnectionSettings m_settings;
    QString m_connectionName;
    // Long enough for a server restart, short enough that a learner whose
    // change cannot be saved hears it within seconds.
    int m_retryWindowMs = kDefaultRetryWindowMs;
    std::function<void()> m_reconnectHook;
    bool m_inTransaction = false;
    bool m_rolledBack = false;
};

} // namespace lab
