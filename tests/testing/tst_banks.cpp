#include "testing/Banks.h"
#include "core/LineCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

QByteArray code(const QString &record)
{
    return core::EncodeLine(record).toLatin1();
}

// Marks a bank file that is not there at all.
const QByteArray kMissing = QByteArray("<missing>");

void writeFile(const QString &path, const QByteArray &bytes)
{
    if (bytes == kMissing)
        return;
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList rows(const testing::StringGrid &grid, int from, int to)
{
    QStringList out;
    for (int r = from; r <= to; ++r) {
        QStringList cells;
        for (int c = 0; c < grid.ColCount; ++c)
            cells << grid.cells(c, r);
        out << cells.join(u'|');
    }
    return out;
}

} // namespace

class TestBanks : public QObject
{
    Q_OBJECT
private slots:
    void splitLines_data();
    void splitLines();
    void fields_data();
    void fields();
    void loadBanks_data();
    void loadBanks();
    void headingsAndUnwrittenCells();
    void cellsKeepWhatWasWritten();
    void oversizedBankIsRefused();
    void recordAndRecordCountBounds();
    void linesAcrossReads();
};

void TestBanks::splitLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("no final break") << QByteArray("abc") << QStringList{"abc"};
    QTest::newRow("final break gives an empty line") << QByteArray("abc\n") << QStringList{"abc", ""};
    QTest::newRow("CR LF is one break") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b", ""};
    QTest::newRow("LF CR is one break") << QByteArray("a\n\rb") << QStringList{"a", "b"};
    QTest::newRow("CR CR is two") << QByteArray("a\r\rb") << QStringList{"a", "", "b"};
    QTest::newRow("LF LF is two") << QByteArray("a\n\nb") << QStringList{"a", "", "b"};
    QTest::newRow("CR LF CR LF") << QByteArray("a\r\n\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("form feed") << QByteArray("a\fb") << QStringList{"a", "b"};
    QTest::newRow("TAB cuts into pieces") << QByteArray("ab\tcd") << QStringList{"ab", "", "cd"};
    QTest::newRow("NUL reads as ?") << QByteArray("a\0b", 3) << QStringList{"a?b"};
    QTest::newRow("cp1251 bytes") << QByteArray("\xC6\xF3\xEA") << QStringList{"Жук"};
}

void TestBanks::splitLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(testing::banks::splitLines(bytes), lines);
}

void TestBanks::fields_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("cells");

    // Every cell starts as "old" so that unwritten fields show.
    QTest::newRow("q plain") << false << "3 7 Text" << "3|7|Text";
    QTest::newRow("q two spaces between numbers") << false << "3  7 Text" << "3|7|Text";
    QTest::newRow("q two spaces before text") << false << "3 7  Text" << "3|7| Text";
    QTest::newRow("q leading spaces") << false << "  3 7 Text" << "3|7|Text";
    QTest::newRow("q text runs to the end") << false << "1 2 10% of 0.5 mg/l / 0"
                                            << "1|2|10% of 0.5 mg/l / 0";
    QTest::newRow("q text keeps inner spaces") << false << "1 2 a  b " << "1|2|a  b ";
    QTest::newRow("q numbers only") << false << "3 7" << "3|7|old";
    QTest::newRow("q numbers and a space") << false << "3 7 " << "3|7|old";
    QTest::newRow("q lecture only") << false << "3" << "3|old|old";
    QTest::newRow("q only spaces") << false << "   " << "old|old|old";
    QTest::newRow("q empty") << false << "" << "old|old|old";
    QTest::newRow("q numbers compared as text") << false << "01 002 Q" << "01|002|Q";
    QTest::newRow("q numbers of every length") << false << "0 999 Q" << "0|999|Q";
    QTest::newRow("q long and signed numbers") << false << "1000 -5 Q" << "1000|-5|Q";
    QTest::newRow("q letters as numbers") << false << "1a №2 Q" << "1a|№2|Q";
    QTest::newRow("a plain: text and flag swap") << true << "2 4 1 Text" << "2|4|Text|1";
    QTest::newRow("a wrong flag") << true << "2 4 0 Два  слова" << "2|4|Два  слова|0";
    QTest::newRow("a no text") << true << "2 4 1" << "2|4|old|1";
    QTest::newRow("a numbers only") << true << "2 4" << "2|4|old|old";
    QTest::newRow("a spaces between numbers") << true << "2   4  1 x" << "2|4|x|1";
}

