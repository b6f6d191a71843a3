#include "ReportFixtures.h"

#include "common/TeacherParts.h"
#include "teacher/ClassChart.h"
#include "teacher/TeacherWindow.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QHeaderView>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace teacher;

namespace {

// Every file below a folder with a digest of its bytes.
QStringList snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QByteArray sum;
        if (QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly))
            sum = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        out << QDir(dir).relativeFilePath(path) + u' ' + QString::fromLatin1(sum);
    }
    out.sort();
    return out;
}

struct Run
{
    int status = -1;
    QByteArray bytes; // stdout as written
    QString out, err;
};

Run runTeacher(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(TARVEL_TEACHER_BIN), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.bytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.bytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestTeacherWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void showsTheClassOfAFolder();
    void exportsWithoutTouchingTheReports();
    void droppedFilesAndBadFolders();
    void fitsASmallScreen();
    void problemRowsReadInFull();
    void chartLabelsStayClear_data();
    void chartLabelsStayClear();
    void commandLineForm();
    void readsInTheBackground();
    void keepsTheOrderOfTheFiles();
    void bestAndLastPerTest();

private:
    QTemporaryDir m_tmp;
    QString m_reports;
    QStringList m_messages;
};

void TestTeacherWindow::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_reports = m_tmp.filePath(QStringLiteral("отчёты группы"));
    QVERIFY(QDir().mkpath(m_reports));
    for (int learner = 0; learner < 4; ++learner)
        QVERIFY(fixtures::writeFile(m_reports + QStringLiteral("/ученик %1.rep").arg(learner),
                                    fixtures::exportedReport(learner)));
    QByteArray cut = fixtures::exportedReport(2);
    cut.chop(60);
    QVERIFY(fixtures::writeFile(m_reports + QStringLiteral("/обрезан.rep"), cut));
    QVERIFY(fixtures::writeFile(m_reports + QStringLiteral("/список.txt"), "не отчёт"));
    TeacherWindow::setMessageHook([this](const QString &text) { m_messages << text; });
}

void TestTeacherWindow::cleanup()
{
    m_messages.clear();
}

void TestTeacherWindow::showsTheClassOfAFolder()
{
    CourseTopics topics;
    QVERIFY(topics.load(fixtures::courseFile()));
    TeacherWindow window(topics);
    window.show();
    QVERIFY(window.openFolder(m_reports));
    QVERIFY(window.waitUntilLoaded());
    QVERIFY(m_messages.isEmpty());

    // Four reports with 0, 1, 4 and 1 results and a row for the learner
    // without any; the cut file is a copy of Вера's: its three whole results
    // are hers already, and it keeps its own row.
    QTableView *view = teacherparts::classTable(window);
    QCOMPARE(view->model()->rowCount(), 1 + 1 + 4 + 1 + 1);
    int problems = 0;
    for (int i = 0; i < view->model()->rowCount(); ++i) {
        const QModelIndex index = view->model()->index(i, 0);
        if (index.data(ClassTable::KindRole).toInt() == ClassTable::Row::Problem) {
            ++problems;
            QCOMPARE(view->model()->index(i, ClassTable::File).data().toString(),
                     QStringLiteral("обрезан.rep"));
        }
    }
    QCOMPARE(problems, 1);

    // Filters offer the groups and tests present.
    QCOMPARE(teacherparts::groupBox(window)->count(), 3);
    QCOMPARE(teacherparts::topicBox(window)->itemText(1), QStringLiteral("Общий тест"));
    QCOMPARE(teacherparts::topicBox(window)->itemText(4),
             QStringLiteral("Лекция 3. Логика и логические элементы"));
    teacherparts::groupBox(window)->setCurrentIndex(teacherparts::groupBox(window)->findText(QStringLiteral("ИТ-12")));
    // Орлов's and Иванов's results, and the cut file.
    QCOMPARE(view->model()->rowCount(), 3);
    QCOMPARE(teacherparts::classChart(window)->summaries().size(), 2);
    teacherparts::groupBox(window)->setCurrentIndex(0);
    QCOMPARE(teacherparts::classChart(window)->summaries().size(), 4);

    // Picking a row shows that learner's sheet, with results from every
    // report the learner handed in (the cut file too).
    for (int i = 0; i < view->model()->rowCount(); ++i) {
        if (view->model()->index(i, ClassTable::Surname).data().toString() ==
            QStringLiteral("Зайцева")) {
            view->setCurrentIndex(view->model()->index(i, 0));
            break;
        }
    }
    const QString sheet = teacherparts::learnerSheet(window)->toPlainText();
    QVERIFY2(sheet.contains(QStringLiteral("Зайцева Вера")), qPrintable(sheet));
    QVERIFY(sheet.contains(QStringLiteral("Лекция 2. Системы счисления")));
    QVERIFY(sheet.contains(QStringLiteral("обрезан.rep, ученик 2.rep")));
}

