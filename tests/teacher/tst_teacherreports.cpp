#include "ReportFixtures.h"

#include "teacher/ClassExport.h"
#include "teacher/ClassTable.h"
#include "teacher/ClassViews.h"
#include "teacher/CommandLine.h"
#include "teacher/ReportFile.h"

#include <QBuffer>
#include <QDir>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace teacher;

namespace {

QByteArray utf16le(const QString &text, bool bom = true)
{
    QByteArray out = bom ? QByteArray("\xFF\xFE") : QByteArray();
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QStringList replaced(QStringList lines, const QString &from, const QString &to)
{
    for (QString &l : lines) {
        if (l == from)
            l = to;
    }
    return lines;
}

} // namespace

class TestTeacherReports : public QObject
{
    Q_OBJECT
private slots:
    void decodesExportedReports_data();
    void decodesExportedReports();
    void timeStamps_data();
    void timeStamps();
    void editedShare_data();
    void editedShare();
    void damagedFiles_data();
    void damagedFiles();
    void readsOnlyReportsOfAFolder();
    void classTable();
    void mergesALearnersReports();
    void tellsLearnersApart();
    void attemptsInOneSecondStayApart();
    void csvBytes();
    void commandLine();
    void questionTable();
};

void TestTeacherReports::decodesExportedReports_data()
{
    QTest::addColumn<int>("learner");
    QTest::addColumn<QStringList>("fields"); // surname, name, group, mail, registration
    QTest::addColumn<QStringList>("topics");
    QTest::addColumn<QList<double>>("percents");

    QTest::newRow("no results") << 0
                                << QStringList{"Петрова", "Анна", "ИТ-11", "",
                                               "Tue Mar 08 14:05:09 2005"}
                                << QStringList{} << QList<double>{};
    QTest::newRow("one result") << 1
                                << QStringList{"Орлов", "Борис", "ИТ-12", "boris@example.org",
                                               "Mon Mar 07 09:15:00 2005"}
                                << QStringList{"3"} << QList<double>{85};
    const QStringList vera{"Зайцева", "Вера", "ИТ-11", "vera@example.org",
                           "Sun Mar 06 08:00:00 2005"};
    // 66.7 comes back through single precision, as the report writes it.
    QTest::newRow("many results") << 2 << vera << QStringList{"1", "0", "1", "2"}
                                  << QList<double>{100, 66.6999969482422, 40, 55};
    QTest::newRow("odd characters")
        << 3 << QStringList{"Иванов; \"мл.\"", "=1+1", "ИТ-12", "", "Sat Mar 05 07:00:00 2005"}
        << QStringList{"2"} << QList<double>{75};
}

void TestTeacherReports::decodesExportedReports()
{
    QFETCH(int, learner);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, topics);
    QFETCH(QList<double>, percents);

    const QStringList lines = fixtures::reportLines(learner);
    const QByteArray bytes = fixtures::reportBytes(lines);

    const Report r = decodeReport(bytes, QStringLiteral("a.rep"));
    QVERIFY2(r.isSound(), qPrintable(r.error));
    QVERIFY(r.hasLearner);
    QCOMPARE(r.lines, lines);
    QCOMPARE((QStringList{r.surname, r.name, r.group, r.mail, r.registeredText}), fields);
    QVERIFY(r.registered.isValid());
    QCOMPARE(r.results.size(), topics.size());
    for (int i = 0; i < topics.size(); ++i) {
        QCOMPARE(r.results[i].topic, topics[i]);
        QVERIFY(qFuzzyCompare(r.results[i].percent, percents[i]));
        QVERIFY(r.results[i].date.isValid());
        QVERIFY(!r.results[i].dateText.endsWith(u'\n'));
    }

