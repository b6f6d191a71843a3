#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <optional>

namespace lab {

// Where the class database is and which class this seat belongs to. Every
// libpq keyword other than the four named here stays in options (sslmode,
// service, connect_timeout, ...), so libpq applies it as it always does.
// A password is never read from the course folder: libpq finds it in
// ~/.pgpass, PGPASSFILE or a service file.
struct ConnectionSettings
{
    QString host; // empty: libpq's default (the local socket, PGHOST)
    int port = 0; // 0: libpq's default
    QString database;
    QString user; // empty: libpq's default (PGUSER, the login name)
    QString password; // only from TARVEL_LAB, never from lab.ini
    QString className; // empty: every learner of the database
    QMap<QString, QString> options;
    QString source; // the file or variable the settings came from

    // The server as the learner is told about it: "host" or "host:port".
    QString serverLabel() const;
    // A libpq connection string for the whole of it (for messages and tools;
    // the password is left out).
    QString describe() const;
};

class LabSettings
{
public:
    static constexpr const char *kEnvVariable = "TARVEL_LAB";
    static constexpr const char *kClassVariable = "TARVEL_LAB_CLASS";
    static QString fileName() { return QStringLiteral("lab.ini"); }

    // The seat's lab: the environment's connection string first, then the
    // course folder's lab.ini. nullopt when neither is there (the seat then
    // keeps its dect.chh). Throws LabError (Settings) when what is there
    // cannot be used.
    static std::optional<ConnectionSettings>
    find(const QString &courseDir,
         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

    // A libpq connection string, "key=value ..." or a postgresql:// URI.
    static ConnectionSettings parseConnectionString(const QString &conninfo);
    // A lab file: section [lab] with server, port, database, user, class
    // and sslmode or service.
    static ConnectionSettings readFile(const QString &path);
};

} // namespace lab
