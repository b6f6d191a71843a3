// The document model without a view: the item rules of the building
// operations, plain-text loading and saving, and the .rvf reader and writer.

#include "richtext/RVDocument.h"
#include "richtext/RvfFile.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <QtTest>

#include <functional>

using DocOps = std::function<void(richtext::RVDocument &)>;
Q_DECLARE_METATYPE(DocOps)

namespace {

// One token per item: start (P<para>, L new line, C continue; "!" page break),
// then the item; then the checkpoints as cp(name,tag,event)@item.
QString summary(const richtext::RVDocument &d)
{
    QStringList out;
    for (const richtext::RVItem &it : d.items) {
        QString s;
        switch (it.start) {
        case richtext::RVItem::Start::NewParagraph: s = QStringLiteral("P%1").arg(it.paraNo); break;
        case richtext::RVItem::Start::NewLine: s = QStringLiteral("L"); break;
        case richtext::RVItem::Start::Continue: s = QStringLiteral("C"); break;
        }
        if (it.pageBreakBefore)
            s += QLatin1Char('!');
        switch (it.kind) {
        case richtext::RVItem::Kind::Text: s += QStringLiteral(":%1:'%2'").arg(it.styleNo).arg(it.text); break;
        case richtext::RVItem::Kind::Tab: s += QStringLiteral(":tab"); break;
        case richtext::RVItem::Kind::Break: s += QStringLiteral(":hr"); break;
        case richtext::RVItem::Kind::Picture:
            s += QStringLiteral(":img(%1,%2,%3x%4)")
                     .arg(it.picturePath)
                     .arg(it.pictureJump ? 1 : 0)
                     .arg(it.pictureWidth)
                     .arg(it.pictureHeight);
            break;
        }
        out << s;
    }
    for (const richtext::RVCheckpoint &cp : d.checkpoints)
        out << QStringLiteral("cp(%1,%2,%3)@%4").arg(cp.name).arg(cp.tag).arg(cp.raiseEvent ? 1 : 0).arg(cp.itemIndex);
    return out.join(QLatin1Char('|'));
}

QByteArray hex(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

} // namespace

class TestRvModel : public QObject
{
    Q_OBJECT
private slots:
    void addText_data();
    void addText();
    void loadTextSplitting_data();
    void loadTextSplitting();
    void loadTextFiles();
    void windows1251MatchesIconv();
    void saveTextBytes_data();
    void saveTextBytes();
    void saveTextFileErrors();
    void parseRvfItems_data();
    void parseRvfItems();
    void rvfErrorNamesLine();
    void rvfNotesWrappedTerms();
    void rvfRoundTrip_data();
    void rvfRoundTrip();
    void rvfRoundTripOfFile();
};

void TestRvModel::addText_data()
{
    QTest::addColumn<DocOps>("ops");
    QTest::addColumn<QString>("expected");

    QTest::newRow("continue into empty document starts style 0")
        << DocOps([](richtext::RVDocument &d) { d.addText("a", 2, -1, 0, 4); }) << "P0:2:'a'";
    QTest::newRow("continue keeps the paragraph")
        << DocOps([](richtext::RVDocument &d) {
               d.addText("a", 1, 3, 0, 4);
               d.addText("b", 2, -1, 0, 4);
           })
        << "P3:1:'a'|C:2:'b'";
    QTest::newRow("continue after a break line starts style 0")
        << DocOps([](richtext::RVDocument &d) {
               d.addText("a", 0, 2, 0, 4);
               d.addBreak();
               d.addText("b", 0, -1, 0, 4);
           })
        << "P2:0:'a'|P0:hr|P0:0:'b'";
    QTest::newRow("empty text is an empty item")
        << DocOps([](richtext::RVDocument &d) {
               d.addText("", 0, 0, 0, 4);
               d.addText("", 0, -1, 0, 4);
           })
        << "P0:0:''|C:0:''";
    QTest::newRow("CR and LF stay, TAB becomes SpacesInTab blanks")
        << DocOps([](richtext::RVDocument &d) { d.addText("a\r\nb\tc", 0, 0, 0, 4); }) << "P0:0:'a\r\nb    c'";
    QTest::newRow("TAB vanishes when SpacesInTab is 0")
        << DocOps([](richtext::RVDocument &d) { d.addText("a\tb", 0, 0, 0, 0); }) << "P0:0:'ab'";
    QTest::newRow("checkpoints attach to the next item, the last is the end")
        << DocOps([](richtext::RVDocument &d) {
               d.addCheckpoint(1, "first", false);
               d.addCheckpoint(2, "also first", true);
               d.addText("a", 0, 0, 0, 4);
               d.addText("b", 0, 0, 0, 4);
               d.addCheckpoint(3, "end", true);
           })
        << "P0:0:'a'|P0:0:'b'|cp(first,1,0)@0|cp(also first,2,1)@0|cp(end,3,1)@-1";
}

void TestRvModel::addText()
{
    QFETCH(DocOps, ops);
    QFETCH(QString, expected);
    richtext::RVDocument d;
    ops(d);
    QCOMPARE(summary(d), expected);
}

void TestRvModel::loadTextSplitting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("spacesInTab");
    QTest::addColumn<bool>("single");
    QTest::addColumn<QString>("expected");

