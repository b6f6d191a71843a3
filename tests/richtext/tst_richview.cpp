// The document view: the operations the screens call, with their exact
// effects, on real layouts (offscreen platform).

#include "common/CourseFolder.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "richtext/RvfFile.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextImageFormat>
#include <QTextBlock>
#include <QTextLayout>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kData = QStringLiteral(TARVEL_TEST_DATA "/richtext");

struct ViewFixture
{
    explicit ViewFixture(TRVStyle::Sheet sheet, QSize size = QSize(400, 300)) : style(sheet)
    {
        view.setRVStyle(&style);
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    TRVStyle style;
    TRichView view;
};

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const richtext::RichViewError &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

class TestRichView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fontsResolveToLiberation_data();
    void fontsResolveToLiberation();
    void sheetsAsTabled();
    void spareTextStyleAndMissingStyles();
    void buildingOperations();
    void loadTextAndSaveThroughView();
    void checkpoints();
    void scrollTo();
    void longDocumentIsLaidOutOnce();
    void reformatAndResizeKeepTopItem();
    void linkNumbering();
    void clickRaisesJump();
    void selection();
    void hoverColours();
    void keyboard();
    void loadRvfBrokenInput_data();
    void loadRvfBrokenInput();
    void loadRvfRelativeAndUtf16();
    void twiceSizedPicturesOnScaledScreens();
    void picturesStayInsideTheCourse();
    void twiceSizedCompanionsStayInsideTheCourse();
    void figuresFitTheColumn();
    void picturesShareABudgetPerPage();
    void raisedAndLoweredTextHaveRoom();
    void onlyLinesWithRaisedTextAreTaller();
    void picturesAreKeptWhileTheirFilesStay();
    void layoutPaintsFramesBreaksAndMarks();
    void hugePagesOpenOrAreRefused_data();
    void hugePagesOpenOrAreRefused();

private:
    QTemporaryDir m_tmp;
    QString m_oversize;
    QString m_fifo;
    QString m_longParagraph;
};

void TestRichView::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    // Just over the bound, and well-formed: only its size is wrong.
    m_oversize = m_tmp.filePath("oversize.rvf");
    QFile f(m_oversize);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<rvf version=\"1\"><p>x</p><!--");
    f.write(QByteArray(int(kRvfMaxBytes), ' '));
    f.write("--></rvf>");

    // Would block open() for ever.
    m_fifo = m_tmp.filePath("fifo.rvf");
    QCOMPARE(::mkfifo(QFile::encodeName(m_fifo).constData(), 0600), 0);

    // One paragraph of ten million characters (words and blanks), under the
    // size bound: refused as it is read, rather than laid out for minutes.
    m_longParagraph = m_tmp.filePath("long-paragraph.rvf");
    QFile l(m_longParagraph);
    QVERIFY(l.open(QIODevice::WriteOnly));
    l.write("<rvf version=\"1\"><p>");
    l.write(QByteArray("слово ").repeated(10000000 / 6));
    l.write("</p></rvf>");
}

void TestRichView::fontsResolveToLiberation_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("family");
    QTest::newRow("Arial") << 0 << "Liberation Sans";
    QTest::newRow("Courier New") << 3 << "Liberation Mono";
    QTest::newRow("Times New Roman") << 5 << "Liberation Serif";
}

void TestRichView::fontsResolveToLiberation()
{
    QFETCH(int, style);
    QFETCH(QString, family);
    TRVStyle sheet(TRVStyle::Sheet::Reader);
    const QFont f = sheet.TextStyles(style).font();
    QCOMPARE(QFontInfo(f).family(), family);
    QCOMPARE(f.pointSize(), sheet.TextStyles(style).size);

    // Zoomed out to nothing, text still shows at 1 pt.
    sheet.TextStyles(style).size = -3;
    QCOMPARE(sheet.TextStyles(style).font().pointSize(), 1);
    // Symbol and Arial Unicode MS fall back to an installed face.
    QVERIFY(QFontDatabase::hasFamily(rvResolveFontFamily(sheet.TextStyles(6).fontName))
            || QFontInfo(sheet.TextStyles(6).font()).family().size() > 0);
}

void TestRichView::sheetsAsTabled()
{
    const QPalette pal = QGuiApplication::palette();
    TRVStyle reader(TRVStyle::Sheet::Reader);
    TRVStyle plain(TRVStyle::Sheet::Plain);

    QCOMPARE(reader.TextStyleCount(), 13);
    QCOMPARE(reader.ParaStyleCount(), 8);
    QCOMPARE(plain.TextStyleCount(), 6);
    QCOMPARE(plain.ParaStyleCount(), 2);
    QCOMPARE(reader.SpacesInTab, 4);
    QCOMPARE(plain.SpacesInTab, 0);
    QCOMPARE(reader.HoverColor, QColor("#000080"));
    QVERIFY(!plain.HoverColor.isValid());
    QCOMPARE(reader.DefUnicodeStyle, 11);
    QCOMPARE(reader.Color, pal.color(QPalette::Base));
    QCOMPARE(reader.SelColor, pal.color(QPalette::Highlight));

    QCOMPARE(reader.TextStyles(0).color, pal.color(QPalette::Text));
    const richtext::RVTextStyle &times = reader.TextStyles(5);
    QVERIFY(times.jump && times.underline);
    QCOMPARE(times.backColor, rvDesktopBackgroundColor());
    QCOMPARE(times.hoverColor, QColor("#FFFFCE"));
    QCOMPARE(times.hoverBackColor, QColor("#0000FF"));
    QCOMPARE(reader.TextStyles(7).vShiftPercent, -50);
    QCOMPARE(reader.TextStyles(8).vShiftPercent, 50);
    QVERIFY(reader.TextStyles(9).overline && reader.TextStyles(9).bold);
    QVERIFY(reader.TextStyles(12).jump && !reader.TextStyles(3).jump);

    QCOMPARE(reader.ParaStyles(0).firstIndent, 30);
    QCOMPARE(reader.ParaStyles(2).leftIndent, 50);
    QCOMPARE(reader.ParaStyles(4).alignment, Qt::AlignJustify);
    QCOMPARE(reader.ParaStyles(6).borderSides, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge);
    QCOMPARE(reader.ParaStyles(6).backOffsets, QMargins(2, 2, 2, 8));
    QCOMPARE(reader.ParaStyles(7).backColor, pal.color(QPalette::Button));
    QCOMPARE(plain.ParaStyles(1).alignment, Qt::AlignHCenter);
    QVERIFY(plain.TextStyles(4).jump && plain.TextStyles(5).jump);
}