    // The class's table reads the same without keeping the lines.
    const Report lean = decodeReport(bytes, QStringLiteral("a.rep"), ReportLines::Drop);
    QVERIFY(lean.lines.isEmpty());
    QVERIFY(lean.isSound());
    QCOMPARE((QStringList{lean.surname, lean.name, lean.group, lean.mail, lean.registeredText}),
             fields);
    QCOMPARE(lean.registered, r.registered);
    QCOMPARE(lean.results.size(), r.results.size());
    for (int i = 0; i < r.results.size(); ++i) {
        QCOMPARE(lean.results[i].topic, r.results[i].topic);
        QCOMPARE(lean.results[i].dateText, r.results[i].dateText);
        QCOMPARE(lean.results[i].date, r.results[i].date);
        QCOMPARE(lean.results[i].percentText, r.results[i].percentText);
        QCOMPARE(lean.results[i].percent, r.results[i].percent);
    }
}

void TestTeacherReports::timeStamps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // empty: not a stamp
    QTest::newRow("as stored") << "Tue Mar 08 14:05:09 2005\n"
                               << "08.03.2005 14:05:09";
    QTest::newRow("without the line feed") << "Tue Mar 08 14:05:09 2005"
                                           << "08.03.2005 14:05:09";
    QTest::newRow("wrong weekday") << "Sun Dec 31 23:59:59 1999"
                                   << "31.12.1999 23:59:59";
    QTest::newRow("one-digit day") << "Tue Mar 8 14:05:09 2005"
                                   << "08.03.2005 14:05:09";
    QTest::newRow("any letter case") << "tue MAR 08 00:00:00 2005"
                                     << "08.03.2005 00:00:00";
    QTest::newRow("no such day") << "Tue Feb 30 14:05:09 2005"
                                 << "";
    QTest::newRow("no such hour") << "Tue Mar 08 24:05:09 2005"
                                  << "";
    QTest::newRow("no such month") << "Tue Mrz 08 14:05:09 2005"
                                   << "";
    QTest::newRow("Russian month") << "Вт мар 08 14:05:09 2005"
                                   << "";
    QTest::newRow("trailing text") << "Tue Mar 08 14:05:09 2005 x"
                                   << "";
    QTest::newRow("short year") << "Tue Mar 08 14:05:09 05"
                                << "";
    QTest::newRow("two line feeds") << "Tue Mar 08 14:05:09 2005\n\n"
                                    << "";
    QTest::newRow("empty") << ""
                           << "";
}

// A stamp reads as the wall-clock time it shows, whatever the locale and
// the machine's time zone.
void TestTeacherReports::timeStamps()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    const QDateTime t = teacher::parseStamp(text);
    QCOMPARE(t.isValid(), !shown.isEmpty());
    if (t.isValid())
        QCOMPARE(t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), shown);
}

void TestTeacherReports::editedShare_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<double>("percent"); // negative: the file is refused
    QTest::newRow("fraction with a point") << "Правильность: 92.5%" << 92.5;
    // As a learner with Russian regional settings writes it.
    QTest::newRow("fraction with a comma") << "Правильность: 92,5%" << 92.5;
    QTest::newRow("thirds") << "Правильность: 33.33%" << 33.33;
    QTest::newRow("exponent form") << "Правильность: 0.5e2%" << 50.0;
    QTest::newRow("two points") << "Правильность: 9.2.5%" << -1.0;
    QTest::newRow("above 100") << "Правильность: 150%" << -1.0;
    QTest::newRow("not a number") << "Правильность: много%" << -1.0;
    QTest::newRow("no per cent sign") << "Правильность: 85" << -1.0;
}

// Someone decoded a report, changed a share and coded it again: the file
// reads as any other (nothing in it can tell), unless the value is impossible.
void TestTeacherReports::editedShare()
{
    QFETCH(QString, line);
    QFETCH(double, percent);
    const QStringList lines =
        replaced(fixtures::reportLines(1), QStringLiteral("Правильность: 85%"), line);
    const Report r = decodeReport(fixtures::reportBytes(lines));
    if (percent < 0) {
        QVERIFY(!r.isSound());
        QVERIFY2(r.error.startsWith(QStringLiteral("Отчёт изменён вручную")), qPrintable(r.error));
        QCOMPARE(r.errorLine, 12);
        QVERIFY(r.hasLearner);
        QVERIFY(r.results.isEmpty());
        return;
    }
    QVERIFY2(r.isSound(), qPrintable(r.error));
    QCOMPARE(r.results.size(), 1);
    QCOMPARE(r.results[0].percent, percent);
}