void TestTeacherWindow::exportsWithoutTouchingTheReports()
{
    const QStringList before = snapshot(m_reports);
    CourseTopics topics;
    QVERIFY(topics.load(fixtures::courseFile()));
    TeacherWindow window(topics);
    QVERIFY(window.openFolder(m_reports));
    QVERIFY(window.waitUntilLoaded());
    teacherparts::topicBox(window)->setCurrentIndex(teacherparts::topicBox(window)->findData(QStringLiteral("1")));

    QTemporaryDir out;
    QVERIFY(out.isValid());
    // The table as shown: the filter applies.
    const QString csvPath = out.filePath(QStringLiteral("класс.csv"));
    QVERIFY(window.exportCsv(csvPath));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF\xD0\xA4\xD0\xB0\xD0\xBC")); // BOM, "Фам"
    const QStringList lines =
        QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    // The heading, Вера's two tries at lecture 1 (the cut copy of her report
    // adds none), and the cut file's row.
    QCOMPARE(lines.size(), 1 + 2 + 1);
    QVERIFY(lines[1].startsWith(QStringLiteral(
        "Зайцева;Вера;ИТ-11;vera@example.org;Лекция 1. Информация и её измерение;1;")));

    for (const Report &r : window.table()->reports()) {
        if (r.path.endsWith(QStringLiteral("ученик 2.rep")))
            window.selectLearner(ClassTable::learnerKey(r));
    }
    const QString pdfPath = out.filePath(QStringLiteral("лист.pdf"));
    QVERIFY(window.saveSheetPdf(pdfPath));
    QFile pdf(pdfPath);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.size() > 1000);
    QVERIFY(pdf.read(5) == "%PDF-");
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (!pdftotext.isEmpty()) {
        QProcess p;
        p.start(pdftotext, {pdfPath, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("Зайцева")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("66,7 %")));
    }

    // An export that cannot be written says so.
    QVERIFY(!window.exportCsv(out.filePath(QStringLiteral("нет папки/класс.csv"))));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].contains(QStringLiteral("класс.csv")));

    QCOMPARE(snapshot(m_reports), before);
}

void TestTeacherWindow::droppedFilesAndBadFolders()
{
    TeacherWindow window{CourseTopics()};
    QVERIFY(!window.openFolder(m_tmp.filePath(QStringLiteral("нет такой папки"))));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(window.table()->rowCount(), 0);

    // Files taken one by one: a file that is not a report gets its row.
    window.openPaths(
        {m_reports + QStringLiteral("/ученик 1.rep"), m_reports + QStringLiteral("/список.txt")});
    QCOMPARE(window.table()->rowCount(), 2);
    QCOMPARE(window.table()->text(0, ClassTable::Test), QStringLiteral("Лекция 3"));
    QCOMPARE(window.table()->text(1, ClassTable::File), QStringLiteral("список.txt"));
    // Dropping the same file again reads it afresh instead of doubling it.
    window.openPaths({m_reports + QStringLiteral("/ученик 1.rep")});
    QCOMPARE(window.table()->rowCount(), 2);
    window.reload();
    QVERIFY(window.waitUntilLoaded());
    QCOMPARE(window.table()->rowCount(), 2);
}