void TestRichView::spareTextStyleAndMissingStyles()
{
    ViewFixture f(TRVStyle::Sheet::Reader);
    QList<int> sizes;
    for (int i = 0; i < f.style.TextStyleCount(); ++i)
        sizes << f.style.TextStyles(i).size;
    f.style.TextStyles(13).size = 99;
    f.style.TextStyles(-1).assignFont(QFont("Liberation Mono", 30), Qt::red);
    QCOMPARE(f.style.TextStyleCount(), 13);
    for (int i = 0; i < f.style.TextStyleCount(); ++i)
        QCOMPARE(f.style.TextStyles(i).size, sizes[i]);

    // A style number the sheet lacks shows as style 0: same layout, no link.
    auto heightWith = [&](int styleNo) {
        f.view.Clear();
        for (int i = 0; i < 20; ++i)
            f.view.AddNL(QStringLiteral("Строка текста номер %1").arg(i), styleNo, 0);
        f.view.Format();
        return f.view.DocumentHeight();
    };
    const int h0 = heightWith(0);
    QCOMPARE(heightWith(13), h0);
    QCOMPARE(f.view.linkAt(f.view.linkRect(0).center()), -1);
    QVERIFY(heightWith(1) > h0);

    // A size written through a shared sheet shows at the next Format.
    f.style.TextStyles(0).size = 20;
    QCOMPARE(f.view.DocumentHeight(), heightWith(1)); // not yet re-laid with style 0
    QVERIFY(heightWith(0) > h0);
}

void TestRichView::buildingOperations()
{
    ViewFixture reader(TRVStyle::Sheet::Reader);
    TRichView &v = reader.view;
    v.AddNL("a\tb\r\n", 2, -1);
    v.Add("c", 3);
    v.AddCenterLine("d", 0);
    v.AddNLTag("e", 4, 3, 77);
    v.AddBreak();
    v.Add("f", 0);
    const auto &items = v.document().items;
    QCOMPARE(v.GetLineCount(), 6);
    QCOMPARE(v.GetItemTextA(0), QStringLiteral("a    b\r\n"));
    QCOMPARE(items[0].start, richtext::RVItem::Start::NewParagraph);
    QCOMPARE(items[0].paraNo, 0);
    QCOMPARE(items[1].start, richtext::RVItem::Start::Continue);
    QCOMPARE(items[2].paraNo, 1);
    QCOMPARE(items[3].tag, 77);
    QCOMPARE(items[4].kind, richtext::RVItem::Kind::Break);
    QCOMPARE(items[5].start, richtext::RVItem::Start::NewParagraph);
    QCOMPARE(v.GetItemTextA(6), QString());
    QCOMPARE(v.GetItemTextA(-1), QString());

    // CR and LF are not line breaks: the item is one line of text.
    v.Clear();
    v.AddNL("x", 0, 0);
    v.Format();
    const int oneLine = v.DocumentHeight();
    v.Clear();
    v.AddNL("x\r\ny\rz\n", 0, 0);
    v.Format();
    QCOMPARE(v.DocumentHeight(), oneLine);

    ViewFixture plain(TRVStyle::Sheet::Plain);
    plain.view.AddNL("a\tb", 0, 0);
    QCOMPARE(plain.view.GetItemTextA(0), QStringLiteral("ab"));
    plain.view.Clear();
    QCOMPARE(plain.view.GetLineCount(), 0);
    QVERIFY(plain.view.GetFirstCheckpoint() == nullptr);
}

void TestRichView::loadTextAndSaveThroughView()
{
    const QString txt = m_tmp.filePath("lines.txt");
    QFile f(txt);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("one\ttwo\r\nthree");
    f.close();

    ViewFixture plain(TRVStyle::Sheet::Plain);
    QVERIFY(!plain.view.LoadText(m_tmp.filePath("missing.txt"), 0, 0, true));
    QCOMPARE(plain.view.GetLineCount(), 0);
    QVERIFY(plain.view.LoadText(txt, 0, 0, true));
    QCOMPARE(plain.view.GetLineCount(), 4); // one, tab, two, three
    QCOMPARE(plain.view.GetItemTextA(3), QStringLiteral("three"));
    plain.view.Format();
    QVERIFY(plain.view.DocumentHeight() > 0);

    const QString out = m_tmp.filePath("out.txt");
    QVERIFY(plain.view.SaveTextW(out, 1));
    QFile o(out);
    QVERIFY(o.open(QIODevice::ReadOnly));
    QCOMPARE(o.readAll(), QByteArray("\xff\xfeo\0n\0e\0\t\0t\0w\0o\0\r\0\n\0t\0h\0r\0e\0e\0", 30));
    QVERIFY(!plain.view.SaveTextW(m_tmp.filePath("none/out.txt"), 1));

    ViewFixture reader(TRVStyle::Sheet::Reader);
    QVERIFY(reader.view.LoadText(txt, 0, 0, false));
    QCOMPARE(reader.view.GetLineCount(), 2);
    QCOMPARE(reader.view.GetItemTextA(0), QStringLiteral("one    two"));
}