void TestTeacherReports::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // a part of the message
    QTest::addColumn<int>("line");      // where reading stopped; 0: refused unread
    QTest::addColumn<bool>("hasLearner");
    QTest::addColumn<int>("results"); // read before the damage

    const QByteArray vera = fixtures::exportedReport(2);
    const QStringList veraLines = fixtures::reportLines(2);
    const QString resaved = QStringLiteral("пересохранён другой программой");
    const QString notAReport = QStringLiteral("Это не отчёт учебника");
    QTest::newRow("empty") << QByteArray() << "Файл пуст" << 0 << false << 0;
    QTest::newRow("only the mark") << QByteArray("\xFF\xFE") << "Файл пуст" << 0 << false << 0;
    QTest::newRow("big-endian mark")
        << QByteArray("\xFE\xFF\x00\x30\x00\x3B", 6) << resaved << 1 << false << 0;
    QTest::newRow("no mark") << utf16le(QStringLiteral("0;YWJj"), false) << notAReport << 1 << false
                             << 0;
    QTest::newRow("saved as UTF-8")
        << QString::fromUtf16(reinterpret_cast<const char16_t *>(vera.constData() + 2),
                              (vera.size() - 2) / 2)
               .toUtf8()
        << resaved << 1 << false << 0;
    QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << notAReport << 1
                               << false << 0;
    QTest::newRow("plain UTF-16 text")
        << utf16le(QStringLiteral("Привет")) << notAReport << 1 << false << 0;
    QTest::newRow("coded, not a report")
        << fixtures::reportBytes({QStringLiteral("Список покупок"), QStringLiteral("хлеб")})
        << notAReport << 1 << false << 0;
    // Lines 14 to 17 are the second result.
    QByteArray badBase64 = fixtures::reportBytes(veraLines.mid(0, 13));
    badBase64 += utf16le(QStringLiteral("\r\n0;0K@A*"), false);
    QTest::newRow("bad Base64") << badBase64 << "Отчёт повреждён" << 14 << true << 1;
    // Only the padding of the last line is lost: every result still reads.
    QTest::newRow("cut in a character")
        << vera.left(vera.size() - 3) << "Отчёт обрезан" << int(veraLines.size()) << true << 4;
    QTest::newRow("cut between lines")
        << fixtures::reportBytes(veraLines.mid(0, 15)) << "Отчёт обрезан" << 16 << true << 1;
    QTest::newRow("only the first line")
        << fixtures::reportBytes(veraLines.mid(0, 1)) << "Отчёт обрезан" << 2 << false << 0;
    QTest::newRow("uncoded line") << fixtures::reportBytes(veraLines.mid(0, 9)) +
                                         utf16le(QStringLiteral("\r\nТест по лекции: 1"), false)
                                  << "Отчёт повреждён" << 10 << true << 0;
    QTest::newRow("lines swapped")
        << fixtures::reportBytes(
               replaced(veraLines, QStringLiteral("Прохождение тестов"), QStringLiteral("Тесты")))
        << "Отчёт повреждён" << 8 << true << 0;
}

