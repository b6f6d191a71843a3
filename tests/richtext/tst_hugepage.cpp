// A hostile page in the reader: within every per-paragraph bound, yet far
// more work than a page should be. The reader opens it or refuses it with
// its message, and soon; the watchdog only tells an answer from a hang
// (bench_layout has the figures).
#include "common/ReaderFixture.h"
#include "common/TestSupport.h"
#include "reader/PageCatalogue.h"
#include "richtext/RichView.h"
#include "richtext/RvfFile.h"

#include <QElapsedTimer>
#include <QTest>

class TestHugePage : public QObject
{
    Q_OBJECT
private slots:
    void hugePageOpensOrIsRefused();
};

void TestHugePage::hugePageOpensOrIsRefused()
{
    testsupport::ReaderFixture reader;
    QVERIFY(reader.open());
    // Lecture 1 becomes 20 paragraphs at the paragraph bound: 4 MB.
    const QByteArray words = QByteArray("word ").repeated(int(kRvfMaxParagraphChars / 5) - 1);
    QFile f(pages::pageEntry(1).document);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("<rvf version=\"1\">");
    for (int i = 0; i < 20; ++i)
        f.write("<p>" + words + "</p>");
    f.write("</rvf>");
    f.close();

    QElapsedTimer watchdog;
    watchdog.start();
    frmMain->OpenPage(1);
    frmMain->grab();
    frmMain->resize(800, 600);
    frmMain->grab();
    QVERIFY(frmMain->isVisible());
    QVERIFY2(reader.messages().isEmpty(), qPrintable(reader.messages().join('\n')));
    QVERIFY(parts::RichView1()->DocumentHeight() > 10000);
    QVERIFY2(watchdog.elapsed() < 30000, qPrintable(QString::number(watchdog.elapsed())));
}

QTEST_MAIN(TestHugePage)
#include "tst_hugepage.moc"