// On a 1024x768 screen with a panel, the window opens inside the free area
// and everything in it is on the screen: the chart, the export, the sheet
// and its commands.
void TestTeacherWindow::fitsASmallScreen()
{
    const QRect desktop(0, 0, 1024, 768 - 32); // a panel at the bottom
    const QSize client = TeacherWindow::fittedSize(QSize(1240, 800), desktop);
    QVERIFY(client.width() <= 1024 - 8);
    QVERIFY(client.height() <= 768 - 32 - 24); // a title bar above it
    QCOMPARE(TeacherWindow::fittedSize(QSize(1240, 800), QRect(0, 0, 1920, 1040)),
             QSize(1240, 800));

    CourseTopics topics;
    QVERIFY(topics.load(fixtures::courseFile()));
    TeacherWindow window(topics);
    QVERIFY(window.openFolder(m_reports));
    QVERIFY(window.waitUntilLoaded());
    // The longest lecture title in the test filter, a learner's sheet.
    teacherparts::topicBox(window)->setCurrentIndex(teacherparts::topicBox(window)->findData(QStringLiteral("3")));
    teacherparts::classTable(window)->setCurrentIndex(teacherparts::classTable(window)->model()->index(0, 0));
    window.resize(client);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), client); // its least size does not hold it wider

    const QRect inside = window.rect();
    const QList<QWidget *> parts{teacherparts::classChart(window),
                                 teacherparts::learnerSheet(window),
                                 teacherparts::classTable(window),
                                 teacherparts::groupBox(window),
                                 teacherparts::topicBox(window),
                                 window.findChild<QWidget *>(QStringLiteral("csvButton")),
                                 window.findChild<QWidget *>(QStringLiteral("printButton")),
                                 window.findChild<QWidget *>(QStringLiteral("pdfButton"))};
    for (QWidget *part : parts) {
        QVERIFY(part);
        QVERIFY2(part->isVisible(), qPrintable(part->objectName()));
        const QRect at(part->mapTo(&window, QPoint()), part->size());
        QVERIFY2(inside.contains(at), qPrintable(part->objectName()));
    }
    // The filters keep room for a lecture's number and the start of its title.
    QVERIFY(teacherparts::groupBox(window)->width() >= 120);
    QVERIFY(teacherparts::topicBox(window)->width() >= 160);
    QVERIFY(teacherparts::classChart(window)->width() >= teacherparts::classChart(window)->minimumSizeHint().width());
    QVERIFY(teacherparts::classChart(window)->height() >= teacherparts::classChart(window)->minimumSizeHint().height());
    QVERIFY(teacherparts::classTable(window)->width() >= teacherparts::learnerSheet(window)->width());
    // The buttons show their whole labels.
    for (QPushButton *button : window.findChildren<QPushButton *>())
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
}

// A damaged file's message is read whole in its row: it spans the cells
// the row leaves free and wraps within what is in view, however narrow the
// table; the tooltip names the file too.
void TestTeacherWindow::problemRowsReadInFull()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray resaved = fixtures::exportedReport(1);
    resaved = QString::fromUtf16(reinterpret_cast<const char16_t *>(resaved.constData() + 2),
                                 (resaved.size() - 2) / 2)
                  .toUtf8();
    QByteArray cut = fixtures::exportedReport(2);
    cut.chop(60);
    QVERIFY(fixtures::writeFile(dir.filePath(QStringLiteral("пересохранён.rep")), resaved));
    QVERIFY(fixtures::writeFile(dir.filePath(QStringLiteral("обрезан.rep")), cut));
    QVERIFY(fixtures::writeFile(dir.filePath(QStringLiteral("ученик.rep")),
                                fixtures::exportedReport(3)));

    TeacherWindow window{CourseTopics()};
    QVERIFY(window.openFolder(dir.path()));
    QVERIFY(window.waitUntilLoaded());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView *view = teacherparts::classTable(window);
    window.resize(1400, 700);
    auto *splitter = window.findChild<QSplitter *>();
    QVERIFY(splitter);
    for (const int width : {900, 460}) {
        splitter->setSizes({width, splitter->width() - width});
        QCoreApplication::processEvents();
        QVERIFY(qAbs(view->width() - width) < 40);
        int problems = 0;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, ClassTable::Test);
            if (index.data(ClassTable::KindRole).toInt() != ClassTable::Row::Problem)
                continue;
            ++problems;
            const QString text = index.data().toString();
            QCOMPARE(view->columnSpan(row, ClassTable::Test), 3);
            const QRect cell = view->visualRect(index);
            const QRect shown = cell.intersected(view->viewport()->rect());
            QVERIFY2(shown.width() >= 150, qPrintable(QString::number(shown.width())));
            // Wrapped into what is shown, the message fits the row's height.
            const QFontMetrics metrics(view->font());
            const QRect needed = metrics.boundingRect(QRect(0, 0, shown.width() - 8, 1 << 20),
                                                      Qt::TextWordWrap, text);
            QVERIFY2(view->rowHeight(row) >= needed.height(),
                     qPrintable(QStringLiteral("%1: %2 < %3")
                                    .arg(text)
                                    .arg(view->rowHeight(row))
                                    .arg(needed.height())));
            const QString tip = index.data(Qt::ToolTipRole).toString();
            QVERIFY(tip.contains(text));
            QVERIFY(tip.contains(QStringLiteral(".rep")));
        }
        QCOMPARE(problems, 2);
    }
    // Sorting moves the rows; the spans follow them.
    view->sortByColumn(ClassTable::File, Qt::DescendingOrder);
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const bool problem = view->model()->index(row, 0).data(ClassTable::KindRole).toInt() ==
                             ClassTable::Row::Problem;
        QCOMPARE(view->columnSpan(row, ClassTable::Test), problem ? 3 : 1);
        if (!problem)
            QCOMPARE(view->rowHeight(row), view->verticalHeader()->defaultSectionSize());
    }
}