// A damaged file is named with what is wrong, in words a teacher reads at a
// glance, with what to do; what came before the damage is kept, and nothing
// throws.
void TestTeacherReports::damagedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QFETCH(int, line);
    QFETCH(bool, hasLearner);
    QFETCH(int, results);
    const Report r = decodeReport(bytes, QStringLiteral("x.rep"));
    QVERIFY(!r.isSound());
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QCOMPARE(r.errorLine, line);
    QCOMPARE(r.hasLearner, hasLearner);
    QCOMPARE(r.results.size(), results);
    const Report lean = decodeReport(bytes, QStringLiteral("x.rep"), ReportLines::Drop);
    QCOMPARE(lean.error, r.error);
    QCOMPARE(lean.errorLine, r.errorLine);
    QCOMPARE(lean.hasLearner, r.hasLearner);
    QCOMPARE(lean.results.size(), r.results.size());

    // One short sentence, no codes or encodings, and it says what to do.
    QVERIFY2(r.error.size() <= 90, qPrintable(r.error));
    QVERIFY(r.error.front().isUpper() && r.error.endsWith(u'.'));
    for (const char *jargon : {"UTF", "FF", "FE", "Base64", "байт", "строка", "метк", "кодировк"})
        QVERIFY2(!r.error.contains(QString::fromUtf8(jargon), Qt::CaseInsensitive),
                 qPrintable(r.error));
    QVERIFY2(r.error.contains(QStringLiteral("попросите ученика")) ||
                 r.error.contains(QStringLiteral("проверьте")),
             qPrintable(r.error));
}

void TestTeacherReports::readsOnlyReportsOfAFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(fixtures::writeFile(dir.filePath("Орлов.rep"), fixtures::exportedReport(1)));
    QVERIFY(fixtures::writeFile(dir.filePath("10.rep"), QByteArray()));
    QVERIFY(fixtures::writeFile(dir.filePath("9.rep"), fixtures::exportedReport(0)));
    QVERIFY(fixtures::writeFile(dir.filePath("заметки.txt"), "не отчёт"));
    QVERIFY(QDir(dir.path()).mkdir("старые.rep"));
    // A pipe would block a reader for ever.
    QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {dir.filePath("труба.rep")}), 0);

    QVector<Report> reports;
    QString error;
    QVERIFY(ClassTable::readFolder(dir.path(), &reports, &error));
    QStringList names;
    for (const Report &r : reports)
        names << QFileInfo(r.path).fileName();
    QCOMPARE(names, (QStringList{"9.rep", "10.rep", "Орлов.rep"}));
    QVERIFY(reports[0].isSound());
    QVERIFY(reports[1].error.startsWith(QStringLiteral("Файл пуст")));

    QCOMPARE(readReport(dir.filePath("труба.rep")).error,
             QStringLiteral("Это не обычный файл, и отчётом он быть не может."));
    QCOMPARE(readReport(dir.filePath("старые.rep")).error,
             QStringLiteral("Это папка, а не файл отчёта."));
    QCOMPARE(readReport(dir.filePath("нет.rep")).error,
             QStringLiteral("Файла больше нет: его удалили или переименовали."));

    QVERIFY(!ClassTable::readFolder(dir.filePath("нет такой"), &reports, &error));
    QVERIFY(error.contains(QStringLiteral("нет такой")));
}