    QTest::newRow("CR LF endings and a final empty line") << QByteArray("a\r\nb\r\n") << 4 << false
                                                          << "P0:3:'a'|P0:3:'b'|P0:3:''";
    QTest::newRow("LF CR is one line end") << QByteArray("a\n\rb") << 4 << false << "P0:3:'a'|P0:3:'b'";
    QTest::newRow("CR CR is two") << QByteArray("a\r\rb") << 4 << false << "P0:3:'a'|P0:3:''|P0:3:'b'";
    QTest::newRow("LF LF is two") << QByteArray("a\n\nb") << 4 << false << "P0:3:'a'|P0:3:''|P0:3:'b'";
    QTest::newRow("CR LF CR LF is two") << QByteArray("a\r\n\r\nb") << 4 << false << "P0:3:'a'|P0:3:''|P0:3:'b'";
    QTest::newRow("lone CR") << QByteArray("\r") << 4 << false << "P0:3:''|P0:3:''";
    QTest::newRow("form feed ends a line and breaks the page") << QByteArray("a\fb\r\nc") << 4 << false
                                                               << "P0:3:'a'|P0!:3:'b'|P0:3:'c'";
    QTest::newRow("TAB with SpacesInTab 0 splits the line") << QByteArray("a\tb") << 0 << false
                                                            << "P0:3:'a'|C:tab|C:3:'b'";
    QTest::newRow("leading TAB with SpacesInTab 0") << QByteArray("\tx\ny") << 0 << false
                                                    << "P0:tab|C:3:'x'|P0:3:'y'";
    QTest::newRow("TAB with SpacesInTab 4") << QByteArray("a\tb") << 4 << false << "P0:3:'a    b'";
    QTest::newRow("NUL becomes ?") << QByteArray("a\0b", 3) << 4 << false << "P0:3:'a?b'";
    QTest::newRow("single paragraph: new lines") << QByteArray("a\nb\nc") << 4 << true << "P0:3:'a'|L:3:'b'|L:3:'c'";
    QTest::newRow("Windows-1251") << QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2") << 4 << false
                                  << QString::fromUtf8("P0:3:'Привет'");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf\xd0\x9f\xd1\x80\xd0\xb8") << 4 << false
                                    << QString::fromUtf8("P0:3:'При'");
}

void TestRvModel::loadTextSplitting()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, spacesInTab);
    QFETCH(bool, single);
    QFETCH(QString, expected);
    richtext::RVDocument d;
    d.appendTextBytes(bytes, 3, 0, single, spacesInTab);
    QCOMPARE(summary(d), expected);
}