void TestRichView::checkpoints()
{
    // Shorter than the document, so Format brings in the vertical bar.
    ViewFixture f(TRVStyle::Sheet::Reader, QSize(300, 150));
    TRichView &v = f.view;
    QVERIFY(v.LoadRVF(kData + "/sample.rvf"));

    const TRichView::Checkpoint first = v.GetFirstCheckpoint();
    QVERIFY(first);
    int x = -1, y = -1;
    QCOMPARE(errorOf([&] { v.GetCheckpointXY(first, x, y); }),
             QStringLiteral("RichView must be formatted for this operation"));
    v.Format();

    QStringList names;
    QList<int> tags, ys;
    QList<bool> events;
    for (TRichView::Checkpoint cp = v.GetFirstCheckpoint(); cp; cp = v.GetNextCheckpoint(cp)) {
        int tag = 0;
        QString name;
        bool ev = false;
        v.GetCheckpointInfo(cp, tag, name, ev);
        names << name;
        tags << tag;
        events << ev;
        v.GetCheckpointXY(cp, x, y);
        ys << y;
    }
    QCOMPARE(names, QStringList({QString::fromUtf8("Начало"), QString::fromUtf8("Раздел 2"), QString::fromUtf8("Конец")}));
    QCOMPARE(tags, QList<int>({1, 2, 99}));
    QCOMPARE(events, QList<bool>({false, true, false}));
    QCOMPARE(ys[0], 5); // the first line, under the top margin
    QVERIFY(ys[1] > ys[0]);
    QCOMPARE(ys[2], v.DocumentHeight()); // the end checkpoint
    // Positions read right after Format already allow for the scroll bar.
    QVERIFY(v.verticalScrollBar()->isVisible());
    QCoreApplication::processEvents();
    v.Format();
    int y1 = 0;
    v.GetCheckpointXY(v.GetNextCheckpoint(v.GetFirstCheckpoint()), x, y1);
    QCOMPARE(y1, ys[1]);
    QCOMPARE(v.DocumentHeight(), ys[2]);
    v.GetCheckpointXY(&v.document().checkpoints.back(), x, y);
    QCOMPARE(x, 0);

    // The second checkpoint's item starts the line "Строка абзаца": its line
    // is below the link "Ссылка ноль".
    QVERIFY(ys[1] > v.linkRect(0).bottom() + v.scrollPosition());

    QCOMPARE(errorOf([&] { v.GetNextCheckpoint(nullptr); }), QStringLiteral("Parameter can't be NIL"));
    int tag = 0;
    QString name;
    bool ev = false;
    QCOMPARE(errorOf([&] { v.GetCheckpointInfo(nullptr, tag, name, ev); }), QStringLiteral("Parameter can't be NIL"));
    richtext::RVCheckpoint foreign;
    QVERIFY(v.GetNextCheckpoint(&foreign) == nullptr);

    v.AddNL("more", 0, 0);
    QVERIFY(!v.isFormatted());
    QCOMPARE(errorOf([&] { v.GetCheckpointXY(first, x, y); }),
             QStringLiteral("RichView must be formatted for this operation"));
}

void TestRichView::scrollTo()
{
    ViewFixture f(TRVStyle::Sheet::Plain, QSize(300, 200));
    TRichView &v = f.view;
    for (int i = 0; i < 200; ++i)
        v.AddNL(QStringLiteral("Line %1").arg(i), 0, 0);
    v.Format();
    QCoreApplication::processEvents(); // the bars show and hide through queued calls
    const int max = v.verticalScrollBar()->maximum();
    QCOMPARE(max, v.DocumentHeight() - v.viewport()->height());
    // The vertical bar took its width from the text; nothing is left to scroll sideways.
    QVERIFY(v.verticalScrollBar()->isVisible());
    QCOMPARE(v.horizontalScrollBar()->maximum(), 0);
    QVERIFY(!v.horizontalScrollBar()->isVisible());

    v.ScrollTo(57);
    QCOMPARE(v.scrollPosition(), 50);
    v.ScrollTo(9);
    QCOMPARE(v.scrollPosition(), 0);
    v.ScrollTo(-5);
    QCOMPARE(v.scrollPosition(), 0);
    v.ScrollTo(1000000);
    QCOMPARE(v.scrollPosition(), max);

    // Format keeps the scroll position.
    v.ScrollTo(120);
    v.Format();
    QCOMPARE(v.scrollPosition(), 120);
}

// A long document that brings the vertical bar in is laid out once, at the
// width the bar leaves; a short one after it gets the full width back.
void TestRichView::longDocumentIsLaidOutOnce()
{
    ViewFixture f(TRVStyle::Sheet::Plain, QSize(300, 200));
    TRichView &v = f.view;
    const auto fill = [&v](int lines) {
        v.Clear();
        for (int i = 0; i < lines; ++i)
            v.AddNL(QStringLiteral("Строка %1, длинная настолько, что переносится по словам").arg(i), 0, 0);
    };
    const auto fullWidth = [&v] { return qreal(v.viewport()->width() - 10); }; // less the margins
    fill(1);
    v.Format();
    QCoreApplication::processEvents();
    QVERIFY(!v.verticalScrollBar()->isVisible());

    fill(200);
    const quint64 before = v.textLayout()->layoutCount();
    v.Format();
    QCoreApplication::processEvents();
    QVERIFY(v.verticalScrollBar()->isVisible());
    QCOMPARE(v.textLayout()->layoutCount() - before, quint64(1));
    QCOMPARE(v.textLayout()->width(), fullWidth());
    QCOMPARE(v.verticalScrollBar()->maximum(), v.DocumentHeight() - v.viewport()->height());

    fill(1);
    v.Format();
    QCoreApplication::processEvents();
    QVERIFY(!v.verticalScrollBar()->isVisible());
    QCOMPARE(v.textLayout()->width(), fullWidth());
}

void TestRichView::reformatAndResizeKeepTopItem()
{
    const QString path = m_tmp.filePath("long.rvf");
    {
        QByteArray xml = "<rvf>";
        for (int i = 0; i < 120; ++i) {
            if (i == 60)
                xml += "<cp name=\"mark\"/>";
            xml += "<p>Paragraph " + QByteArray::number(i) + " with some words to wrap at a narrow width</p>";
        }
        xml += "</rvf>";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(xml);
    }
    ViewFixture f(TRVStyle::Sheet::Plain, QSize(500, 200));
    TRichView &v = f.view;
    QVERIFY(v.LoadRVF(path));
    v.Format();
    auto markY = [&] {
        int x = 0, y = 0;
        v.GetCheckpointXY(v.GetFirstCheckpoint(), x, y);
        return y;
    };
    // The marked paragraph at the very top.
    v.verticalScrollBar()->setValue(markY());
    QCOMPARE(v.scrollPosition(), markY());

    f.style.TextStyles(0).size = 16;
    v.Reformat();
    QCOMPARE(v.scrollPosition(), markY());

    // Narrowing the view lays it out again at once, keeping the top item.
    const int before = v.DocumentHeight();
    v.resize(250, 200);
    QVERIFY(v.isFormatted());
    QVERIFY(v.DocumentHeight() > before);
    QCOMPARE(v.scrollPosition(), markY());

    // Format keeps the pixel position instead.
    const int y = v.scrollPosition();
    f.style.TextStyles(0).size = 10;
    v.Format();
    QCOMPARE(v.scrollPosition(), std::min(y, v.verticalScrollBar()->maximum()));
}