void TestBanks::fields()
{
    QFETCH(bool, answer);
    QFETCH(QString, record);
    QFETCH(QString, cells);

    testing::StringGrid grid(answer ? 4 : 3);
    for (int c = 0; c < grid.ColCount; ++c)
        grid.setCells(c, 5, QStringLiteral("old"));
    if (answer)
        testing::banks::storeAnswer(grid, 5, record);
    else
        testing::banks::storeQuestion(grid, 5, record);
    QCOMPARE(rows(grid, 5, 5).constFirst(), cells);

    // Read from a bank file, the record's fields come from its bytes.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.qzt"));
    writeFile(bank, code(record) + "\r\n");
    testing::StringGrid questions(3), answers(4);
    testing::StringGrid &loaded = answer ? answers : questions;
    for (int c = 0; c < loaded.ColCount; ++c)
        loaded.setCells(c, 1, QStringLiteral("old"));
    const QString none = dir.filePath(QStringLiteral("none"));
    testing::LoadBanks(questions, answers, answer ? none : bank, answer ? bank : none);
    QCOMPARE(rows(loaded, 1, 1).constFirst(), cells);
}

void TestBanks::loadBanks_data()
{
    QTest::addColumn<QByteArray>("questionBytes");
    QTest::addColumn<QByteArray>("answerBytes");
    QTest::addColumn<QStringList>("questionRows"); // rows 1.. as cells joined by "|"
    QTest::addColumn<int>("questionCount");
    QTest::addColumn<QStringList>("answerRows");
    QTest::addColumn<int>("answerCount");
    QTest::addColumn<bool>("fails");

    const QByteArray q1 = code(QStringLiteral("1 1 Первый вопрос"));
    const QByteArray q2 = code(QStringLiteral("1 2 Второй вопрос"));
    const QByteArray a1 = code(QStringLiteral("1 1 1 Да"));
    const QByteArray a2 = code(QStringLiteral("1 1 0 Нет"));
    const QStringList qRows{"1|1|Первый вопрос", "1|2|Второй вопрос"};
    const QStringList aRows{"1|1|Да|1", "1|1|Нет|0"};
    // The grids start with 9 rows of "old" cells: a failed load leaves
    // RowCount at 9 and the rows it did not reach untouched.
    const QString old3 = QStringLiteral("old|old|old");
    const QString old4 = QStringLiteral("old|old|old|old");

    QTest::newRow("CR LF, final break") << q1 + "\r\n" + q2 + "\r\n" << a1 + "\r\n" + a2 + "\r\n"
                                        << qRows << 3 << aRows << 3 << false;
    QTest::newRow("LF, no final break") << q1 + "\n" + q2 << a1 + "\n" + a2 << qRows << 3 << aRows
                                        << 3 << false;
    QTest::newRow("LF CR and CR CR") << q1 + "\n\r" + q2 << a1 + "\r\r" + a2 << qRows << 3 << aRows
                                     << 3 << false;
    QTest::newRow("form feed and TAB") << q1 + "\f" + q2 << a1 + "\t" + a2 << qRows << 3 << aRows
                                       << 3 << false;
    // "0;=" is long enough to be a record: it decodes to the empty text and
    // takes a row without writing a cell.
    QTest::newRow("short lines take no row")
        << "ab\n" + q1 + "\n\nx\n0;\n  \n" + q2 + "\n0\n" << a1 + "\n0;=\n" + a2 << qRows << 3
        << QStringList{"1|1|Да|1", "old|old|old|old", "1|1|Нет|0"} << 4 << false;
    // Numbers of up to nine digits are kept as numbers; anything else that
    // looks like one (a leading zero, ten digits, a sign) reads back as text.
    QTest::newRow("numbers of every length")
        << code(QStringLiteral("8 12500 Вопрос")) + "\n" +
               code(QStringLiteral("999999999 0012500 Вопрос"))
        << code(QStringLiteral("1000000000 12500 1 Да")) + "\n" +
               code(QStringLiteral("-3 123456789 0 Нет"))
        << QStringList{"8|12500|Вопрос", "999999999|0012500|Вопрос"} << 3
        << QStringList{"1000000000|12500|Да|1", "-3|123456789|Нет|0"} << 3 << false;
    QTest::newRow("missing question bank") << kMissing << a1 + "\n" + a2 << QStringList{old3} << 1
                                           << aRows << 3 << false;
    QTest::newRow("missing answer bank") << q1 + "\n" + q2 << kMissing << qRows << 3
                                         << QStringList{old4} << 1 << false;
    QTest::newRow("empty banks") << QByteArray() << QByteArray("\r\n") << QStringList{old3} << 1
                                 << QStringList{old4} << 1 << false;
    QTest::newRow("decoding error in the question bank")
        << q1 + "\n0;Q-Q=\n" + q2 << a1 + "\n" + a2 << QStringList{"1|1|Первый вопрос", old3} << 9
        << QStringList{old4, old4} << 9 << true;
    QTest::newRow("NUL makes a short line a bad record")
        << q1 + "\n" + QByteArray("\0\0\0", 3) + "\n" + q2 << a1
        << QStringList{"1|1|Первый вопрос", old3} << 9 << QStringList{old4} << 9 << true;
    QTest::newRow("decoding error in the answer bank")
        << q1 + "\n" + q2 << a1 + "\n0;YWJjY\n" + a2 << qRows << 3 << QStringList{"1|1|Да|1", old4}
        << 9 << true;
}