void TestTeacherWindow::chartLabelsStayClear_data()
{
    QTest::addColumn<QList<QList<double>>>("classes"); // each test's results
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("crowded"); // some label may find no room
    const QSize roomy(520, 300), least(280, 200);
    QTest::newRow("one learner: the dot sits on the bar's top")
        << QList<QList<double>>{{66.7}, {40}, {85}, {100}} << roomy << false;
    QTest::newRow("a class around its average")
        << QList<QList<double>>{{50, 52, 48, 50, 51, 49, 50}, {70, 72, 68, 71}} << roomy << false;
    QTest::newRow("everyone at 100 %")
        << QList<QList<double>>{{100, 100, 100}, {100}} << roomy << false;
    QTest::newRow("everyone at 0 %") << QList<QList<double>>{{0, 0}, {0}} << roomy << false;
    QTest::newRow("spread from 0 to 100")
        << QList<QList<double>>{{0, 25, 50, 75, 100}, {10, 90}} << roomy << false;
    QTest::newRow("nine tests in the least chart")
        << QList<QList<double>>{{55}, {60, 62}, {30, 35, 33}, {90},     {45, 50},
                                {70}, {20, 25}, {80, 85},     {100, 95}}
        << least << true;
}

// The class's average is a label on each bar; a learner's dot never covers
// it, and it stays inside the chart, clear of its title and legend.
void TestTeacherWindow::chartLabelsStayClear()
{
    QFETCH(QList<QList<double>>, classes);
    QFETCH(QSize, size);
    QFETCH(bool, crowded);
    QVector<TopicSummary> summaries;
    for (int i = 0; i < classes.size(); ++i) {
        TopicSummary s;
        s.topic = QString::number(i);
        s.title = s.topic;
        double sum = 0;
        for (double r : classes[i]) {
            s.results << r;
            sum += r;
        }
        s.average = sum / double(classes[i].size());
        summaries << s;
    }
    ClassChart chart;
    chart.resize(size);
    chart.setSummaries(summaries);
    const ClassChart::Layout layout = chart.layout();
    QCOMPARE(layout.topics.size(), summaries.size());
    int shown = 0;
    for (int i = 0; i < layout.topics.size(); ++i) {
        const ClassChart::TopicPlace &place = layout.topics[i];
        QCOMPARE(place.dots.size(), summaries[i].results.size());
        if (place.average.isNull())
            continue;
        ++shown;
        const QString where = QStringLiteral("test %1, label at %2,%3")
                                  .arg(i)
                                  .arg(place.average.x())
                                  .arg(place.average.y());
        // No dot of any test, and no other label, covers it.
        for (const ClassChart::TopicPlace &other : layout.topics) {
            for (const QRect &dot : other.dots)
                QVERIFY2(!dot.intersects(place.average), qPrintable(where));
            if (&other != &place)
                QVERIFY2(!other.average.intersects(place.average), qPrintable(where));
        }
        QVERIFY2(chart.rect().contains(place.average), qPrintable(where));
        QVERIFY2(place.average.top() >= 52, qPrintable(where)); // below the legend
        QVERIFY2(place.average.bottom() <= layout.plot.bottom(), qPrintable(where));
        QVERIFY2(place.average.center().x() >= place.slot.left() &&
                     place.average.center().x() <= place.slot.right(),
                 qPrintable(where));
    }
    if (!crowded)
        QCOMPARE(shown, summaries.size());
    else
        QVERIFY(shown > 0);
    // Drawing follows the same places.
    QImage image(size, QImage::Format_ARGB32);
    chart.render(&image);
}

