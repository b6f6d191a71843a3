#include "ReportFixtures.h"

#include "teacher/ClassChart.h"
#include "teacher/TeacherWindow.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
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
    void commandLineForm();

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
    QVERIFY(m_messages.isEmpty());

    // Four reports with 0, 1, 4 and 1 results and a row for the learner
    // without any; the cut file is a copy of Вера's: its three whole results
    // are hers already, and it keeps its own row.
    QTableView *view = window.view();
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
    QCOMPARE(window.groupBox()->count(), 3);
    QCOMPARE(window.topicBox()->itemText(1), QStringLiteral("Общий тест"));
    QCOMPARE(window.topicBox()->itemText(4),
             QStringLiteral("Лекция 3. Логика и логические элементы"));
    window.groupBox()->setCurrentIndex(window.groupBox()->findText(QStringLiteral("ИТ-12")));
    // Орлов's and Иванов's results, and the cut file.
    QCOMPARE(view->model()->rowCount(), 3);
    QCOMPARE(window.chart()->summaries().size(), 2);
    window.groupBox()->setCurrentIndex(0);
    QCOMPARE(window.chart()->summaries().size(), 4);

    // Picking a row shows that learner's sheet, with results from every
    // report the learner handed in (the cut file too).
    for (int i = 0; i < view->model()->rowCount(); ++i) {
        if (view->model()->index(i, ClassTable::Surname).data().toString() ==
            QStringLiteral("Зайцева")) {
            view->setCurrentIndex(view->model()->index(i, 0));
            break;
        }
    }
    const QString sheet = window.sheet()->toPlainText();
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
    window.topicBox()->setCurrentIndex(window.topicBox()->findData(QStringLiteral("1")));

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
    QCOMPARE(window.table()->rowCount(), 2);
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
#include "tst_teacherwindow.moc"
