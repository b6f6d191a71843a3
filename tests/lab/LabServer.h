#pragma once

// The tests' own PostgreSQL server (started by the pgserver fixture): its
// connection settings and a fresh database per test.

#include "lab/LabDatabase.h"
#include "lab/LabSettings.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QUuid>
#include <QtTest>

namespace labtest {

inline QString stateFile(const QString &name)
{
    return qEnvironmentVariable("TARVEL_TEST_PG_STATE") + u'/' + name;
}

inline QString readState(const QString &name)
{
    QFile f(stateFile(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// The superuser's settings; empty host when the fixture did not run.
inline lab::ConnectionSettings serverSettings()
{
    const QString conninfo = readState(QStringLiteral("conninfo"));
    if (conninfo.isEmpty())
        return {};
    return lab::LabSettings::parseConnectionString(conninfo);
}

// A new, empty database on the test server; its settings.
inline lab::ConnectionSettings freshDatabase()
{
    lab::ConnectionSettings s = serverSettings();
    if (s.host.isEmpty())
        qFatal("the test PostgreSQL server is not running (the pgserver fixture did not start it)");
    const QString name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128);
    {
        lab::LabDatabase admin(s);
        admin.open();
        admin.exec(QStringLiteral("CREATE DATABASE ") + name);
    }
    s.database = name;
    return s;
}

// Runs the fixture's script (kill, restart).
inline bool pgserver(const QString &command)
{
    const int rc = QProcess::execute(qEnvironmentVariable("TARVEL_PGSERVER"),
                                     {command, qEnvironmentVariable("TARVEL_TEST_PG_STATE")});
    return rc == 0;
}

} // namespace labtest