void TestTeacherReports::classTable()
{
    CourseTopics topics;
    QVERIFY(topics.load(fixtures::courseFile()));
    ClassTable table;
    table.setTopics(topics);
    const Report junk = decodeReport(QByteArray("junk"), "junk.rep");
    table.setReports({decodeReport(fixtures::exportedReport(0), "anna.rep"),
                      decodeReport(fixtures::exportedReport(2), "vera.rep"),
                      decodeReport(fixtures::exportedReport(1), "boris.rep"), junk});

    // A row per result, one for a learner without results, one for the bad file.
    QCOMPARE(table.rowCount(), 1 + 4 + 1 + 1);
    const QStringList anna{"Петрова", "Анна", "ИТ-11", "нет пройденных тестов", "", "", "anna.rep"};
    const QStringList vera{"Зайцева",          "Вера",   "ИТ-11",   "Общий тест",
                           "12.03.2005 12:30", "66,7 %", "vera.rep"};
    const QStringList boris{
        "Орлов", "Борис",    "ИТ-12", "Лекция 3. Логика и логические элементы", "09.03.2005 10:00",
        "85 %",  "boris.rep"};
    const auto rowText = [&](int row) {
        QStringList cells;
        for (int c = 0; c < ClassTable::ColumnCount; ++c)
            cells << table.text(row, c);
        return cells;
    };
    QCOMPARE(rowText(0), anna);
    QCOMPARE(rowText(2), vera);
    QCOMPARE(rowText(5), boris);
    QCOMPARE(table.text(6, ClassTable::File), QStringLiteral("junk.rep"));
    QCOMPARE(table.text(6, ClassTable::Test), junk.error);
    QCOMPARE(table.groups(), (QStringList{"ИТ-11", "ИТ-12"}));
    QCOMPARE(table.topicList(), (QStringList{"0", "1", "2", "3"}));
    QCOMPARE(table.learnerCount(), 3);
    QCOMPARE(table.problemCount(), 1);

    // Filters narrow the rows; the bad file stays in view.
    ClassFilter filter;
    filter.setSourceModel(&table);
    filter.setGroup(QStringLiteral("ИТ-12"));
    QCOMPARE(filter.rowCount(), 2);
    filter.setGroup(QString());
    filter.setTopic(QStringLiteral("1"));
    QCOMPARE(filter.rowCount(), 3);
    filter.setGroup(QStringLiteral("ИТ-11"));
    const QVector<TopicSummary> summary = summariseByTopic(filter, topics);
    QCOMPARE(summary.size(), 1);
    // Вера took lecture 1 twice: her latest try counts.
    QCOMPARE(summary[0].results, QVector<double>{40});

    filter.setGroup(QString());
    filter.setTopic(QString());
    const QVector<TopicSummary> all = summariseByTopic(filter, topics);
    QCOMPARE(all.size(), 4);
    QCOMPARE(all[0].title, QStringLiteral("Общий тест"));
    QCOMPARE(all[3].average, 85.0);

    // The sums the chart takes straight from the table are those read cell
    // by cell from any model showing the same rows.
    QIdentityProxyModel anyModel;
    anyModel.setSourceModel(&filter);
    const auto shown = [](const QVector<TopicSummary> &summaries) {
        QStringList out;
        for (const TopicSummary &s : summaries) {
            QStringList results;
            for (double r : s.results)
                results << QString::number(r);
            out << QStringList{s.topic, s.title, results.join(u','), QString::number(s.average)}
                       .join(u'|');
        }
        return out;
    };
    for (const QString &group : {QString(), QStringLiteral("ИТ-11"), QStringLiteral("ИТ-12")}) {
        for (const QString &topic : {QString(), QStringLiteral("1"), QStringLiteral("3")}) {
            filter.setGroup(group);
            filter.setTopic(topic);
            QCOMPARE(shown(summariseByTopic(filter, topics)),
                     shown(summariseByTopic(anyModel, topics)));
        }
    }
    filter.setGroup(QString());
    filter.setTopic(QString());

    // Sorting by the share sorts by number, not by text.
    filter.sort(ClassTable::Percent, Qt::DescendingOrder);
    QCOMPARE(filter.index(0, ClassTable::Percent).data().toString(), QStringLiteral("100 %"));
    QCOMPARE(filter.index(1, ClassTable::Percent).data().toString(), QStringLiteral("85 %"));
}

