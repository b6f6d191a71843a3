// The installed tree, the launcher that gives each user a working copy of the
// course, and the desktop entry and AppStream data as the validators see them.
//
// The tree is installed once with `cmake --install` into a temporary prefix.
// The launcher runs a stub in place of the program: the stub records where it
// was started and with which arguments, and exits with a status of our choice.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "core/LineCodec.h"

namespace {

const QString appId = QStringLiteral("org.tarvel.Tarvel");
const QString stampName = QStringLiteral(".course-version");
const QString courseDir = QStringLiteral("share/tarvel/course");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Relative paths of every file below dir, hidden ones included.
QStringList filesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &args,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setProcessEnvironment(env);
    p.start();
    Run r;
    if (!p.waitForStarted() || !p.waitForFinished(120000)) {
        r.err = "could not run " + program.toUtf8() + ": " + p.errorString().toUtf8();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_prefix; // installed once, never changed by the tests
    QString m_stub;
    QString m_record;
    int m_case = 0;

    // A fresh folder for one test case; its name has a blank in it, since the
    // users' data folders may.
    QString freshDir(const QString &what)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("case %1 %2").arg(++m_case).arg(what));
        QDir().mkpath(dir);
        return dir;
    }

    // A private copy of the installed tree, for the cases that change it.
    QString copyOfPrefix()
    {
        const QString copy = freshDir(QStringLiteral("prefix"));
        const Run r = run(QStringLiteral("cp"),
                          {QStringLiteral("-a"), m_prefix + QStringLiteral("/."), copy});
        return r.exitCode == 0 ? copy : QString();
    }

    // The environment of a desktop session: a home folder and a data folder.
    QProcessEnvironment sessionEnv(const QString &home, const QString &dataHome)
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"),
                   qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin")));
        env.insert(QStringLiteral("STUB_RECORD"), m_record);
        if (!home.isNull())
            env.insert(QStringLiteral("HOME"), home);
        if (!dataHome.isNull())
            env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        return env;
    }

    // Starts the launcher of the given tree with the stub as the program.
    Run launch(const QString &prefix, const QProcessEnvironment &sessionEnv,
               const QStringList &args = {})
    {
        QFile::remove(m_record);
        QProcessEnvironment env = sessionEnv;
        env.insert(QStringLiteral("TARVEL_BIN"), m_stub);
        return run(prefix + QStringLiteral("/bin/tarvel"), args, env);
    }

    // The stub's record: the folder it ran in, then one argument a line.
    QStringList record() const
    {
        return QString::fromUtf8(readAll(m_record)).split(u'\n', Qt::SkipEmptyParts);
    }

    static QString workIn(const QString &dataHome)
    {
        return dataHome + QStringLiteral("/tarvel/course");
    }

    // Every shipped file but the learners' records is in the copy, byte for byte.
    static void verifyCourseMatches(const QString &shipped, const QString &work)
    {
        const QStringList files = filesBelow(shipped);
        QVERIFY(files.contains(stampName));
        for (const QString &f : files) {
            if (f == QLatin1String("dect.chh"))
                continue;
            QVERIFY2(readAll(work + u'/' + f) == readAll(shipped + u'/' + f), qPrintable(f));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_prefix = m_tmp.filePath(QStringLiteral("prefix"));
        const Run r = run(QStringLiteral(TARVEL_CMAKE),
                          {QStringLiteral("--install"), QStringLiteral(TARVEL_BUILD_DIR),
                           QStringLiteral("--prefix"), m_prefix});
        QVERIFY2(r.exitCode == 0, r.out.constData() + r.err);

        m_record = m_tmp.filePath(QStringLiteral("record"));
        m_stub = m_tmp.filePath(QStringLiteral("stub"));
        QVERIFY(writeAll(
            m_stub,
            "#!/bin/sh\n"
            "{ pwd -P; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$STUB_RECORD\"\n"
            "exit ${STUB_EXIT:-0}\n"));
        QVERIFY(
            QFile::setPermissions(m_stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The course goes in as the program reads it: every file of course/ but
    // the authoring sources and notes, unchanged, plus the stamp.
    void installedCourse()
    {
        const QString source = QStringLiteral(TARVEL_COURSE_DIR);
        QStringList expected;
        for (const QString &f : filesBelow(source)) {
            if (!f.startsWith(QLatin1String("src/")) && f != QLatin1String("README.md") &&
                !f.endsWith(QLatin1String(".lock")))
                expected << f;
        }
        const QString installed = m_prefix + u'/' + courseDir;
        QStringList got = filesBelow(installed);
        QVERIFY(got.removeOne(stampName));
        QCOMPARE(got, expected);
        for (const QString &f : expected)
            QVERIFY2(readAll(installed + u'/' + f) == readAll(source + u'/' + f), qPrintable(f));

        const QByteArray stamp = readAll(installed + u'/' + stampName);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^%1 [0-9a-f]{64}\\n$")
                                   .arg(QRegularExpression::escape(QStringLiteral(TARVEL_VERSION))))
                .match(QString::fromLatin1(stamp))
                .hasMatch(),
            stamp.constData());
    }

    void installedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        QTest::newRow("launcher") << QStringLiteral("bin/tarvel") << true;
        QTest::newRow("program") << QStringLiteral("libexec/tarvel/tarvel") << true;
        QTest::newRow("teacher's program") << QStringLiteral("bin/tarvel-teacher") << true;
        QTest::newRow("class database tool") << QStringLiteral("bin/tarvel-lab") << true;
        QTest::newRow("teacher's desktop entry")
            << QStringLiteral("share/applications/%1.Teacher.desktop").arg(appId) << false;
        QTest::newRow("desktop entry")
            << QStringLiteral("share/applications/%1.desktop").arg(appId) << false;
        QTest::newRow("metainfo") << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId)
                                  << false;
        QTest::newRow("scalable icon")
            << QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(appId) << false;
    }

    void installedFiles()
    {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo info(m_prefix + u'/' + path);
        QVERIFY2(info.isFile(), qPrintable(path));
        QVERIFY(info.size() > 0);
        QCOMPARE(info.isExecutable(), executable);
        // Nothing the program runs from may be writable by others.
        QVERIFY(!(info.permissions() & (QFile::WriteGroup | QFile::WriteOther)));
    }

    void icons_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }

    // Each PNG is drawn at the size its folder promises.
    void icons()
    {
        QFETCH(int, size);
        const QString path = QStringLiteral("%1/share/icons/hicolor/%2x%2/apps/%3.png")
                                 .arg(m_prefix)
                                 .arg(size)
                                 .arg(appId);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.hasAlphaChannel());
    }

    // The entry starts the launcher and names the installed icon; the
    // AppStream data names the entry and lists this version as its newest release.
    void desktopDataAgree()
    {
        const QString entry = QString::fromUtf8(
            readAll(QStringLiteral("%1/share/applications/%2.desktop").arg(m_prefix, appId)));
        QVERIFY(entry.contains(QStringLiteral("\nExec=tarvel\n")));
        QVERIFY(entry.contains(QStringLiteral("\nIcon=%1\n").arg(appId)));
        QVERIFY(entry.contains(QStringLiteral("\nName=Тарвел\n")));
        // The teacher's program is an action of the textbook's entry and has its own.
        QVERIFY(entry.contains(QStringLiteral("\nActions=teacher;\n")));
        QVERIFY(entry.contains(QStringLiteral("\n[Desktop Action teacher]\n")));
        QVERIFY(entry.contains(QStringLiteral("\nExec=tarvel-teacher\n")));
        const QString teacher = QString::fromUtf8(readAll(
            QStringLiteral("%1/share/applications/%2.Teacher.desktop").arg(m_prefix, appId)));
        QVERIFY(teacher.contains(QStringLiteral("\nName=Тарвел — отчёты учеников\n")));
        QVERIFY(teacher.contains(QStringLiteral("\nExec=tarvel-teacher %F\n")));
        QVERIFY(teacher.contains(QStringLiteral("\nIcon=%1\n").arg(appId)));

        QXmlStreamReader xml(
            readAll(QStringLiteral("%1/share/metainfo/%2.metainfo.xml").arg(m_prefix, appId)));
        QString id, launchable, newest;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("id"))
                id = xml.readElementText();
            else if (xml.name() == QLatin1String("launchable"))
                launchable = xml.readElementText();
            else if (xml.name() == QLatin1String("release") && newest.isEmpty())
                newest = xml.attributes().value(QLatin1String("version")).toString();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(id, appId);
        QCOMPARE(launchable, appId + QStringLiteral(".desktop"));
        QCOMPARE(newest, QStringLiteral(TARVEL_VERSION));
    }

    void validators_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("desktop entry")
            << QStringLiteral("desktop-file-validate")
            << QStringList{QStringLiteral("share/applications/%1.desktop").arg(appId)};
        QTest::newRow("teacher's desktop entry")
            << QStringLiteral("desktop-file-validate")
            << QStringList{QStringLiteral("share/applications/%1.Teacher.desktop").arg(appId)};
        QTest::newRow("metainfo")
            << QStringLiteral("appstreamcli")
            << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                           QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId)};
        // The whole tree: the entry, the icon and the metainfo found together.
        QTest::newRow("tree") << QStringLiteral("appstreamcli")
                              << QStringList{QStringLiteral("validate-tree"),
                                             QStringLiteral("--no-net"), QStringLiteral(".")};
    }

    void validators()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        const QString path = QStandardPaths::findExecutable(tool);
        QVERIFY2(!path.isEmpty(),
                 qPrintable(tool + QStringLiteral(" is missing: run scripts/deps")));
        QProcess p;
        p.setWorkingDirectory(m_prefix);
        p.start(path, args);
        QVERIFY(p.waitForFinished(120000));
        const QByteArray output = p.readAllStandardOutput() + p.readAllStandardError();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, output.constData());
        // Warnings do not fail the tools, but they should not be there either.
        QVERIFY2(!output.contains("warning") && !output.contains("\nW: ") &&
                     !output.startsWith("W: "),
                 output.constData());
    }

    void firstStart_data()
    {
        QTest::addColumn<bool>("readOnlyInstall");
        QTest::newRow("as installed") << false;
        // An administrator may well strip the write bits of the shipped files.
        QTest::newRow("read-only course") << true;
    }

    // The first start makes the working copy and runs the program in it with
    // the launcher's arguments; the program's exit status is the launcher's.
    void firstStart()
    {
        QFETCH(bool, readOnlyInstall);
        const QString prefix = readOnlyInstall ? copyOfPrefix() : m_prefix;
        QVERIFY(!prefix.isEmpty());
        // Give the write bits back whatever happens, so the folder can be removed.
        const auto restore = qScopeGuard([&] {
            if (readOnlyInstall)
                run(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+w"), prefix});
        });
        if (readOnlyInstall)
            QCOMPARE(run(QStringLiteral("chmod"),
                         {QStringLiteral("-R"), QStringLiteral("a-w"), prefix + u'/' + courseDir})
                         .exitCode,
                     0);

        const QString data = freshDir(QStringLiteral("data"));
        QProcessEnvironment env = sessionEnv(freshDir(QStringLiteral("home")), data);
        env.insert(QStringLiteral("STUB_EXIT"), QStringLiteral("3"));
        const Run r = launch(prefix, env, {QStringLiteral("one arg"), QStringLiteral("two")});
        QVERIFY2(r.exitCode == 3, r.err.constData());

        const QString work = workIn(data);
        QCOMPARE(record(), (QStringList{work, QStringLiteral("one arg"), QStringLiteral("two")}));
        const QString shipped = prefix + u'/' + courseDir;
        verifyCourseMatches(shipped, work);
        QCOMPARE(readAll(work + QStringLiteral("/dect.chh")),
                 readAll(shipped + QStringLiteral("/dect.chh")));
        // The program saves dect.chh beside the old one and renames it over.
        QVERIFY(QFileInfo(work + QStringLiteral("/dect.chh")).isWritable());
        QVERIFY(QFileInfo(work).isWritable());
        // No half-made copy is left beside the real one.
        QCOMPARE(QDir(data + QStringLiteral("/tarvel"))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("course")});
    }

    void laterStarts_data()
    {
        QTest::addColumn<bool>("newCourse");
        QTest::newRow("same course") << false;
        QTest::newRow("new course installed") << true;
    }

    // Later starts keep the learners' records and the user's own files; a
    // newly installed course replaces the other course files, the same one
    // leaves the copy as it is.
    void laterStarts()
    {
        QFETCH(bool, newCourse);
        const QString prefix = copyOfPrefix();
        QVERIFY(!prefix.isEmpty());
        const QString shipped = prefix + u'/' + courseDir;
        const QString data = freshDir(QStringLiteral("data"));
        const QProcessEnvironment env = sessionEnv(freshDir(QStringLiteral("home")), data);
        QCOMPARE(launch(prefix, env).exitCode, 0);

        const QString work = workIn(data);
        // What the program would have saved for a learner; the launcher never parses it.
        const QByteArray learners =
            readAll(work + QStringLiteral("/dect.chh")) + "<!-- learner Анна -->\n";
        QVERIFY(writeAll(work + QStringLiteral("/dect.chh"), learners));
        QVERIFY(writeAll(work + QStringLiteral("/Анна.rep"), "0;report\r\n"));
        const QByteArray edited = "<!-- edited in the copy -->";
        QVERIFY(writeAll(work + QStringLiteral("/lections/lection1.rvf"), edited));

        if (newCourse) {
            QVERIFY(writeAll(shipped + QStringLiteral("/lections/lection2.rvf"), "<rvf/>"));
            QVERIFY(writeAll(shipped + QStringLiteral("/pictures/lecture9.qml"),
                             "import QtQuick\nItem {}\n"));
            QVERIFY(writeAll(shipped + QStringLiteral("/dect.chh"), "<course_data/>"));
            QVERIFY(writeAll(shipped + u'/' + stampName, "0.2.0 new\n"));
        }
        const Run r = launch(prefix, env);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(record(), QStringList{work});

        QCOMPARE(readAll(work + QStringLiteral("/dect.chh")), learners);
        QCOMPARE(readAll(work + QStringLiteral("/Анна.rep")), QByteArray("0;report\r\n"));
        if (newCourse) {
            verifyCourseMatches(shipped, work);
        } else {
            QCOMPARE(readAll(work + QStringLiteral("/lections/lection1.rvf")), edited);
        }
    }

    // What is missing from the copy is put back, the learners' records included.
    void repairsCopy()
    {
        const QString data = freshDir(QStringLiteral("data"));
        const QProcessEnvironment env = sessionEnv(freshDir(QStringLiteral("home")), data);
        QCOMPARE(launch(m_prefix, env).exitCode, 0);
        const QString work = workIn(data);
        QVERIFY(QFile::remove(work + QStringLiteral("/dect.chh")));
        QVERIFY(QDir(work + QStringLiteral("/pictures")).removeRecursively());

        QCOMPARE(launch(m_prefix, env).exitCode, 0);
        const QString shipped = m_prefix + u'/' + courseDir;
        verifyCourseMatches(shipped, work);
        QCOMPARE(readAll(work + QStringLiteral("/dect.chh")),
                 readAll(shipped + QStringLiteral("/dect.chh")));
    }

    void dataFolder_data()
    {
        QTest::addColumn<bool>("setHome");
        QTest::addColumn<QString>("xdgDataHome"); // null: unset
        QTest::addColumn<QString>("expected");    // below the home folder; empty: refused
        QTest::newRow("XDG_DATA_HOME unset")
            << true << QString() << QStringLiteral(".local/share/tarvel/course");
        QTest::newRow("XDG_DATA_HOME empty")
            << true << QStringLiteral("") << QStringLiteral(".local/share/tarvel/course");
        QTest::newRow("XDG_DATA_HOME relative") << true << QStringLiteral("relative/data")
                                                << QStringLiteral(".local/share/tarvel/course");
        QTest::newRow("no HOME, XDG_DATA_HOME set")
            << false << QStringLiteral("@home@/xdg") << QStringLiteral("xdg/tarvel/course");
        QTest::newRow("neither HOME nor XDG_DATA_HOME") << false << QString() << QString();
    }

    // The copy goes where the XDG base directories put user data; with no
    // place for it the launcher says so and does not start the program.
    void dataFolder()
    {
        QFETCH(bool, setHome);
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, expected);
        const QString home = freshDir(QStringLiteral("home"));
        if (!xdgDataHome.isNull())
            xdgDataHome.replace(QStringLiteral("@home@"), home);
        const Run r = launch(m_prefix, sessionEnv(setHome ? home : QString(), xdgDataHome));
        if (expected.isEmpty()) {
            QVERIFY(r.exitCode != 0);
            QVERIFY(!QFile::exists(m_record));
            QVERIFY2(r.err.contains("HOME"), r.err.constData());
            return;
        }
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(record(), QStringList{home + u'/' + expected});
        QVERIFY(QFile::exists(home + u'/' + expected + QStringLiteral("/dect.chh")));
    }

    // Without TARVEL_BIN the launcher finds the program and the course from
    // its own place, also when started through a link from elsewhere.
    void findsInstallation_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("direct") << false;
        QTest::newRow("through a link") << true;
    }

    void findsInstallation()
    {
        QFETCH(bool, throughLink);
        const QString prefix = copyOfPrefix();
        QVERIFY(!prefix.isEmpty());
        const QString program = prefix + QStringLiteral("/libexec/tarvel/tarvel");
        QVERIFY(QFile::remove(program));
        QVERIFY(QFile::copy(m_stub, program));
        QVERIFY(
            QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        QString launcher = prefix + QStringLiteral("/bin/tarvel");
        if (throughLink) {
            const QString link = freshDir(QStringLiteral("links")) + QStringLiteral("/tarvel");
            QVERIFY(QFile::link(launcher, link));
            launcher = link;
        }
        const QString data = freshDir(QStringLiteral("data"));
        QFile::remove(m_record);
        const Run r = run(launcher, {}, sessionEnv(freshDir(QStringLiteral("home")), data));
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(record(), QStringList{workIn(data)});
    }

    // The installed teacher's program runs from the tree as it is and names
    // the tests after the installed course's lectures.
    void teacherProgram()
    {
        const QString reports = freshDir(QStringLiteral("reports"));
        QStringList lines{QStringLiteral("расшифрованный файл отчета"),
                          QStringLiteral("Имя: Анна"),
                          QStringLiteral("Фамилия: Петрова"),
                          QStringLiteral("Группа: ИТ-11"),
                          QStringLiteral("Почтовый ящик: "),
                          QStringLiteral("Дата регистрации: Tue Mar 08 14:05:09 2005\n"),
                          QString(22, u'~'),
                          QStringLiteral("Прохождение тестов"),
                          QString(22, u'~'),
                          QStringLiteral("Тест по лекции: 3"),
                          QStringLiteral("Дата выполнения: Wed Mar 09 10:00:00 2005\n"),
                          QStringLiteral("Правильность: 85%"),
                          QString(22, u'~')};
        QStringList coded;
        for (const QString &line : lines)
            coded << core::EncodeLine(line);
        QByteArray bytes("\xFF\xFE");
        const QString text = coded.join(QStringLiteral("\r\n"));
        bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QVERIFY(writeAll(reports + QStringLiteral("/Петрова.rep"), bytes));

        // No working copy of the course: the installed one gives the titles.
        const QString home = freshDir(QStringLiteral("home"));
        const Run r = run(m_prefix + QStringLiteral("/bin/tarvel-teacher"),
                          {QStringLiteral("--csv"), reports},
                          sessionEnv(home, home + QStringLiteral("/data")));
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY2(QString::fromUtf8(r.out).contains(QStringLiteral(
                     "Петрова;Анна;ИТ-11;;Лекция 3. Логика и логические элементы;3;")),
                 r.out.constData());
        QCOMPARE(QDir(reports).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("Петрова.rep")});
    }

    // A tree without its course is reported, and nothing is started.
    void brokenInstall()
    {
        const QString prefix = copyOfPrefix();
        QVERIFY(!prefix.isEmpty());
        QVERIFY(QDir(prefix + u'/' + courseDir).removeRecursively());
        const QString data = freshDir(QStringLiteral("data"));
        const Run r = launch(prefix, sessionEnv(freshDir(QStringLiteral("home")), data));
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("course"), r.err.constData());
        QVERIFY(!QFile::exists(m_record));
        QVERIFY(!QFile::exists(workIn(data)));
    }
};

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