void TestRvModel::loadTextFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    richtext::RVDocument d;
    d.addText("keep", 0, 0, 0, 0);

    QVERIFY(!d.loadText(dir.filePath("missing.txt"), 0, 0, false, 0));
    // A FIFO would block the read for ever.
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.txt")).constData(), 0600), 0);
    QVERIFY(!d.loadText(dir.filePath("fifo.txt"), 0, 0, false, 0));
    QCOMPARE(summary(d), QStringLiteral("P0:0:'keep'"));

    QFile empty(dir.filePath("empty.txt"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(d.loadText(empty.fileName(), 0, 0, false, 0));
    QCOMPARE(summary(d), QStringLiteral("P0:0:'keep'"));

    // Lines are appended; the first loaded line starts its own paragraph.
    QFile lines(dir.filePath("lines.txt"));
    QVERIFY(lines.open(QIODevice::WriteOnly));
    lines.write("x\r\ny");
    lines.close();
    QVERIFY(d.loadText(lines.fileName(), 1, 0, true, 0));
    QCOMPARE(summary(d), QStringLiteral("P0:0:'keep'|P0:1:'x'|L:1:'y'"));

    // A file over the bound is refused whole.
    QVERIFY(!d.loadText(lines.fileName(), 1, 0, true, 0, 3));
    QCOMPARE(d.items.size(), 3);
}

void TestRvModel::windows1251MatchesIconv()
{
    const QString iconv = QStandardPaths::findExecutable("iconv");
    if (iconv.isEmpty())
        QSKIP("iconv is not installed");
    QByteArray all;
    for (int b = 0x20; b < 0x100; ++b) {
        if (b != 0x98) // unassigned in the code page
            all.append(char(b));
    }
    QProcess p;
    p.start(iconv, {"-f", "CP1251", "-t", "UTF-8"});
    QVERIFY(p.waitForStarted());
    p.write(all);
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    // Not UTF-8, so the document reader falls back to the code page.
    richtext::RVDocument d;
    d.appendTextBytes(all, 0, 0, true, 0);
    QString text;
    for (const richtext::RVItem &item : d.items)
        text += item.text;
    QCOMPARE(text, QString::fromUtf8(p.readAllStandardOutput()));
}

void TestRvModel::saveTextBytes_data()
{
    QTest::addColumn<DocOps>("ops");
    QTest::addColumn<int>("lineWidth");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("two paragraphs") << DocOps([](richtext::RVDocument &d) {
        d.addText("x", 0, 0, 0, 0);
        d.addText("y", 0, 0, 0, 0);
    }) << 1 << hex("FFFE 7800 0D000A00 7900");
    QTest::newRow("continued item has no separator") << DocOps([](richtext::RVDocument &d) {
        d.addText("x", 0, 0, 0, 0);
        d.addText("y", 0, -1, 0, 0);
    }) << 1 << hex("FFFE 7800 7900");
    QTest::newRow("break line as lineWidth hyphens") << DocOps([](richtext::RVDocument &d) {
        d.addText("a", 0, 0, 0, 0);
        d.addBreak();
        d.addText("b", 0, -1, 0, 0);
    }) << 3 << hex("FFFE 6100 0D000A00 2D002D002D00 0D000A00 6200");
    QTest::newRow("break line at least one hyphen") << DocOps([](richtext::RVDocument &d) { d.addBreak(); }) << 0
                                                    << hex("FFFE 2D00");
    QTest::newRow("empty document is the mark alone") << DocOps([](richtext::RVDocument &) {}) << 1 << hex("FFFE");
    QTest::newRow("empty paragraphs are bare line ends") << DocOps([](richtext::RVDocument &d) {
        d.addText("", 0, 0, 0, 0);
        d.addText("", 0, 0, 0, 0);
        d.addText("", 0, 0, 0, 0);
    }) << 1 << hex("FFFE 0D000A00 0D000A00");
    QTest::newRow("Cyrillic and a new line of one paragraph") << DocOps([](richtext::RVDocument &d) {
        d.appendTextBytes("\xdf\n\t", 0, 0, true, 0);
    }) << 1 << hex("FFFE 2F04 0D000A00 0900");
}

void TestRvModel::saveTextBytes()
{
    QFETCH(DocOps, ops);
    QFETCH(int, lineWidth);
    QFETCH(QByteArray, expected);
    richtext::RVDocument d;
    ops(d);
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    QVERIFY(d.saveTextW(path, lineWidth));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().toHex(' '), expected.toHex(' '));
}