void TestBanks::loadBanks()
{
    QFETCH(QByteArray, questionBytes);
    QFETCH(QByteArray, answerBytes);
    QFETCH(QStringList, questionRows);
    QFETCH(int, questionCount);
    QFETCH(QStringList, answerRows);
    QFETCH(int, answerCount);
    QFETCH(bool, fails);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString qPath = dir.filePath(QStringLiteral("questions.qzt"));
    const QString aPath = dir.filePath(QStringLiteral("ansvers.qzt"));
    writeFile(qPath, questionBytes);
    writeFile(aPath, answerBytes);

    testing::StringGrid questions(3), answers(4);
    for (int r = 1; r < 9; ++r) {
        for (int c = 0; c < 4; ++c) {
            questions.setCells(c, r, QStringLiteral("old"));
            answers.setCells(c, r, QStringLiteral("old"));
        }
    }
    questions.ColCount = 3;
    questions.RowCount = 9;
    answers.RowCount = 9;

    bool failed = false;
    try {
        testing::LoadBanks(questions, answers, qPath, aPath);
    } catch (const core::CodingError &e) {
        failed = true;
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Coding table entry not found."));
    }
    QCOMPARE(failed, fails);
    QCOMPARE(questions.RowCount, questionCount);
    QCOMPARE(answers.RowCount, answerCount);
    QCOMPARE(rows(questions, 1, int(questionRows.size())), questionRows);
    QCOMPARE(rows(answers, 1, int(answerRows.size())), answerRows);
}

// Numbers and texts are stored apart; every cell reads back as written,
// whatever it held before, also past the columns the table was made with.
void TestBanks::cellsKeepWhatWasWritten()
{
    testing::StringGrid grid(2);
    const QStringList writes = {"7",         "07",         "999",     "1000",
                                "12500",     "123456789",  "999999999", "1000000000",
                                "0012500",   "2147483648", "-1",      "+7",
                                // outside the banks' code page, or at its edges
                                "日本語",    "😀 смайлик", "€ ‰ № \u0098",
                                "7 ",        "Ответ",      "",        "3"};
    for (int k = 0; k < writes.size(); ++k) {
        // Each cell is written over by every kind of value in turn.
        for (int prev = 0; prev < writes.size(); ++prev) {
            grid.setCells(k % 3, 10 + prev, writes[prev]);
            grid.setCells(k % 3, 10 + prev, writes[k]);
            QCOMPARE(grid.cells(k % 3, 10 + prev), writes[k]);
        }
    }
    grid.setCells(5, 2, QStringLiteral("далеко"));
    QCOMPARE(grid.cells(5, 2), QStringLiteral("далеко"));
    // Kept when the rows widened.
    QCOMPARE(grid.cells(0, 19), QStringLiteral("3"));
    QCOMPARE(grid.cells(1, 19), QStringLiteral("Ответ"));
    QCOMPARE(grid.cells(4, 2), QString());

    // A cell written over with ever longer texts leaves its neighbours whole
    // while the store of characters is tidied up behind them.
    grid.setCells(4, 2, QStringLiteral("日本"));
    for (int n = 1; n <= 300; ++n)
        grid.setCells(1, 3, QString(n, QChar(n % 2 ? u'я' : u'語')));
    QCOMPARE(grid.cells(1, 3), QString(300, QChar(u'語')));
    QCOMPARE(grid.cells(5, 2), QStringLiteral("далеко"));
    QCOMPARE(grid.cells(4, 2), QStringLiteral("日本"));
    QCOMPARE(grid.cells(1, 19), QStringLiteral("Ответ"));
    grid.setCells(1, 3, QStringLiteral("короче"));
    QCOMPARE(grid.cells(1, 3), QStringLiteral("короче"));
}

