// Where the class database is, how a failed connection is told, the schema's
// versions and transactions that survive a broken connection.

#include "LabServer.h"
#include "lab/LabError.h"

#include <QTemporaryDir>
#include <QtTest>

using lab::ConnectionSettings;
using lab::LabDatabase;
using lab::LabError;
using lab::LabSettings;

namespace {

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

QString joinedOptions(const ConnectionSettings &s)
{
    QStringList parts;
    for (auto it = s.options.cbegin(); it != s.options.cend(); ++it)
        parts << it.key() + u'=' + it.value();
    return parts.join(u' ');
}

// The kind of LabError f throws; -1 when it throws none.
int thrownKind(const std::function<void()> &f, QString *message = nullptr)
{
    try {
        f();
    } catch (const LabError &e) {
        if (message)
            *message = e.message();
        return int(e.kind());
    }
    return -1;
}

// Two steps of a made-up schema, for the older and newer cases.
const QVector<LabDatabase::Migration> &twoSteps()
{
    static const QVector<LabDatabase::Migration> list = {
        {1, QStringLiteral("первая"), {QStringLiteral("CREATE TABLE a (x integer)")}},
        {2, QStringLiteral("вторая"), {QStringLiteral("CREATE TABLE b (y integer)")}},
    };
    return list;
}

} // namespace