void TestRichView::linkNumbering()
{
    ViewFixture f(TRVStyle::Sheet::Reader, QSize(200, 400));
    TRichView &v = f.view;
    QString longLink;
    for (int i = 0; i < 12; ++i)
        longLink += QStringLiteral("ссылка ");
    v.AddNL(longLink, 4, 0);          // link 0, wrapped
    v.AddNL("plain text", 0, 0);
    v.AddNLTag("second", 12, 1, 555); // link 1, whatever its tag
    v.Format();

    const QRect r0 = v.linkRect(0);
    const QRect r1 = v.linkRect(1);
    QVERIFY(!r0.isEmpty() && !r1.isEmpty());
    QCOMPARE(v.linkAt(r0.center()), 0);
    // A point on the wrapped link's second line still is link 0.
    QCOMPARE(v.linkAt(QPoint(30, r0.bottom() + 4)), 0);
    QCOMPARE(v.linkAt(r1.center()), 1);
    QVERIFY(r1.top() > r0.bottom() + r0.height()); // link 0 took two lines or more
    QVERIFY(v.linkRect(2).isEmpty());
    // Beside the text of a link is not the link.
    QCOMPARE(v.linkAt(QPoint(r1.right() + 20, r1.center().y())), -1);

    // Hypertext pictures take their place in the count. The fixture folder
    // stands for the course folder, where pictures are read from.
    QVERIFY(v.LoadRVF(kData + "/sample.rvf"));
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(kData));
    v.Format();
    QDir::setCurrent(old);
    const QRect pic = v.linkRect(1);
    QCOMPARE(pic.size(), QSize(24, 16));
    QCOMPARE(v.linkAt(pic.center()), 1);
    v.ScrollTo(v.linkRect(3).top() + v.scrollPosition() - 20);
    QCOMPARE(v.linkAt(v.linkRect(2).center()), 2);
    QCOMPARE(v.linkAt(v.linkRect(3).center()), 3);
}

