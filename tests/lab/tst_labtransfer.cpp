// tarvel-lab: the schema made ready, a dect.chh copied in (twice adds
// nothing) and written back out the same.

#include "LabServer.h"
#include "lab/LabTool.h"
#include "lab/LabTransfer.h"
#include "learners/CourseData.h"

#include <QTemporaryDir>
#include <QtTest>

using learners::CourseData;

namespace {

// A course folder with the course's dect.chh and two learners with
// everything a learner can have.
void makeCourse(const QString &dir)
{
    const QString file = dir + QStringLiteral("/dect.chh");
    QVERIFY(QFile::copy(QStringLiteral(TARVEL_COURSE_DIR "/dect.chh"), file));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    CourseData data(file);
    data.LoadCourseData();
    CourseData::setClock([] { return QDateTime(QDate(2005, 3, 8), QTime(14, 5, 9)); });
    data.registerLearner(QStringLiteral("Иван"), QStringLiteral("Петров"), QStringLiteral("9А"),
                         QStringLiteral("ivan@example.ru"));
    data.registerLearner(QStringLiteral("Иван"), QStringLiteral("Сидоров"), QStringLiteral("9Б"), QString());
    CourseData::setClock([] { return QDateTime(QDate(2024, 2, 29), QTime(9, 7, 3)); });
    data.addTestResult(0, QStringLiteral("0"), 80);
    data.addTestResult(0, QStringLiteral("3"), 80); // the same twice stays twice
    data.addTestResult(0, QStringLiteral("3"), 80);
    data.addTestResult(1, QStringLiteral("2"), 40);
    CourseData::setClock({});
    data.addBookmark(0, 2, 30, QStringLiteral("Закон Ома"));
    data.addBookmark(1, 5);
    data.setPlace(0, learners::Place{4, 65, QStringLiteral("Закон Ома")});
    learners::Preferences prefs;
    prefs.fontFamily = QStringLiteral("DejaVu Serif");
    prefs.fontSize = 14;
    prefs.bold = true;
    prefs.narrowColumn = true;
    data.setPreferences(1, prefs);
    data.markOpened(0, 2);
    data.markOpened(0, 4);
}

// Every learner record of a dect.chh as lines, for comparing two files.
QStringList records(const QString &file)
{
    CourseData data(file);
    data.LoadCourseData();
    QStringList lines;
    for (int i = 0; i < data.learnerCount(); ++i) {
        const CourseData::Learner f = data.learnerFields(i);
        lines << QStringList{f.name, f.sourname, f.group, f.mail, f.date}.join(u'|');
        for (const learners::TestRecord &t : data.testRecords(i))
            lines << QStringLiteral("  test %1 %2 %3").arg(t.number, t.date.trimmed(), t.right);
        for (const learners::Bookmark &b : data.bookmarks(i))
            lines << QStringLiteral("  bookmark %1 %2 %3 %4").arg(b.title).arg(b.page).arg(b.increment).arg(b.section);
        const learners::Place p = data.place(i);
        lines << QStringLiteral("  place %1 %2 %3").arg(p.page).arg(p.increment).arg(p.section);
        const learners::Preferences pr = data.preferences(i);
        lines << QStringLiteral("  prefs %1 %2 %3 %4 %5").arg(pr.fontFamily).arg(pr.fontSize).arg(pr.bold).arg(pr.zoom).arg(pr.narrowColumn);
        QStringList opened;
        for (int page : data.openedPages(i))
            opened << QString::number(page);
        lines << QStringLiteral("  opened ") + opened.join(u' ');
    }
    return lines;
}

struct Run
{
    int code;
    QString out, err;
};

Run tool(const QStringList &args, const QString &conninfo)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    QProcessEnvironment env;
    if (!conninfo.isEmpty())
        env.insert(QStringLiteral("TARVEL_LAB"), conninfo);
    const int code = lab::runLabTool(args, o, e, env);
    o.flush();
    e.flush();
    return {code, out, err};
}

} // namespace

class TestLabTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("PGPASSFILE", "/nonexistent/pgpass"); }

    // init, import twice, export: the file that comes out holds what went in.
    void importTwiceThenExport()
    {
        QTemporaryDir course;
        makeCourse(course.path());
        if (QTest::currentTestFailed())
            return;
        const lab::ConnectionSettings s = labtest::freshDatabase();
        const QString conninfo = s.describe();
        const QStringList at = {QStringLiteral("--course"), course.path()};

        Run r = tool(at + QStringList{"import", course.filePath("dect.chh")}, conninfo);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("tarvel-lab init")), qPrintable(r.err));

        r = tool(at + QStringList{"init"}, conninfo);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("Таблицы учебника созданы")), qPrintable(r.out));
        r = tool(at + QStringList{"init"}, conninfo);
        QVERIFY2(r.out.contains(QStringLiteral("изменений нет")), qPrintable(r.out));

        r = tool(at + QStringList{"import", course.filePath("dect.chh")}, conninfo);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("учеников 2, результатов тестов 4, закладок 2, открытых лекций 2")),
                 qPrintable(r.out));
        r = tool(at + QStringList{"import", course.filePath("dect.chh")}, conninfo);
        QVERIFY2(r.out.contains(QStringLiteral("учеников 0, результатов тестов 0, закладок 0, открытых лекций 0")),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("Уже были в базе: учеников 2")), qPrintable(r.out));

        // A grown file: only the new result comes in.
        {
            CourseData data(course.filePath("dect.chh"));
            data.LoadCourseData();
            data.addTestResult(1, QStringLiteral("4"), 100);
        }
        r = tool(at + QStringList{"import", course.filePath("dect.chh")}, conninfo);
        QVERIFY2(r.out.contains(QStringLiteral("учеников 0, результатов тестов 1,")), qPrintable(r.out));

        const QString out = course.filePath("backup.chh");
        r = tool(at + QStringList{"export", out}, conninfo);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("учеников 2, результатов тестов 5, закладок 2")), qPrintable(r.out));
        QCOMPARE(records(out), records(course.filePath("dect.chh")));
        CourseData original(course.filePath("dect.chh")), exported(out);
        original.LoadCourseData();
        exported.LoadCourseData();
        QCOMPARE(exported.lectures().size(), original.lectures().size());
        QCOMPARE(QDir(course.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"backup.chh", "dect.chh"}));
    }

    void toolRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("no command") << QStringList{} << "host=x" << 2 << "Использование";
        QTest::newRow("import without a file") << QStringList{"import"} << "host=x" << 2 << "Использование";
        QTest::newRow("unknown command") << QStringList{"drop"} << "host=x" << 2 << "Использование";
        QTest::newRow("no lab configured") << QStringList{"--course", "/nonexistent", "init"} << ""
                                           << 1 << "не настроен";
        QTest::newRow("server away") << QStringList{"init"} << "host=/nonexistent/socket dbname=x" << 1
                                     << "Нет связи с сервером компьютерного класса «/nonexistent/socket»";
    }
    void toolRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, conninfo);
        const Run r = tool(args, conninfo);
        QTEST(r.code, "code");
        QFETCH(QString, says);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestLabTransfer)
#include "tst_labtransfer.moc"