void TestRvModel::saveTextFileErrors()
{
    QTemporaryDir dir;
    richtext::RVDocument d;
    d.addText("x", 0, 0, 0, 0);
    QVERIFY(!d.saveTextW(dir.filePath("no/such/folder/out.txt"), 1));
    // Overwrites a longer file whole.
    const QString path = dir.filePath("out.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(100, 'z'));
    f.close();
    QVERIFY(d.saveTextW(path, 1));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), hex("FFFE 7800"));
}

void TestRvModel::parseRvfItems_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");

    QTest::newRow("white space in direct text collapses, trimmed at paragraph ends")
        << QByteArray("<rvf version=\"1\"><p>\n   a   b\n  <t style=\"3\"> kw </t>\n  c\n</p></rvf>")
        << "P0:0:'a b '|C:3:' kw '|C:0:' c'";
    QTest::newRow("br starts a new line, trimmed around it")
        << QByteArray("<rvf><p para=\"4\">one\n  <br/>\n  two</p></rvf>") << "P4:0:'one'|L:0:'two'";
    QTest::newRow("empty lines between br") << QByteArray("<rvf><p>a<br/><br/>b<br/></p></rvf>")
                                            << "P0:0:'a'|L:0:''|L:0:'b'|L:0:''";
    QTest::newRow("empty p is a blank line of its style")
        << QByteArray("<rvf><p para=\"2\" style=\"1\"/><p>  \n </p></rvf>") << "P2:1:''|P0:0:''";
    QTest::newRow("p style applies to direct text") << QByteArray("<rvf><p style=\"3\">x<t>y</t></p></rvf>")
                                                    << "P0:3:'x'|C:0:'y'";
    QTest::newRow("t is literal, blank between t is an item")
        << QByteArray("<rvf><p><t>  a  </t> <t>b</t><t/></p></rvf>") << "P0:0:'  a  '|C:0:' '|C:0:'b'|C:0:''";
    QTest::newRow("checkpoints, inside a paragraph too, and the end one")
        << QByteArray("<rvf><cp name=\"A\" tag=\"5\"/><p>a<cp name=\"m\"/><t>b</t></p>"
                      "<cp name=\"B\" tag=\"-2\" event=\"1\"/></rvf>")
        << "P0:0:'a'|C:0:'b'|cp(A,5,0)@0|cp(m,0,0)@1|cp(B,-2,1)@-1";
    QTest::newRow("break line, tab and picture")
        << QByteArray("<rvf><p>a<tab/>b</p><hr/><p para=\"2\"><img src=\"p.png\" jump=\"1\" width=\" 10 \"/></p></rvf>")
        << "P0:0:'a'|C:tab|C:0:'b'|P0:hr|P2:img(p.png,1,10x0)";
    QTest::newRow("references, CDATA and comments")
        << QByteArray("<rvf><!-- c --><p>&lt;&amp;&#1071;<!-- c -->z<![CDATA[<q>]]></p></rvf>")
        << QString::fromUtf8("P0:0:'<&Яz<q>'");
    // A styled term wrapped across source lines reads as it would unwrapped;
    // blanks within a line stay exact.
    QTest::newRow("line break inside t is one blank")
        << QByteArray("<rvf><p><t style=\"3\">тактовой\n    частотой</t><t>a  \r\n\t b  c</t></p></rvf>")
        << QString::fromUtf8("P0:3:'тактовой частотой'|C:0:'a b  c'");
    QTest::newRow("no version is version 1") << QByteArray("<?xml version=\"1.0\"?>\n<rvf/>") << "";
}

void TestRvModel::parseRvfItems()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);
    richtext::RVDocument d;
    QString error;
    QVERIFY2(::parseRvf(xml, QString(), d, &error), qPrintable(error));
    QCOMPARE(summary(d), expected);
}