class TestLabDatabase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!labtest::serverSettings().host.isEmpty(),
                 "the pgserver fixture did not start the test server");
        // No password file of the machine may answer for the tests.
        qputenv("PGPASSFILE", "/nonexistent/pgpass");
    }

    void connectionStrings_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("options");
        QTest::newRow("keywords") << "host=school.local port=5433 dbname=tarvel user=seat"
                                  << "school.local" << 5433 << "tarvel" << "seat" << "";
        QTest::newRow("quoted, escapes, options")
            << "host = '/run/my pg' dbname='кл\\'асс' sslmode=require  connect_timeout=3"
            << "/run/my pg" << 0 << "кл'асс" << "" << "connect_timeout=3 sslmode=require";
        QTest::newRow("service only") << "service=school" << "" << 0 << "" << "" << "service=school";
        QTest::newRow("uri") << "postgresql://seat@10.0.0.5:5434/tarvel?sslmode=verify-full"
                             << "10.0.0.5" << 5434 << "tarvel" << "seat" << "sslmode=verify-full";
    }
    void connectionStrings()
    {
        QFETCH(QString, conninfo);
        const ConnectionSettings s = LabSettings::parseConnectionString(conninfo);
        QTEST(s.host, "host");
        QTEST(s.port, "port");
        QTEST(s.database, "database");
        QTEST(s.user, "user");
        QTEST(joinedOptions(s), "options");
    }

    void badConnectionStrings_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::newRow("no equals sign") << "host school";
        QTest::newRow("open quote") << "host='school";
        QTest::newRow("port not a number") << "host=school port=abc";
        QTest::newRow("port out of range") << "host=school port=70000";
        QTest::newRow("semicolon in an option") << "host=school application_name=a;b";
    }
    void badConnectionStrings()
    {
        QFETCH(QString, conninfo);
        QString message;
        QCOMPARE(thrownKind([&] { LabSettings::parseConnectionString(conninfo); }, &message),
                 int(LabError::Kind::Settings));
        QVERIFY2(message.contains(QStringLiteral("TARVEL_LAB")), qPrintable(message));
    }

    // lab.ini in the course folder; the environment overrides it.
    void labFile()
    {
        QTemporaryDir course;
        QVERIFY(course.isValid());
        QProcessEnvironment env; // empty: no TARVEL_LAB
        QVERIFY(!LabSettings::find(course.path(), env).has_value());

        const QString ini = course.filePath(QStringLiteral("lab.ini"));
        QVERIFY(writeFile(ini, "[lab]\nserver=school.local\nport=5433\ndatabase=klass\n"
                               "user=seat\nclass=9Б\nsslmode=require\n"));
        auto s = LabSettings::find(course.path(), env);
        QVERIFY(s.has_value());
        QCOMPARE(s->host, QStringLiteral("school.local"));
        QCOMPARE(s->port, 5433);
        QCOMPARE(s->database, QStringLiteral("klass"));
        QCOMPARE(s->user, QStringLiteral("seat"));
        QCOMPARE(s->className, QStringLiteral("9Б"));
        QCOMPARE(s->options.value(QStringLiteral("sslmode")), QStringLiteral("require"));
        QCOMPARE(s->serverLabel(), QStringLiteral("school.local:5433"));

        // Without a database the file means the textbook's usual one.
        QVERIFY(writeFile(ini, "server=school.local\n"));
        QCOMPARE(LabSettings::find(course.path(), env)->database, QStringLiteral("tarvel"));

        env.insert(QStringLiteral("TARVEL_LAB"), QStringLiteral("host=other dbname=x"));
        env.insert(QStringLiteral("TARVEL_LAB_CLASS"), QStringLiteral("10А"));
        s = LabSettings::find(course.path(), env);
        QCOMPARE(s->host, QStringLiteral("other"));
        QCOMPARE(s->className, QStringLiteral("10А"));
    }

    void labFileRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("says");
        QTest::newRow("password") << QByteArray("[lab]\nserver=s\npassword=secret\n")
                                  << QStringLiteral("~/.pgpass");
        QTest::newRow("bad port") << QByteArray("[lab]\nserver=s\nport=пять\n")
                                  << QStringLiteral("порт");
    }
    void labFileRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, says);
        QTemporaryDir course;
        QVERIFY(writeFile(course.filePath(QStringLiteral("lab.ini")), text));
        QString message;
        QCOMPARE(thrownKind([&] { LabSettings::find(course.path(), QProcessEnvironment()); },
                            &message),
                 int(LabError::Kind::Settings));
        QVERIFY2(message.contains(QStringLiteral("lab.ini")) && message.contains(says),
                 qPrintable(message));
    }

    // Each way a connection fails has its own message, naming the server.
    void openFailures_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        const ConnectionSettings server = labtest::serverSettings();
        const QString socketDir = server.host;
        const QString port = QString::number(server.port);
        const QString tcpPort = labtest::readState(QStringLiteral("tcpport"));
        QTest::newRow("no server on the socket")
            << QStringLiteral("host=/nonexistent/socket dbname=postgres")
            << int(LabError::Kind::Unreachable) << QStringLiteral("/nonexistent/socket");
        QTest::newRow("nobody on the port")
            << QStringLiteral("host=127.0.0.1 port=1 dbname=postgres user=tarvel")
            << int(LabError::Kind::Unreachable) << QStringLiteral("127.0.0.1:1");
        QTest::newRow("wrong password")
            << QStringLiteral("host=%1 port=%2 dbname=postgres user=lab_pw password=wrong")
                   .arg(socketDir, port)
            << int(LabError::Kind::Authentication) << QStringLiteral("lab_pw");
        QTest::newRow("no password anywhere")
            << QStringLiteral("host=%1 port=%2 dbname=postgres user=lab_pw").arg(socketDir, port)
            << int(LabError::Kind::Authentication) << QStringLiteral(".pgpass");
        QTest::newRow("missing database")
            << QStringLiteral("host=%1 port=%2 dbname=nosuchclass user=tarvel").arg(socketDir, port)
            << int(LabError::Kind::NoDatabase) << QStringLiteral("«nosuchclass»");
        QTest::newRow("TLS required, server has none")
            << QStringLiteral("host=127.0.0.1 port=%1 dbname=postgres user=tarvel sslmode=require")
                   .arg(tcpPort)
            << int(LabError::Kind::Tls) << QStringLiteral("TLS");
    }
    void openFailures()
    {
        QFETCH(QString, conninfo);
        QFETCH(int, kind);
        QFETCH(QString, says);
        LabDatabase db(LabSettings::parseConnectionString(conninfo));
        QString message;
        QCOMPARE(thrownKind([&] { db.open(); }, &message), kind);
        QVERIFY2(message.contains(says), qPrintable(message));
        QVERIFY(!db.isOpen());
    }

    // The password comes from libpq's own password file.
    void passwordFromPgpass()
    {
        QTemporaryDir dir;
        const ConnectionSettings server = labtest::serverSettings();
        const QString pgpass = dir.filePath(QStringLiteral("pgpass"));
        QVERIFY(writeFile(pgpass, QStringLiteral("*:*:*:lab_pw:secret\n").toUtf8()));
        QFile::setPermissions(pgpass, QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGPASSFILE", pgpass.toLocal8Bit());
        ConnectionSettings s = server;
        s.user = QStringLiteral("lab_pw");
        LabDatabase db(s);
        const int kind = thrownKind([&] { db.open(); });
        qputenv("PGPASSFILE", "/nonexistent/pgpass");
        QCOMPARE(kind, -1);
        QCOMPARE(db.scalar(QStringLiteral("SELECT current_user")).toString(), QStringLiteral("lab_pw"));
    }

    void migrations()
    {
        LabDatabase db(labtest::freshDatabase());
        db.open();
        QCOMPARE(db.schemaVersion(), 0);
        QString message;
        QCOMPARE(thrownKind([&] { db.requireSchema(); }, &message), int(LabError::Kind::NoSchema));
        QVERIFY(message.contains(QStringLiteral("tarvel-lab init")));

        const QStringList report = db.migrate();
        QCOMPARE(report.size(), LabDatabase::migrations().size());
        QVERIFY(report.first().startsWith(QStringLiteral("Версия схемы 1: ")));
        QCOMPARE(db.schemaVersion(), LabDatabase::currentSchemaVersion());
        QCOMPARE(thrownKind([&] { db.requireSchema(); }), -1);
        // A second run finds nothing to do.
        QVERIFY(db.migrate().isEmpty());
        for (const char *table : {"learner", "test_result", "answer", "bookmark", "opened_page", "seat"})
            QVERIFY2(db.scalar(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"),
                               {QString::fromLatin1(table)})
                         .toBool(),
                     table);
    }

    // A seat refuses a database made by an older or a newer program.
    void olderAndNewerSchema()
    {
        LabDatabase db(labtest::freshDatabase());
        db.open();
        QCOMPARE(db.migrate(twoSteps().mid(0, 1)).size(), 1);
        QString message;
        QCOMPARE(thrownKind([&] { db.requireSchema(2); }, &message), int(LabError::Kind::SchemaOlder));
        QVERIFY2(message.contains(QStringLiteral("версия 1")) && message.contains(QStringLiteral("ничего не запишет")),
                 qPrintable(message));

        // The upgrade applies only the missing step.
        QCOMPARE(db.migrate(twoSteps()), QStringList{QStringLiteral("Версия схемы 2: вторая.")});
        QCOMPARE(thrownKind([&] { db.requireSchema(2); }), -1);

        QCOMPARE(thrownKind([&] { db.requireSchema(1); }, &message), int(LabError::Kind::SchemaNewer));
        QVERIFY2(message.contains(QStringLiteral("более новой версией")), qPrintable(message));
        // An init of the older program leaves the newer database alone.
        QCOMPARE(thrownKind([&] { db.migrate(twoSteps().mid(0, 1)); }), int(LabError::Kind::SchemaNewer));
        QCOMPARE(db.schemaVersion(), 2);
    }

    void transactionRollsBack()
    {
        LabDatabase db(labtest::freshDatabase());
        db.open();
        db.exec(QStringLiteral("CREATE TABLE t (x integer)"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.transaction([&] {
            db.exec(QStringLiteral("INSERT INTO t VALUES (1)"));
            throw std::runtime_error("stop");
        }));
        QCOMPARE(thrownKind([&] {
                     db.transaction([&] {
                         db.exec(QStringLiteral("INSERT INTO t VALUES (2)"));
                         db.exec(QStringLiteral("INSERT INTO nosuchtable VALUES (3)"));
                     });
                 }),
                 int(LabError::Kind::Query));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 0);
        // The connection is still good for the next change.
        db.transaction([&] { db.exec(QStringLiteral("INSERT INTO t VALUES (4)")); });
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 1);
    }

    // The server drops the seat's connection in the middle of a change: the
    // change runs again on a new connection, once, and the hook re-takes
    // what the old session held.
    void transactionSurvivesBrokenConnection()
    {
        const ConnectionSettings s = labtest::freshDatabase();
        LabDatabase db(s);
        db.open();
        LabDatabase admin(s);
        admin.open();
        db.exec(QStringLiteral("CREATE TABLE t (request text PRIMARY KEY)"));
        int reconnects = 0;
        db.setReconnectHook([&] { ++reconnects; });
        int attempts = 0;
        db.transaction([&] {
            ++attempts;
            db.exec(QStringLiteral("INSERT INTO t VALUES ('r1') ON CONFLICT DO NOTHING"));
            if (attempts == 1) {
                const QVariant pid = db.scalar(QStringLiteral("SELECT pg_backend_pid()"));
                admin.exec(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid});
                db.exec(QStringLiteral("SELECT 1"));
            }
        });
        QCOMPARE(attempts, 2);
        QCOMPARE(reconnects, 1);
        QCOMPARE(admin.scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 1);
    }

    // When the server stays away the change fails with a message, in time.
    void transactionGivesUp()
    {
        LabDatabase away(LabSettings::parseConnectionString(
            QStringLiteral("host=/nonexistent/socket dbname=x")));
        away.setRetryWindow(300);
        QString message;
        QCOMPARE(thrownKind([&] { away.transaction([] {}); }, &message),
                 int(LabError::Kind::ConnectionLost));
        QVERIFY2(message.contains(QStringLiteral("/nonexistent/socket")), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestLabDatabase)
#include "tst_labdatabase.moc"