void TestTeacherWindow::commandLineForm()
{
    const Run text =
        runTeacher({QStringLiteral("--text"), m_reports + QStringLiteral("/ученик 1.rep")});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.startsWith(
                 QStringLiteral("расшифрованный файл отчета\nИмя: Борис\nФамилия: Орлов\n")),
             qPrintable(text.out));

    const Run bad =
        runTeacher({QStringLiteral("--text"), m_reports + QStringLiteral("/список.txt")});
    QVERIFY(bad.status != 0);
    QVERIFY2(bad.err.contains(QStringLiteral("список.txt: ")), qPrintable(bad.err));

    const Run csv =
        runTeacher({QStringLiteral("--course"), QFileInfo(fixtures::courseFile()).path(),
                    QStringLiteral("--csv"), m_reports});
    QCOMPARE(csv.status, 1); // the cut report
    QVERIFY(csv.bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(csv.out.contains(QStringLiteral("Фамилия;Имя;")));
    QVERIFY(csv.out.contains(QStringLiteral(
        "Орлов;Борис;ИТ-12;boris@example.org;Лекция 3. Логика и логические элементы;3;")));
    QVERIFY(csv.err.contains(QStringLiteral("обрезан.rep")));

    QCOMPARE(runTeacher({QStringLiteral("--csv"), m_tmp.filePath(QStringLiteral("нет"))}).status,
             2);
}

QTEST_MAIN(TestTeacherWindow)
// A large folder is read off the window's thread: openFolder returns at
// once with a progress bar shown, every report is in at the end, and a folder
// opened while another is still read shows only its own reports.
void TestTeacherWindow::readsInTheBackground()
{
    QTemporaryDir big, small;
    const QByteArray report = fixtures::exportedReport(1);
    for (int i = 0; i < 400; ++i)
        QVERIFY(fixtures::writeFile(big.filePath(QStringLiteral("ученик %1.rep").arg(i)), report));
    QVERIFY(fixtures::writeFile(small.filePath(QStringLiteral("один.rep")),
                                fixtures::exportedReport(3)));

    TeacherWindow window{CourseTopics()};
    window.show();
    QVERIFY(window.openFolder(big.path()));
    QVERIFY(window.isLoading());
    QVERIFY(teacherparts::readProgress(window)->isVisible());
    QCOMPARE(teacherparts::readProgress(window)->maximum(), 400);
    // Meanwhile the header says the folder is being read (not that it has
    // no reports), and the table waits for its rows.
    QVERIFY2(teacherparts::headerNote(window)->text().contains(QStringLiteral("чтение отчётов")),
             qPrintable(teacherparts::headerNote(window)->text()));
    QVERIFY(teacherparts::classTable(window)->isVisible());
    QVERIFY(window.waitUntilLoaded());
    QVERIFY(!teacherparts::readProgress(window)->isVisible());
    QCOMPARE(window.table()->reports().size(), 400);
    QVERIFY(teacherparts::headerNote(window)->text().contains(QStringLiteral("файлов: 400")));

    // Another folder chosen before the first is read: none of the first's
    // batches may come in after it.
    QVERIFY(window.openFolder(big.path()));
    QVERIFY(window.openFolder(small.path()));
    QVERIFY(window.waitUntilLoaded());
    QTest::qWait(300);
    QCOMPARE(window.table()->reports().size(), 1);
    QCOMPARE(QFileInfo(window.table()->reports()[0].path).fileName(), QStringLiteral("один.rep"));

    // A reload keeps the table whole while it reads.
    QVERIFY(window.openFolder(big.path()));
    QVERIFY(window.waitUntilLoaded());
    window.reload();
    QCOMPARE(window.table()->reports().size(), 400);
    QVERIFY(window.waitUntilLoaded());
    QCOMPARE(window.table()->reports().size(), 400);
    QVERIFY(m_messages.isEmpty());
}