// Вера hands in a report every week; each holds her whole history. Each
// attempt counts once in the table, her sheet, the chart and the CSV,
// whatever order the files come in; a damaged copy keeps its own row.
void TestTeacherReports::mergesALearnersReports()
{
    CourseTopics topics;
    QVERIFY(topics.load(fixtures::courseFile()));
    const fixtures::Attempt first{"1", "Fri Mar 11 12:00:00 2005\n", "33"};
    const fixtures::Attempt second{"0", "Sat Mar 12 12:30:00 2005\n", "20"};
    const auto vera = [&](const QList<fixtures::Attempt> &attempts, const QString &path) {
        return decodeReport(fixtures::reportBytes(fixtures::reportLines(2, attempts)), path);
    };
    QByteArray cut = fixtures::reportBytes(fixtures::reportLines(2, {first, second}));
    cut.chop(40); // inside the last result: the first one still reads
    const QVector<Report> inFileOrder{
        vera({}, "неделя 0.rep"),
        vera({first}, "неделя 1.rep"),
        vera({first}, "неделя 1, копия.rep"),
        decodeReport(fixtures::exportedReport(1), "boris.rep"),
        decodeReport(cut, "неделя 2, обрезан.rep"),
        vera({first, second}, "неделя 2.rep"),
    };
    QVERIFY(!inFileOrder[4].isSound());
    QCOMPARE(inFileOrder[4].results.size(), 1);

    for (const bool reversed : {false, true}) {
        QVector<Report> reports = inFileOrder;
        if (reversed)
            std::reverse(reports.begin(), reports.end());
        ClassTable table;
        table.setTopics(topics);
        table.setReports(reports);

        // Her two attempts from her latest whole report, Борис's one, the
        // cut file's own row; no «нет пройденных тестов» for the empty
        // first week.
        QStringList rows;
        for (int i = 0; i < table.rowCount(); ++i)
            rows << QStringList{table.text(i, ClassTable::Surname),
                                table.rows()[i].kind == ClassTable::Row::Problem
                                    ? QStringLiteral("(повреждён)")
                                    : table.text(i, ClassTable::Test).left(12),
                                table.text(i, ClassTable::Percent), table.text(i, ClassTable::File)}
                        .join(u'|');
        rows.sort();
        QCOMPARE(rows, (QStringList{
                           "Зайцева|(повреждён)||неделя 2, обрезан.rep",
                           "Зайцева|Лекция 1. Ин|33 %|неделя 2.rep",
                           "Зайцева|Общий тест|20 %|неделя 2.rep",
                           "Орлов|Лекция 3. Ло|85 %|boris.rep",
                       }));
        QCOMPARE(table.learnerCount(), 2);

        const QString key = ClassTable::learnerKey(inFileOrder[0]);
        const QVector<int> veraRows = table.learnerRows(key);
        QCOMPARE(veraRows.size(), 2);
        // The older attempt first, and every file that holds it named.
        QCOMPARE(table.text(veraRows[0], ClassTable::Date), QStringLiteral("11.03.2005 12:00"));
        const QString holding = table.toolTip(veraRows[0], ClassTable::File);
        for (const char *file :
             {"неделя 1.rep", "неделя 1, копия.rep", "неделя 2.rep", "неделя 2, обрезан.rep"})
            QVERIFY2(holding.contains(QString::fromUtf8(file)), qPrintable(holding));

        const QString text =
            learnerSheetHtml(table, key).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        QVERIFY2(text.contains(QStringLiteral("Тестов пройдено: 2; средняя правильность: 26,5 %.")),
                 qPrintable(text));
        QCOMPARE(text.count(QStringLiteral("11.03.2005")), 1);
        QVERIFY(text.contains(QStringLiteral("неделя 0.rep")));

        const QVector<TopicSummary> chart = summariseByTopic(table, topics);
        QCOMPARE(chart.size(), 3);
        QCOMPARE(chart[0].results, QVector<double>{20});
        QCOMPARE(chart[1].results, QVector<double>{33});

        const QStringList csv = QString::fromUtf8(classCsv(table).mid(3))
                                    .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(csv.size(), 1 + 4);
        QCOMPARE(csv.filter(QStringLiteral("Зайцева;Вера;ИТ-11;vera@example.org;Лекция 1.")).size(),
                 1);
    }
}