void TestBanks::headingsAndUnwrittenCells()
{
    QTemporaryDir dir;
    testing::StringGrid questions(3), answers(4);
    testing::LoadBanks(questions, answers, dir.filePath(QStringLiteral("none1")),
              dir.filePath(QStringLiteral("none2")));
    QCOMPARE(rows(questions, 0, 0).constFirst(), QStringLiteral("Номер лекции|Номер в лекции|Вопрос"));
    QCOMPARE(rows(answers, 0, 0).constFirst(),
             QStringLiteral("Номер лекции|Номер в лекции|Вариант ответа|Правильность ответа"));
    QCOMPARE(questions.RowCount, 1);
    QCOMPARE(answers.RowCount, 1);
    QCOMPARE(answers.cells(3, 1000), QString());
    QCOMPARE(answers.cells(7, 0), QString());
    QCOMPARE(answers.cells(-1, -1), QString());

    // A folder where a bank should be reads as a missing bank.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("questions.qzt")));
    testing::LoadBanks(questions, answers, dir.filePath(QStringLiteral("questions.qzt")),
              dir.filePath(QStringLiteral("none2")));
    QCOMPARE(questions.RowCount, 1);

    // So does a pipe, which must not block the window waiting for a writer.
    const QByteArray fifo = dir.filePath(QStringLiteral("pipe.qzt")).toLocal8Bit();
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    testing::LoadBanks(questions, answers, QString::fromLocal8Bit(fifo), dir.filePath(QStringLiteral("none2")));
    QCOMPARE(questions.RowCount, 1);
}

void TestBanks::oversizedBankIsRefused()
{
    QTemporaryDir dir;
    const QString qPath = dir.filePath(QStringLiteral("questions.qzt"));
    const QByteArray line = code(QStringLiteral("1 1 Q")) + "\n";
    writeFile(qPath, line.repeated(10));

    testing::StringGrid questions(3), answers(4);
    const qint64 limit = line.size() * 10;
    testing::LoadBanks(questions, answers, qPath, dir.filePath(QStringLiteral("a")), limit);
    QCOMPARE(questions.RowCount, 11);

    questions.RowCount = 5;
    try {
        testing::LoadBanks(questions, answers, qPath, dir.filePath(QStringLiteral("a")), limit - 1);
        QFAIL("an oversized bank was read");
    } catch (const testing::BankError &e) {
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("questions.qzt")));
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("слишком велик")));
    }
    QCOMPARE(questions.RowCount, 5);
}

// One record of millions of characters, or millions of tiny records, are
// damage: the load stops with a message naming the file, quickly and without
// building a table of gigabytes.
void TestBanks::recordAndRecordCountBounds()
{
    QTemporaryDir dir;
    const QString qPath = dir.filePath(QStringLiteral("questions.qzt"));
    const QByteArray good = code(QStringLiteral("1 1 Q")) + "\n";
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString reason;
        int rowsBefore; // rows stored before the refusal
    };
    const QByteArray tiny = code(QStringLiteral("1 1 a")) + "\n";
    const QList<Case> cases = {
        {"a question of 15 million characters",
         good + "1 2 " + QByteArray(15000000, 'x') + "\n", QStringLiteral("длиннее"), 1},
        {"one record past the count", tiny.repeated(testing::banks::kMaxRecords + 1),
         QStringLiteral("больше %1 записей").arg(testing::banks::kMaxRecords), testing::banks::kMaxRecords},
    };
    for (const Case &c : cases) {
        writeFile(qPath, c.bytes);
        testing::StringGrid questions(3), answers(4);
        try {
            testing::LoadBanks(questions, answers, qPath, dir.filePath(QStringLiteral("a")));
            QFAIL(c.name);
        } catch (const testing::BankError &e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains(QStringLiteral("questions.qzt")) && message.contains(c.reason),
                     qPrintable(message));
        }
        QCOMPARE(questions.RowCount, 1); // the table's length is not taken
        QVERIFY(!questions.cells(0, c.rowsBefore).isEmpty());
        QVERIFY(questions.cells(0, c.rowsBefore + 1).isEmpty());
    }
    // Exactly at the count the bank loads.
    writeFile(qPath, tiny.repeated(testing::banks::kMaxRecords));
    testing::StringGrid questions(3), answers(4);
    testing::LoadBanks(questions, answers, qPath, dir.filePath(QStringLiteral("a")));
    QCOMPARE(questions.RowCount, testing::banks::kMaxRecords + 1);
}