void TestRichView::clickRaisesJump()
{
    ViewFixture f(TRVStyle::Sheet::Plain);
    TRichView &v = f.view;
    v.AddNL("first link", 4, 0);
    v.AddNL("plain", 0, 0);
    v.AddNL("second link", 5, 0);
    v.Format();
    QSignalSpy spy(&v, &TRichView::jump);
    QWidget *vp = v.viewport();

    QTest::mouseClick(vp, Qt::LeftButton, {}, v.linkRect(1).center());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 1);

    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(10, v.linkRect(1).top() - 8)); // "plain"
    QCOMPARE(spy.size(), 0);

    // Pressed on one link, released on another: nothing.
    sendMouse(vp, QEvent::MouseButtonPress, v.linkRect(0).center(), Qt::LeftButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseButtonRelease, v.linkRect(1).center(), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(spy.size(), 0);

    // Dragging over a link selects text, and a selection makes no jump.
    const QRect r = v.linkRect(0);
    sendMouse(vp, QEvent::MouseButtonPress, QPoint(r.left() + 2, r.center().y()), Qt::LeftButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, QPoint(r.right() - 2, r.center().y()), Qt::NoButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseButtonRelease, QPoint(r.right() - 2, r.center().y()), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(spy.size(), 0);
    QVERIFY(!v.selectedText().isEmpty());

    // Where selection is off, the same drag is a click.
    v.setSelectionEnabled(false);
    sendMouse(vp, QEvent::MouseButtonPress, QPoint(r.left() + 2, r.center().y()), Qt::LeftButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, QPoint(r.right() - 2, r.center().y()), Qt::NoButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseButtonRelease, QPoint(r.right() - 2, r.center().y()), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);

    // The handler may replace and re-lay the document it was raised from.
    connect(&v, &TRichView::jump, &v, [&v](int) {
        v.Clear();
        QVERIFY(v.LoadRVF(kData + "/sample.rvf"));
        v.Format();
    });
    QTest::mouseClick(vp, Qt::LeftButton, {}, v.linkRect(1).center());
    QCOMPARE(spy.size(), 1);
    QVERIFY(v.GetLineCount() > 10);
}

void TestRichView::selection()
{
    ViewFixture f(TRVStyle::Sheet::Plain);
    TRichView &v = f.view;
    v.AddNL("alpha beta gamma", 0, 0);
    v.Format();
    QWidget *vp = v.viewport();
    // Find "beta" by walking along the line.
    QPoint at;
    for (int x = 5; x < 300 && at.isNull(); x += 2) {
        QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(x, 12));
        if (v.selectedText() == QLatin1String("beta"))
            at = QPoint(x, 12);
    }
    QVERIFY(!at.isNull());
    // A right click clears the selection.
    QTest::mouseClick(vp, Qt::RightButton, {}, at);
    QVERIFY(v.selectedText().isEmpty());

    QTest::keyClick(&v, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(v.selectedText(), QStringLiteral("alpha beta gamma"));
}

void TestRichView::hoverColours()
{
    ViewFixture f(TRVStyle::Sheet::Reader);
    TRichView &v = f.view;
    v.AddNL("plain ", 0, 0);
    v.Add("Colored Jump Times", 5);
    v.Format();
    const QRect r = v.linkRect(0);
    QVERIFY(!r.isEmpty());
    auto bluePixels = [&] {
        const QImage img = v.viewport()->grab().toImage();
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += img.pixelColor(x, y) == QColor(0x00, 0x00, 0xFF);
        return n;
    };
    QCOMPARE(bluePixels(), 0);
    QCOMPARE(v.viewport()->cursor().shape(), Qt::IBeamCursor);

    sendMouse(v.viewport(), QEvent::MouseMove, r.center(), Qt::NoButton, Qt::NoButton);
    QCOMPARE(v.viewport()->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(bluePixels() > r.width() * r.height() / 3);

    sendMouse(v.viewport(), QEvent::MouseMove, QPoint(r.right() + 40, r.center().y()), Qt::NoButton, Qt::NoButton);
    QCOMPARE(bluePixels(), 0);
}

void TestRichView::keyboard()
{
    ViewFixture f(TRVStyle::Sheet::Reader, QSize(300, 200));
    TRichView &v = f.view;
    v.AddNL("link", 4, 0);
    for (int i = 0; i < 100; ++i)
        v.AddNL(QStringLiteral("Line %1").arg(i), 0, 0);
    v.Format();
    v.setFocus();
    // The line keys move the reading caret; the view follows only when the
    // caret would leave it. Ctrl with a line key scrolls as before.
    QCOMPARE(v.caretPosition(), 0);
    QTest::keyClick(&v, Qt::Key_Down);
    QCOMPARE(v.caretPosition(), 5); // "link" and its paragraph end
    QCOMPARE(v.scrollPosition(), 0);
    QTest::keyClick(&v, Qt::Key_End);
    QCOMPARE(v.caretPosition(), 11); // the end of "Line 0"
    QTest::keyClick(&v, Qt::Key_Home);
    QCOMPARE(v.caretPosition(), 5);
    QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(v.caretPosition(), 10); // the next word, "0"
    QTest::keyClick(&v, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(v.scrollPosition(), 10);
    QCOMPARE(v.caretPosition(), 10);
    QTest::keyClick(&v, Qt::Key_PageDown);
    QCOMPARE(v.scrollPosition(), 10 + v.viewport()->height());
    // The caret went a page down with the view.
    QVERIFY(v.caretPosition() > 10);
    const int paged = v.textTop(v.textLayout()->itemAtPosition(v.caretPosition()), 0) - v.scrollPosition();
    QVERIFY2(paged >= 0 && paged < v.viewport()->height(), qPrintable(QString::number(paged)));
    QTest::keyClick(&v, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(v.scrollPosition(), v.verticalScrollBar()->maximum());
    QCOMPARE(v.caretPosition(), v.textLayout()->characterCount() - 1);
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(v.scrollPosition(), 0);
    QCOMPARE(v.caretPosition(), 0);
    // Down through the page: the view scrolls so the caret stays in sight.
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(&v, Qt::Key_Down);
    QVERIFY(v.scrollPosition() > 0);
    const int top = v.textTop(30, 0) - v.scrollPosition();
    QVERIFY2(top >= 0 && top < v.viewport()->height(), qPrintable(QString::number(top)));
    QCOMPARE(v.caretPosition(), v.textLayout()->itemPosition(30));

    QSignalSpy spy(&v, &TRichView::jump);
    // Ctrl+Home puts the caret in the link at the top: Enter follows it.
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(v.focusedLink(), 0);
    QTest::keyClick(&v, Qt::Key_Return);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
    // Off the link Enter does nothing.
    QTest::keyClick(&v, Qt::Key_Down);
    QCOMPARE(v.focusedLink(), -1);
    QTest::keyClick(&v, Qt::Key_Return);
    QCOMPARE(spy.size(), 0);
    // Tab into the page walks its links from the first.
    v.clearFocus();
    v.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&v, Qt::Key_Tab);
    QTest::keyClick(&v, Qt::Key_Return);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
}

void TestRichView::loadRvfBrokenInput_data()
{
    QTest::addColumn<QString>("path");
    const QStringList files = QDir(kData + "/broken").entryList({"*.rvf"}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 20);
    for (const QString &name : files)
        QTest::newRow(qPrintable(name)) << kData + "/broken/" + name;
    QTest::newRow("missing file") << kData + "/broken/no-such-file.rvf";
    QTest::newRow("a folder") << kData + "/broken";
    QTest::newRow("over 16 MiB") << m_oversize;
    QTest::newRow("a FIFO") << m_fifo;
    QTest::newRow("a paragraph of ten million characters") << m_longParagraph;
}

void TestRichView::loadRvfBrokenInput()
{
    QFETCH(QString, path);
    richtext::RVDocument doc;
    doc.addText("untouched", 0, 0, 0, 0);
    QString error;
    QVERIFY(!loadRvf(path, doc, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(doc.items.size(), 1);

    // The view keeps showing its previous document.
    ViewFixture f(TRVStyle::Sheet::Reader);
    QVERIFY(f.view.LoadRVF(kData + "/sample.rvf"));
    f.view.Format();
    const int lines = f.view.GetLineCount();
    const int height = f.view.DocumentHeight();
    QVERIFY(!f.view.LoadRVF(path));
    QCOMPARE(f.view.GetLineCount(), lines);
    QVERIFY(f.view.isFormatted());
    f.view.Format();
    QCOMPARE(f.view.DocumentHeight(), height);
}

void TestRichView::loadRvfRelativeAndUtf16()
{
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(kData));
    ViewFixture f(TRVStyle::Sheet::Reader);
    const bool loaded = f.view.LoadRVF("sample.rvf");
    const bool utf16 = loaded && f.view.LoadRVF("utf16.rvf");
    QDir::setCurrent(old);
    QVERIFY(loaded);
    QVERIFY(utf16);
    QCOMPARE(f.view.GetLineCount(), 1);
    QCOMPARE(f.view.GetItemTextA(0), QStringLiteral("x"));
}

void TestRichView::twiceSizedPicturesOnScaledScreens()
{
    // fig.png is 30 x 20; fig@2x.png beside it is 60 x 40 and red, to tell them apart.
    testsupport::CourseFolder dir;
    // Pictures are read only inside the course folder, the current directory.
    QVERIFY(dir.enter());
    QImage one(30, 20, QImage::Format_RGB32);
    one.fill(Qt::blue);
    QImage two(60, 40, QImage::Format_RGB32);
    two.fill(Qt::red);
    QVERIFY(one.save(dir.filePath("fig.png")));
    QVERIFY(two.save(dir.filePath("fig@2x.png")));
    richtext::RVDocument doc;
    doc.baseDir = dir.path();
    richtext::RVItem picture;
    picture.kind = richtext::RVItem::Kind::Picture;
    picture.picturePath = QStringLiteral("fig.png");
    doc.appendItem(picture);
    const TRVStyle sheet(TRVStyle::Sheet::Reader);

    for (const qreal ratio : {1.0, 2.0}) {
        richtext::RichLayout layout;
        layout.setDevicePixelRatio(ratio);
        layout.build(doc, sheet, 400);
        layout.layOut(400);
        const QImage shown = layout.document()
                                 .resource(QTextDocument::ImageResource, QUrl(QStringLiteral("rvimg:0")))
                                 .value<QImage>();
        QCOMPARE(shown.pixelColor(0, 0), ratio > 1 ? QColor(Qt::red) : QColor(Qt::blue));
        // Either way the picture takes the room of the 1x one.
        QCOMPARE(shown.deviceIndependentSize(), QSizeF(30, 20));
        QVERIFY(layout.document().size().height() < 40); // not laid out at the 2x size
    }
}

namespace {

QImage pictureOf(const richtext::RichLayout &layout, int item)
{
    return layout.document().resource(QTextDocument::ImageResource, QUrl(QStringLiteral("rvimg:%1").arg(item)))
        .value<QImage>();
}

// Lays a document out with the course folder as the current directory (it
// stays so until the folder goes).
void buildIn(testsupport::CourseFolder &course, richtext::RichLayout &layout, const richtext::RVDocument &doc)
{
    QVERIFY(course.enter());
    TRVStyle style(TRVStyle::Sheet::Reader);
    layout.build(doc, style, 400);
}

} // namespace

// A document shows only pictures of its course: an absolute path, a path
// out of the folder, a link out of it and a FIFO inside it are all shown as
// missing pictures, and nothing outside is read.
void TestRichView::picturesStayInsideTheCourse()
{
    QTemporaryDir outside;
    testsupport::CourseFolder course;
    QImage red(6, 4, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(outside.filePath("secret.png")));
    QVERIFY(QDir(course.path()).mkpath("lections"));
    QVERIFY(QDir(course.path()).mkpath("pictures"));
    QVERIFY(red.save(course.filePath("pictures/own.png")));
    QVERIFY(QFile::link(outside.filePath("secret.png"), course.filePath("pictures/link.png")));
    QCOMPARE(::mkfifo(QFile::encodeName(course.filePath("pictures/fifo.png")).constData(), 0600), 0);
    // From lections/: up to the course folder, then out of it.
    const QString escape = "../" + QDir(course.path()).relativeFilePath(outside.filePath("secret.png"));

    struct Case
    {
        QString src;
        bool shown;
    };
    const QList<Case> cases = {
        {"../pictures/own.png", true},
        {outside.filePath("secret.png"), false},
        {escape, false},
        {"../pictures/link.png", false},
        {"../pictures/fifo.png", false},
        {"/proc/self/environ", false},
    };
    richtext::RVDocument doc;
    doc.baseDir = course.filePath("lections");
    for (const Case &c : cases)
        doc.addPicture(c.src, false, 0, 0, -1);
    richtext::RichLayout layout;
    buildIn(course, layout, doc);
    for (int i = 0; i < cases.size(); ++i) {
        const QImage shown = pictureOf(layout, i);
        QVERIFY2(!shown.isNull(), qPrintable(cases[i].src));
        QVERIFY2((shown.size() == red.size() && shown.pixelColor(0, 0) == QColor(Qt::red)) == cases[i].shown,
                 qPrintable(cases[i].src));
    }
}

// On a scaled screen the @2x companion is held to the same rules as the
// picture: a link out of the course or a FIFO in its place is not read (the
// 1x picture is shown, without waiting), and a refused picture keeps its
// place with what it shows written in the frame.
void TestRichView::twiceSizedCompanionsStayInsideTheCourse()
{
    QTemporaryDir outside;
    testsupport::CourseFolder course;
    QImage red(60, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage blue(30, 20, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QVERIFY(red.save(outside.filePath("secret.png")));
    QVERIFY(blue.save(course.filePath("link.png")));
    QVERIFY(blue.save(course.filePath("fifo.png")));
    QVERIFY(QFile::link(outside.filePath("secret.png"), course.filePath("link@2x.png")));
    QCOMPARE(::mkfifo(QFile::encodeName(course.filePath("fifo@2x.png")).constData(), 0600), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(course.filePath("gone.png")).constData(), 0600), 0);

    richtext::RVDocument doc;
    doc.baseDir = course.path();
    doc.addPicture(QStringLiteral("link.png"), false, 0, 0, -1);
    doc.addPicture(QStringLiteral("fifo.png"), false, 0, 0, -1);
    doc.addPicture(QStringLiteral("gone.png"), false, 0, 0, -1);
    doc.items.last().pictureAlt = QStringLiteral("Схема сумматора");
    doc.items.last().pictureWidth = 160;
    doc.items.last().pictureHeight = 60;
    richtext::RichLayout layout;
    layout.setDevicePixelRatio(2);
    buildIn(course, layout, doc);
    for (int i = 0; i < 2; ++i) {
        const QImage shown = pictureOf(layout, i);
        QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::blue));
        QCOMPARE(shown.deviceIndependentSize(), QSizeF(30, 20));
    }
    // The refused picture: its frame, with the words inside it.
    const QImage frame = pictureOf(layout, 2).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(frame.size(), QSize(160, 60));
    int inked = 0;
    for (int y = 8; y < 52; ++y)
        for (int x = 8; x < 152; ++x)
            inked += qAlpha(frame.pixel(x, y)) > 0;
    QVERIFY(inked > 40);
}

namespace {

// The size each picture of a laid-out document takes, in document order.
QList<QSizeF> pictureSizes(const richtext::RichLayout &layout)
{
    QList<QSizeF> sizes;
    for (QTextBlock b = layout.document().begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (const QTextImageFormat f = it.fragment().charFormat().toImageFormat(); f.isValid())
                sizes << QSizeF(f.width(), f.height());
    return sizes;
}

} // namespace

// A figure wider than the text column (a narrow window, the menu out) is
// shown at the column's width with its shape kept, and grows back when the
// column widens: no horizontal scrolling for a figure.
void TestRichView::figuresFitTheColumn()
{
    testsupport::CourseFolder course;
    QImage wide(600, 300, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    QVERIFY(wide.save(course.filePath("wide.png")));
    QImage twice(1200, 600, QImage::Format_RGB32);
    twice.fill(Qt::darkGreen);
    QVERIFY(twice.save(course.filePath("wide@2x.png")));
    richtext::RVDocument doc;
    doc.baseDir = course.path();
    doc.addPicture(QStringLiteral("wide.png"), false, 0, 0, 0);    // "Left": a first-line indent of 30
    doc.addPicture(QStringLiteral("wide.png"), false, 800, 100, 1); // "Left Indent": 10, a size of its own
    doc.addPicture(QStringLiteral("wide.png"), false, 0, 0, 1);

    for (const qreal ratio : {1.0, 2.0}) {
        richtext::RichLayout layout;
        layout.setDevicePixelRatio(ratio);
        buildIn(course, layout, doc); // at 400
        layout.layOut(400);
        QCOMPARE(pictureSizes(layout), (QList<QSizeF>{{370, 185}, {390, 48.75}, {390, 195}}));
        QVERIFY(layout.contentWidth() <= 400);
        layout.layOut(200);
        QCOMPARE(pictureSizes(layout), (QList<QSizeF>{{170, 85}, {190, 23.75}, {190, 95}}));
        QVERIFY(layout.contentWidth() <= 200);
        layout.layOut(1000);
        QCOMPARE(pictureSizes(layout), (QList<QSizeF>{{600, 300}, {800, 100}, {600, 300}}));
    }

    // In the view: no horizontal scroll range at a narrow width.
    ViewFixture fx(TRVStyle::Sheet::Reader, QSize(360, 300));
    const QString file = course.filePath("page.rvf");
    QVERIFY(saveRvf(file, doc));
    QVERIFY(fx.view.LoadRVF(file));
    fx.view.Format();
    QCOMPARE(fx.view.horizontalScrollBar()->maximum(), 0);
    fx.view.resize(260, 300);
    QCOMPARE(fx.view.horizontalScrollBar()->maximum(), 0);
}

// Pictures past the page's budget (counted per reference: each is drawn on
// its own) show as missing; the next page has its budget afresh.
void TestRichView::picturesShareABudgetPerPage()
{
    testsupport::CourseFolder course;
    const int side = 4096; // 64 MiB decoded
    const int fit = int(richtext::RichLayout::kMaxPageBytes / (qint64(side) * side * 4));
    QImage big(side, side, QImage::Format_ARGB32);
    big.fill(Qt::blue);
    QVERIFY(big.save(course.filePath("big.png")));
    richtext::RVDocument doc;
    doc.baseDir = course.path();
    for (int i = 0; i <= fit; ++i)
        doc.addPicture("big.png", false, 0, 0, -1);
    richtext::RichLayout layout;
    for (int page = 0; page < 2; ++page) {
        buildIn(course, layout, doc);
        for (int i = 0; i < fit; ++i)
            QCOMPARE(pictureOf(layout, i).size(), QSize(side, side));
        QVERIFY(pictureOf(layout, fit).width() < side);
    }
}

// "N = 2^i": the exponent clears the line above and its own frame, and the
// index of "x_1" clears the line below.
void TestRichView::raisedAndLoweredTextHaveRoom()
{
    TRVStyle sheet(TRVStyle::Sheet::Reader);
    richtext::RVDocument doc;
    doc.addText(QStringLiteral("Строка над формулой"), 0, 1, 0, 0);
    doc.addText(QStringLiteral("N = 2"), 0, 1, 0, 0);
    doc.addText(QStringLiteral("i"), 8, -1, 0, 0);
    doc.addText(QStringLiteral(" и x"), 0, -1, 0, 0);
    doc.addText(QStringLiteral("1"), 7, -1, 0, 0);
    doc.addText(QStringLiteral("Строка под формулой"), 0, 1, 0, 0);
    richtext::RichLayout layout;
    layout.build(doc, sheet, 400);
    layout.layOut(400);
    const auto lineTop = [&](int block) {
        const QTextLayout *tl = layout.document().findBlockByNumber(block).layout();
        return tl->position().y() + tl->lineAt(0).y();
    };
    const auto lineOf = [&](int block) { return layout.document().findBlockByNumber(block).layout()->lineAt(0); };
    const QFontMetricsF sup(sheet.TextStyles(8).font());
    const QFontMetricsF sub(sheet.TextStyles(7).font());
    const qreal baseline = lineTop(1) + lineOf(1).ascent();
    const qreal exponentTop = baseline - sup.height() * 0.5 - sup.ascent();
    const qreal indexBottom = baseline + sub.height() * 0.5 + sub.descent();
    const qreal lineAboveBottom = lineTop(0) + lineOf(0).height();
    QVERIFY2(exponentTop >= lineAboveBottom,
             qPrintable(QStringLiteral("%1 < %2").arg(exponentTop).arg(lineAboveBottom)));
    QVERIFY2(indexBottom <= lineTop(2),
             qPrintable(QStringLiteral("%1 > %2").arg(indexBottom).arg(lineTop(2))));
}

// A page opened again uses the pictures already decoded, unless a file has
// changed since.
// One exponent in a long paragraph makes room on its own line; the other
// lines keep the pitch of a paragraph without one. Items keep their text
// positions.
void TestRichView::onlyLinesWithRaisedTextAreTaller()
{
    TRVStyle sheet(TRVStyle::Sheet::Reader);
    QString words;
    for (int i = 0; i < 60; ++i)
        words += QStringLiteral("слово ");
    richtext::RVDocument plain;
    plain.addText(words + words, 0, 1, 0, 0);
    richtext::RVDocument shifted;
    shifted.addText(words + QStringLiteral("2"), 0, 1, 0, 0);
    shifted.addText(QStringLiteral("10"), 8, -1, 0, 0);
    shifted.addText(QStringLiteral(" и x"), 0, -1, 0, 0);
    shifted.addText(QStringLiteral("1"), 7, -1, 0, 0);
    shifted.addText(QStringLiteral(" ") + words, 0, -1, 0, 0);
    richtext::RichLayout a, b;
    a.build(plain, sheet, 300);
    a.layOut(300);
    b.build(shifted, sheet, 300);
    b.layOut(300);
    const QTextLayout *pa = a.document().begin().layout();
    const QTextLayout *pb = b.document().begin().layout();
    const qreal pitch = pa->lineAt(1).height();
    QVERIFY(pb->lineCount() > 4);
    const QTextLine withShift = pb->lineForTextPosition(b.itemPosition(1));
    QCOMPARE(pb->lineForTextPosition(b.itemPosition(3)).lineNumber(), withShift.lineNumber());
    QVERIFY(withShift.height() > pitch);
    for (int i = 0; i < pb->lineCount(); ++i)
        if (i != withShift.lineNumber())
            QVERIFY2(qFuzzyCompare(pb->lineAt(i).height(), pitch),
                     qPrintable(QStringLiteral("line %1: %2 against %3").arg(i).arg(pb->lineAt(i).height()).arg(pitch)));
    // The items' text is where it was.
    QCOMPARE(b.itemCursor(1).selectedText(), QStringLiteral("10"));
    QCOMPARE(b.itemCursor(2).selectedText(), QStringLiteral(" и x"));
    QCOMPARE(b.itemCursor(4).selectedText().left(6), QStringLiteral(" слово"));
}

void TestRichView::picturesAreKeptWhileTheirFilesStay()
{
    testsupport::CourseFolder course;
    QImage blue(30, 20, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QVERIFY(blue.save(course.filePath("fig.png")));
    QFile page(course.filePath("page.rvf"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<rvf version=\"1\"><p para=\"2\"><img src=\"fig.png\"/></p></rvf>\n");
    page.close();

    QVERIFY(course.enter());
    ViewFixture f(TRVStyle::Sheet::Reader);
    const auto shown = [&] {
        f.view.Format();
        return pictureOf(*f.view.textLayout(), 0);
    };
    QVERIFY(f.view.LoadRVF("page.rvf"));
    const qint64 first = shown().cacheKey();
    // Opened again: not decoded again.
    QVERIFY(f.view.LoadRVF("page.rvf"));
    const qint64 again = shown().cacheKey();
    // The file changed: read afresh.
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(course.filePath("fig.png")));
    QVERIFY(f.view.LoadRVF("page.rvf"));
    const QColor changed = shown().pixelColor(0, 0);
    QCOMPARE(again, first);
    QCOMPARE(changed, QColor(Qt::red));
}

// The layout draws, under the text, the frame and shading of a decorated
// paragraph and the line of a break, and over it the marks it is given.
void TestRichView::layoutPaintsFramesBreaksAndMarks()
{
    const TRVStyle sheet(TRVStyle::Sheet::Reader);
    const richtext::RVParaStyle &workspace = sheet.ParaStyles(7);
    QVERIFY(workspace.backColor.isValid() && workspace.borderColor.isValid());
    QVERIFY(workspace.borderSides & Qt::LeftEdge);
    QVERIFY(!(workspace.borderSides & Qt::TopEdge));
    richtext::RVDocument doc;
    doc.addText(QStringLiteral("Рамка"), 0, 7, 0, 0);
    doc.addText(QStringLiteral("и в ней вторая строка"), 0, 7, 0, 0);
    doc.addBreak();
    doc.addText(QStringLiteral("После черты"), 0, 0, 0, 0);
    richtext::RichLayout layout;
    layout.build(doc, sheet, 380);
    const int height = layout.layOut(380);

    const QColor white(Qt::white);
    const QColor mark(0x00, 0xC0, 0x00);
    const QRectF marked = layout.rangeRect(layout.itemPosition(3), layout.itemPosition(3) + 5);
    QVERIFY(!marked.isEmpty());
    QImage image(400, height + 40, QImage::Format_RGB32);
    image.fill(white);
    {
        QPainter p(&image);
        p.translate(10, 20);
        QTextCharFormat markFormat;
        markFormat.setBackground(mark);
        layout.paint(&p, sheet, QRectF(-10, -20, image.width(), image.height()), QPalette(),
                     {{layout.rangeCursor(layout.itemPosition(3), layout.itemPosition(3) + 5), markFormat}});
    }
    const auto at = [&](qreal x, qreal y) { return image.pixelColor(int(x) + 10, int(y) + 20); };
    const QTextDocument &text = layout.document();
    const QTextLayout *first = text.findBlockByNumber(0).layout();
    const QTextLayout *second = text.findBlockByNumber(1).layout();
    const qreal top = first->position().y();
    const qreal bottom = second->position().y() + second->lineAt(0).y() + second->lineAt(0).height();
    const qreal middle = (top + bottom) / 2;
    const QRectF shade = QRectF(workspace.leftIndent, top, 380 - workspace.leftIndent - workspace.rightIndent,
                                bottom - top)
                             .marginsAdded(QMarginsF(workspace.backOffsets));
    // One frame for the two paragraphs of the style: shaded between them, the
    // left line outside the shading, no line along the top.
    QCOMPARE(at(shade.right() - 1, middle), workspace.backColor);
    QCOMPARE(at(shade.right() - 1, bottom + 1), workspace.backColor);
    QCOMPARE(at(shade.left() - 1, middle), workspace.borderColor);
    QCOMPARE(at(shade.left() - 1, bottom), workspace.borderColor);
    QCOMPARE(at(shade.right() - 1, shade.top() - 1), white);
    // The break's line runs across the text width in the middle of its block.
    const QRectF breakBlock = text.documentLayout()->blockBoundingRect(text.findBlockByNumber(2));
    const qreal ruleY = std::floor(breakBlock.center().y());
    for (const qreal x : {0.0, 190.0, 379.0})
        QCOMPARE(at(x, ruleY), sheet.TextStyles(0).color);
    QCOMPARE(at(190, ruleY - 2), white);
    // The mark lies under the marked text, and only there.
    int marks = 0;
    for (int y = int(marked.top()); y < int(marked.bottom()); ++y)
        for (int x = int(marked.left()); x < int(marked.right()); ++x)
            marks += at(x, y) == mark;
    QVERIFY2(marks > marked.width() * marked.height() / 3, qPrintable(QString::number(marks)));
    QCOMPARE(at(marked.right() + 30, marked.center().y()) == mark, false);
}

QTEST_MAIN(TestRichView)
#include "tst_richview.moc"

namespace {

QByteArray paragraphs(int count, const QByteArray &body)
{
    QByteArray rvf = "<rvf version=\"1\">";
    for (int i = 0; i < count; ++i)
        rvf += "<p>" + body + "</p>";
    return rvf + "</rvf>";
}

} // namespace

// Pages that are each within the per-paragraph bound but far too much work
// together, or laid out along a slow path: each is opened (laid out, painted)
// or refused with a message, and either way soon. The watchdog is generous:
// it tells a hang from an answer; bench_layout has the real figures.
void TestRichView::hugePagesOpenOrAreRefused_data()
{
    QTest::addColumn<QByteArray>("rvf");
    QTest::addColumn<bool>("opens");
    QByteArray words = QByteArray("word ").repeated(int(kRvfMaxParagraphChars / 5) - 1);
    QTest::newRow("20 paragraphs at the bound (4 MB)") << paragraphs(20, words) << true;
    QTest::newRow("past the page's bound") << paragraphs(21, words) << false;
    QByteArray styled;
    for (int i = 0; i < 40000; ++i)
        styled += "<t style=\"" + QByteArray::number(i % 3) + "\">x </t>";
    QTest::newRow("40,000 styled items in a paragraph") << paragraphs(1, styled) << true;
    // A boundary searched for letter by letter, in each: minutes before.
    QTest::newRow("five words at the bound")
        << paragraphs(5, QByteArray(int(kRvfMaxParagraphChars) - 1, 'w')) << true;
}

void TestRichView::hugePagesOpenOrAreRefused()
{
    QFETCH(QByteArray, rvf);
    QFETCH(bool, opens);
    const QString path = m_tmp.filePath("huge.rvf");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(rvf);
    f.close();

    ViewFixture fx(TRVStyle::Sheet::Reader, QSize(700, 500));
    QElapsedTimer watchdog;
    watchdog.start();
    const bool opened = fx.view.LoadRVF(path);
    QCOMPARE(opened, opens);
    if (opened) {
        fx.view.Format();
        fx.view.grab();
        fx.view.ScrollTo(fx.view.DocumentHeight() / 2);
        fx.view.grab();
        fx.view.resize(500, 500);
        fx.view.grab();
    } else {
        QVERIFY(!fx.view.loadError().isEmpty());
    }
    QVERIFY2(watchdog.elapsed() < 30000, qPrintable(QString::number(watchdog.elapsed())));
}