// Namesakes in one group are two learners, and a report edited to change a
// share is noticed rather than silently merged away.
void TestTeacherReports::tellsLearnersApart()
{
    const fixtures::Attempt attempt{"3", "Wed Mar 09 10:00:00 2005\n", "85"};
    const QStringList boris = fixtures::reportLines(1, {attempt});
    QStringList namesake = boris;
    namesake[5] = QStringLiteral("Дата регистрации: Thu Mar 10 11:00:00 2005\n");
    fixtures::Attempt edited = attempt;
    edited.percent = QStringLiteral("100");

    ClassTable table;
    table.setReports(
        {decodeReport(fixtures::reportBytes(boris), "a.rep"),
         decodeReport(fixtures::reportBytes(namesake), "b.rep"),
         decodeReport(fixtures::reportBytes(fixtures::reportLines(1, {edited})), "c.rep")});
    QCOMPARE(table.learnerCount(), 2);
    QCOMPARE(table.rowCount(), 2);
    const int row = table.learnerRows(ClassTable::learnerKey(table.reports()[0])).value(0, -1);
    QVERIFY(row >= 0);
    QVERIFY(table.rows()[row].disputed);
    QVERIFY(table.toolTip(row, ClassTable::Percent).contains(QStringLiteral("изменён")));
    QVERIFY(!table.rows()[1 - row].disputed);
}

// The class database gives each attempt its own row, stamped to the second:
// a test taken twice within a second is two attempts, while the same two in
// a second file are the same attempts again.
void TestTeacherReports::attemptsInOneSecondStayApart()
{
    const fixtures::Attempt first{"3", "Wed Mar 09 10:00:00 2005\n", "80"};
    fixtures::Attempt second = first;
    second.percent = QStringLiteral("90");
    const QStringList lines = fixtures::reportLines(1, {first, second});

    ClassTable table;
    table.setReports({decodeReport(fixtures::reportBytes(lines), "a.rep")});
    QCOMPARE(table.rowCount(), 2);
    table.setReports({decodeReport(fixtures::reportBytes(lines), "a.rep"),
                      decodeReport(fixtures::reportBytes(lines), "b.rep")});
    QCOMPARE(table.rowCount(), 2);
    QStringList percents{table.text(0, ClassTable::Percent), table.text(1, ClassTable::Percent)};
    percents.sort();
    QCOMPARE(percents, (QStringList{QStringLiteral("80 %"), QStringLiteral("90 %")}));
    QVERIFY(!table.rows()[0].disputed && !table.rows()[1].disputed);
}

void TestTeacherReports::csvBytes()
{
    CourseTopics topics;
    QVERIFY(topics.load(fixtures::courseFile()));
    ClassTable table;
    table.setTopics(topics);
    table.setReports(
        {decodeReport(fixtures::exportedReport(3), "/tmp/ivanov.rep"),
         decodeReport(fixtures::exportedReport(0), "/tmp/anna.rep"),
         decodeReport(fixtures::reportBytes(replaced(fixtures::reportLines(1), "Правильность: 85%",
                                                     "Правильность: 66.6999969482422%")),
                      "/tmp/boris.rep"),
         decodeReport(QByteArray("\xFF\xFE", 2), "/tmp/пусто.rep")});
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "Фамилия;Имя;Группа;Почтовый ящик;Тест;Номер теста;Дата;Правильность, %;Файл;Ошибка\r\n"
        "\"Иванов; \"\"мл.\"\"\";'=1+1;ИТ-12;;Лекция 2. Системы счисления;2;16.03.2005 "
        "10:00:00;75;ivanov.rep;\r\n"
        "Петрова;Анна;ИТ-11;;;;;;anna.rep;\r\n"
        "Орлов;Борис;ИТ-12;boris@example.org;Лекция 3. Логика и логические элементы;3;09.03.2005 "
        "10:00:00;66,7;boris.rep;\r\n"
        ";;;;;;;;пусто.rep;Файл пуст: попросите ученика создать отчёт заново.\r\n";
    const QByteArray csv = classCsv(table);
    QCOMPARE(QString::fromUtf8(csv), QString::fromUtf8(expected));
    QCOMPARE(csv, expected);
}