namespace {

// A question bank whose bytes from `at` on are `tail`: records before it,
// then empty lines to the byte.
QByteArray bankWithTailAt(qsizetype at, const QByteArray &tail)
{
    QByteArray bytes;
    for (int k = 1;; ++k) {
        const QByteArray record = code(QStringLiteral("1 %1 Вопрос номер %1").arg(k)) + "\n";
        if (bytes.size() + record.size() > at)
            break;
        bytes += record;
    }
    bytes += QByteArray(at - bytes.size(), '\n');
    return bytes + tail;
}

// The table the whole bank gives when taken in memory line by line: what a
// load read a piece at a time must give too.
testing::StringGrid loadedWhole(const QByteArray &bytes)
{
    testing::StringGrid grid(3);
    int row = 1;
    for (const QString &line : testing::banks::splitLines(bytes)) {
        if (line.size() < 3)
            continue;
        testing::banks::storeQuestion(grid, row++, core::DecodeLine(line));
    }
    grid.RowCount = row;
    return grid;
}

} // namespace

// A bank is read a piece at a time: a line break, a record or the file's end
// falling on the border of two reads changes nothing in the table, on a
// first load and on a load again into the same table.
void TestBanks::linesAcrossReads()
{
    using testing::banks::kReadBytes;
    QTemporaryDir dir;
    const QString qPath = dir.filePath(QStringLiteral("questions.qzt"));
    const QByteArray a = code(QStringLiteral("2 1 Первый после границы"));
    const QByteArray b = code(QStringLiteral("2 2 Второй после границы"));
    // Longer than the room a carried line first gets, within the longest
    // record there may be.
    const QByteArray longRecord = code(QStringLiteral("2 3 ") + QString(49000, QChar(u'ж')));
    QVERIFY(longRecord.size() > 4096 && longRecord.size() <= testing::banks::kMaxRecordChars);
    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const QList<Case> cases = {
        {"CR LF split by a read", bankWithTailAt(kReadBytes - 1 - a.size(), a + "\r\n" + b + "\r\n")},
        {"LF CR split by a read", bankWithTailAt(kReadBytes - 1 - a.size(), a + "\n\r" + b)},
        {"CR CR split by a read", bankWithTailAt(kReadBytes - 1 - a.size(), a + "\r\r" + b + "\r")},
        {"a record split by a read", bankWithTailAt(kReadBytes - 20, a + "\n" + b)},
        {"a long record carried over", bankWithTailAt(kReadBytes - 5000, longRecord + "\r\n" + b)},
        {"the bank ends with a read in CR", bankWithTailAt(kReadBytes - 1 - a.size(), a + "\r")},
        {"the bank ends with a read in TAB", bankWithTailAt(2 * kReadBytes - 1 - a.size(), a + "\t")},
    };
    // A line too long is refused as soon as it is, with its number, which
    // counts the lines before it as the whole bank in memory does.
    const QByteArray tooLong = QByteArray(testing::banks::kMaxRecordChars + 1, 'Q') + "\n" + a;
    const auto refusedAtLine = [&](const QByteArray &head) -> qsizetype {
        writeFile(qPath, head + tooLong);
        testing::StringGrid questions(3), answers(4);
        try {
            testing::LoadBanks(questions, answers, qPath, dir.filePath(QStringLiteral("a")));
        } catch (const testing::BankError &e) {
            const QString message = QString::fromUtf8(e.what());
            const qsizetype at = message.indexOf(QStringLiteral("строка "));
            return at < 0 ? -1 : QStringView(message).sliced(at + 7).split(u' ').value(0).toLongLong();
        }
        return -1;
    };
    QCOMPARE(refusedAtLine(bankWithTailAt(kReadBytes - 10, QByteArray())),
             testing::banks::splitLines(bankWithTailAt(kReadBytes - 10, QByteArray())).size());

    for (const Case &c : cases) {
        writeFile(qPath, c.bytes);
        const testing::StringGrid expected = loadedWhole(c.bytes);
        QVERIFY2(expected.RowCount > 100, c.name);
        testing::StringGrid questions(3), answers(4);
        for (int pass = 0; pass < 2; ++pass) {
            testing::LoadBanks(questions, answers, qPath, dir.filePath(QStringLiteral("a")));
            QVERIFY2(questions.RowCount == expected.RowCount, c.name);
            QVERIFY2(rows(questions, 1, questions.RowCount) == rows(expected, 1, expected.RowCount),
                     c.name);
        }
        // A break split by a read is one break: the lines after it keep
        // their numbers.
        const QByteArray head = c.bytes + "\n";
        QVERIFY2(refusedAtLine(head) == testing::banks::splitLines(head).size(), c.name);
    }
}

QTEST_APPLESS_MAIN(TestBanks)
#include "tst_banks.moc"