void TestRvModel::rvfErrorNamesLine()
{
    richtext::RVDocument d;
    d.addText("old", 0, 0, 0, 0);
    QString error;
    QVERIFY(!::parseRvf("<rvf>\n<p>x</p>\n<p><b/></p></rvf>", QString(), d, &error));
    QCOMPARE(error, QStringLiteral("line 3: unknown element <b> in <p>"));
    QCOMPARE(summary(d), QStringLiteral("P0:0:'old'"));
}

// The course check names each wrapped <t> with its line.
void TestRvModel::rvfNotesWrappedTerms()
{
    richtext::RVDocument d;
    QString error;
    QStringList notes;
    QVERIFY(::parseRvf("<rvf>\n<p><t>one line</t>\n<t>two\n lines</t></p>\n</rvf>", QString(), d,
                       &error, &notes));
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].startsWith("line 3: a line break inside <t>"), qPrintable(notes[0]));
}

void TestRvModel::rvfRoundTrip_data()
{
    QTest::addColumn<DocOps>("ops");
    QTest::newRow("awkward text") << DocOps([](richtext::RVDocument &d) {
        d.addText("  leading and trailing  ", 1, 2, 0, 0);
        d.addText("<&>\"'", 3, -1, 0, 0);
        d.addText("cr\rlf\ntab\tctl\x01", 0, -1, 0, 0);
        d.addText("", 0, -1, 0, 0);
        d.addText(QString::fromUtf8("Кириллица 𝄞"), 11, 4, 0, 0);
    });
    QTest::newRow("lines, tabs, rules, pictures, checkpoints") << DocOps([](richtext::RVDocument &d) {
        d.addCheckpoint(7, "at & \"start\"\n", true);
        d.addText("", 2, 1, 0, 0);
        d.appendTextBytes("a\tb\nc\n\nd", 0, 3, true, 0);
        d.addCheckpoint(8, "mid", false);
        d.addText("e", 4, -1, 0, 0);
        d.addBreak();
        d.addBreak();
        d.addPicture("sub/p.png", true, 12, 0, -1);
        d.addPicture("q.png", false, 0, 0, -1);
        d.addText("", 0, 0, 0, 0);
        d.addCheckpoint(9, "end", false);
    });
}

void TestRvModel::rvfRoundTrip()
{
    QFETCH(DocOps, ops);
    richtext::RVDocument d;
    ops(d);
    for (richtext::RVItem &it : d.items)
        it.pageBreakBefore = false; // not stored
    richtext::RVDocument back;
    QString error;
    QVERIFY2(::parseRvf(serializeRvf(d, QString()), QString(), back, &error), qPrintable(error));
    QCOMPARE(summary(back), summary(d));
}

void TestRvModel::rvfRoundTripOfFile()
{
    const QString src = QStringLiteral(TARVEL_TEST_DATA "/richtext/sample.rvf");
    richtext::RVDocument d;
    QVERIFY(loadRvf(src, d));
    QVERIFY(d.items.size() > 10);

    // Saved into another folder, the picture path still finds the picture.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("deeper"));
    const QString out = dir.filePath("deeper/copy.rvf");
    QVERIFY(saveRvf(out, d));
    richtext::RVDocument back;
    QString error;
    QVERIFY2(loadRvf(out, back, &error), qPrintable(error));

    QString expected = summary(d);
    QString actual = summary(back);
    int pictures = 0;
    for (qsizetype i = 0; i < d.items.size(); ++i) {
        if (d.items[i].kind != richtext::RVItem::Kind::Picture)
            continue;
        ++pictures;
        const QString a = QDir(d.baseDir).absoluteFilePath(d.items[i].picturePath);
        const QString b = QDir(back.baseDir).absoluteFilePath(back.items[i].picturePath);
        QCOMPARE(QFileInfo(b).canonicalFilePath(), QFileInfo(a).canonicalFilePath());
        expected.replace(d.items[i].picturePath, "PIC");
        actual.replace(back.items[i].picturePath, "PIC");
    }
    QCOMPARE(pictures, 1);
    QCOMPARE(actual, expected);

    QVERIFY(!saveRvf(dir.filePath("no/such/dir/x.rvf"), d));
}

QTEST_GUILESS_MAIN(TestRvModel)
#include "tst_rvmodel.moc"