void TestTeacherReports::commandLine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString good = dir.filePath("Орлов.rep");
    const QString bad = dir.filePath("сломан.rep");
    QVERIFY(fixtures::writeFile(good, fixtures::exportedReport(1)));
    QVERIFY(fixtures::writeFile(bad, "0;YWJj"));

    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    QCOMPARE(printReports({good}, out, err), 0);
    const QString text = QString::fromUtf8(out.data());
    QVERIFY(text.startsWith(QStringLiteral("расшифрованный файл отчета\nИмя: Борис\n")));
    // The time stamp's own line feed does not double the break.
    QVERIFY(text.contains(QStringLiteral("Дата регистрации: Mon Mar 07 09:15:00 2005\n~~")));
    QVERIFY(text.endsWith(QStringLiteral("Правильность: 85%\n~~~~~~~~~~~~~~~~~~~~~~\n")));
    QVERIFY(err.data().isEmpty());

    out.buffer().clear();
    out.seek(0);
    QCOMPARE(printReports({good, bad}, out, err), 1);
    QVERIFY(QString::fromUtf8(err.data())
                .contains(bad + QStringLiteral(": Отчёт пересохранён другой программой: попросите "
                                               "ученика создать отчёт заново. (строка 1 файла)")));
    QVERIFY(QString::fromUtf8(out.data()).startsWith(QStringLiteral("==> ") + good));

    out.buffer().clear();
    out.seek(0);
    err.buffer().clear();
    err.seek(0);
    QCOMPARE(printClassCsv(dir.path(), CourseTopics(), out, err), 1);
    QVERIFY(out.data().startsWith("\xEF\xBB\xBF"));
    QCOMPARE(out.data().count("\r\n"), 3);
    QVERIFY(QString::fromUtf8(err.data()).contains(QStringLiteral("сломан.rep")));

    QCOMPARE(printClassCsv(dir.filePath("нет"), CourseTopics(), out, err), 2);
    QCOMPARE(printReports({}, out, err), 2);
}

QTEST_GUILESS_MAIN(TestTeacherReports)
// Per-question counts: the groups summed up or one group alone, questions
// in test order and by number (2 before 10), the share of right answers.
void TestTeacherReports::questionTable()
{
    const QVector<QuestionStat> stats{
        {"9А", "1", "1", "10", "Десятый", 4, 1, 2},
        {"9Б", "1", "1", "10", "Десятый", 2, 2, 1},
        {"9А", "1", "1", "2", "Второй", 3, 3, 3},
        {"9А", "0", "3", "1", "Из общего", 5, 0, 5},
    };
    QuestionTable table;
    table.setStats(stats);
    const auto rows = [&] {
        QStringList list;
        for (int r = 0; r < table.rowCount(); ++r) {
            QStringList cells;
            for (int c : {QuestionTable::Number, QuestionTable::Learners, QuestionTable::Answered,
                          QuestionTable::Right, QuestionTable::Share})
                cells << table.index(r, c).data().toString();
            list << cells.join(u'|');
        }
        return list;
    };
    QCOMPARE(rows(), (QStringList{"3.1|5|5|0|0 %", "1.2|3|3|3|100 %", "1.10|3|6|3|50 %"}));
    table.setFilter(QStringLiteral("9Б"), QString());
    QCOMPARE(rows(), (QStringList{"1.10|1|2|2|100 %"}));
    table.setFilter(QString(), QStringLiteral("1"));
    QCOMPARE(rows(), (QStringList{"1.2|3|3|3|100 %", "1.10|3|6|3|50 %"}));
    QCOMPARE(table.index(1, QuestionTable::Share).data(QuestionTable::SortRole).toDouble(), 50.0);
}

#include "tst_teacherreports.moc"