// Several threads read a large folder; every report still stands where its
// file stands, a damaged one among them too.
void TestTeacherWindow::keepsTheOrderOfTheFiles()
{
    QTemporaryDir dir;
    QStringList expected;
    for (int i = 1; i <= 150; ++i) {
        const QString name = QStringLiteral("ученик %1.rep").arg(i);
        QByteArray bytes = fixtures::exportedReport(i % 4);
        if (i == 77)
            bytes.chop(60);
        QVERIFY(fixtures::writeFile(dir.filePath(name), bytes));
        expected << name;
    }
    TeacherWindow window{CourseTopics()};
    QVERIFY(window.openFolder(dir.path()));
    QVERIFY(window.waitUntilLoaded());
    QStringList names;
    for (const Report &r : window.table()->reports())
        names << QFileInfo(r.path).fileName();
    QCOMPARE(names, expected);
    QCOMPARE(window.table()->problemCount(), 1);
    QVERIFY(!window.table()->reports()[76].isSound());
}

// The grid holds each learner's best and last result per test; the last is
// the latest by date, whatever order the report lists the attempts in, and
// reports handed in twice do not count an attempt twice.
void TestTeacherWindow::bestAndLastPerTest()
{
    QTemporaryDir dir;
    const QList<fixtures::Attempt> history{
        {"1", "Wed Mar 09 10:00:00 2005\n", "90"},
        {"1", "Fri Mar 11 10:00:00 2005\n", "70"},
        {"1", "Tue Mar 08 10:00:00 2005\n", "60"},
        {"0", "Thu Mar 10 10:00:00 2005\n", "55,5"},
    };
    QVERIFY(fixtures::writeFile(dir.filePath(QStringLiteral("неделя 1.rep")),
                                fixtures::reportBytes(fixtures::reportLines(1, history.mid(0, 1)))));
    QVERIFY(fixtures::writeFile(dir.filePath(QStringLiteral("неделя 2.rep")),
                                fixtures::reportBytes(fixtures::reportLines(1, history))));
    QVERIFY(fixtures::writeFile(dir.filePath(QStringLiteral("другой.rep")),
                                fixtures::reportBytes(fixtures::reportLines(3, {history[2]}))));
    TeacherWindow window{CourseTopics()};
    QVERIFY(window.openFolder(dir.path()));
    QVERIFY(window.waitUntilLoaded());

    // The grid is brought up to date when its tab is shown.
    teacherparts::classTabs(window)->setCurrentWidget(teacherparts::lectureGrid(window));
    const teacher::LectureGrid *grid = window.grid();
    QCOMPARE(grid->topics(), (QStringList{"0", "1"}));
    QStringList cells;
    for (const auto &learner : grid->learners()) {
        QStringList row;
        for (const auto &cell : learner.cells)
            row << teacher::LectureGrid::cellText(cell) + QStringLiteral(" x%1").arg(cell.attempts);
        cells << row.join(u'|');
    }
    cells.sort();
    QCOMPARE(cells, (QStringList{" x0|60 / 60 x1", "55,5 / 55,5 x1|90 / 70 x3"}));

    // Sorted by a test's column: by the best result, untaken last when descending.
    QTableView *view = teacherparts::lectureGrid(window);
    view->sortByColumn(3, Qt::DescendingOrder);
    QCOMPARE(view->model()->index(0, 3).data().toString(), QStringLiteral("90 / 70"));
    // Choosing a learner in the grid shows the sheet.
    view->setCurrentIndex(view->model()->index(1, 0));
    QVERIFY(!window.selectedLearner().isEmpty());
    QVERIFY(!teacherparts::learnerSheet(window)->toPlainText().isEmpty());
}

#include "tst_teacherwindow.moc"
