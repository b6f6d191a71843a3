// The reader's shared state and the reading choices kept under a learner,
// apart from any window.
#include "reader/ReaderState.h"
#include "reader/ReadingPreferences.h"
#include "richtext/RVStyle.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

using reader::ReaderState;
using reader::ReadingPreferences;
using Stored = ReadingPreferences::Stored;

Q_DECLARE_METATYPE(Stored)

namespace {
// A file that does not exist: nothing here reads or writes learner records.
const QString kNoFile = QStringLiteral("no-such-dir/dect.chh");

int sheetSize(const ReaderState &state, int style)
{
    return state.readingStyle().TextStyles(style).size;
}
} // namespace

class TestReaderState : public QObject
{
    Q_OBJECT
private slots:
    void zoomMovesAllSizesAndTheSheetWithinLimits();
    void setZoomIsHeldWithinLimits_data();
    void setZoomIsHeldWithinLimits();
    void changesAreToldOnceAndOnlyWhenTheyHappen();
    void historyTellsPushAndPop();
    void readingFontSetsTheHeadingsAndIsKeptAsChosen();
    void fromStored_data();
    void fromStored();
    void storedRoundTripGivesTheSameSheet();
    void aLearnerWithoutAFontGetsTheSheetsOwn();
};

void TestReaderState::zoomMovesAllSizesAndTheSheetWithinLimits()
{
    ReaderState state(kNoFile);
    QSignalSpy zoomed(&state, &ReaderState::zoomChanged);
    QVERIFY(state.zoomIn());
    QCOMPARE(state.NormalSize(), 11);
    QCOMPARE(state.HeadingSize(), 21);
    QCOMPARE(state.SubheadingSize(), 15);
    QCOMPARE(state.zoom(), 1);
    // The sheet follows: styles 0 and 3 the normal size, 1 and 2 the headings.
    QCOMPARE(sheetSize(state, rvs::tsNormal), 11);
    QCOMPARE(sheetSize(state, rvs::tsHeading), 21);
    QCOMPARE(sheetSize(state, rvs::tsSubheading), 15);
    QCOMPARE(sheetSize(state, rvs::tsCourier), 11);
    QCOMPARE(zoomed.count(), 1);

    while (state.zoomIn()) {
    }
    QCOMPARE(state.NormalSize(), ReaderState::kMaxNormalSize);
    const int atTop = int(zoomed.count());
    QVERIFY(!state.zoomIn());
    QCOMPARE(zoomed.count(), atTop); // a refused step tells nothing

    while (state.zoomOut()) {
    }
    QCOMPARE(state.NormalSize(), ReaderState::kMinNormalSize);
    QCOMPARE(state.HeadingSize(), ReaderState::kMinNormalSize + 10);
    QCOMPARE(sheetSize(state, rvs::tsSubheading), ReaderState::kMinNormalSize + 4);
}

void TestReaderState::setZoomIsHeldWithinLimits_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("normal");
    QTest::newRow("none") << 0 << 10;
    QTest::newRow("two up") << 2 << 12;
    QTest::newRow("three down") << -3 << 7;
    QTest::newRow("below the smallest") << -9 << ReaderState::kMinNormalSize;
    QTest::newRow("beyond the largest") << 40 << ReaderState::kMaxNormalSize;
    QTest::newRow("int minimum") << std::numeric_limits<int>::min() << ReaderState::kMinNormalSize;
    QTest::newRow("int maximum") << std::numeric_limits<int>::max() << ReaderState::kMaxNormalSize;
}

void TestReaderState::setZoomIsHeldWithinLimits()
{
    QFETCH(int, steps);
    QFETCH(int, normal);
    ReaderState state(kNoFile);
    state.setZoom(steps);
    QCOMPARE(state.NormalSize(), normal);
    QCOMPARE(state.HeadingSize(), normal + 10);
    QCOMPARE(sheetSize(state, rvs::tsNormal), normal);
}

void TestReaderState::changesAreToldOnceAndOnlyWhenTheyHappen()
{
    ReaderState state(kNoFile);
    QSignalSpy user(&state, &ReaderState::currentUserChanged);
    QSignalSpy page(&state, &ReaderState::currentPageChanged);
    QSignalSpy topics(&state, &ReaderState::topicModeChanged);
    QSignalSpy panels(&state, &ReaderState::panelsChanged);
    QSignalSpy sections(&state, &ReaderState::sectionsChanged);
    QSignalSpy column(&state, &ReaderState::narrowColumnChanged);

    QVERIFY(!state.CurrentUser().isValid());
    state.setCurrentUser(learners::LearnerId(2));
    state.setCurrentUser(learners::LearnerId(2));
    state.setCurrentPage(5);
    state.setCurrentPage(5);
    state.setTopicMode(true);
    state.setTopicMode(true);
    state.setMenuShown(true);
    state.setPlayerShown(true);
    state.setMenuShown(true);
    state.setSectionY({10, 20});
    state.setSectionY({10, 20});
    state.setNarrowColumn(true);
    state.setNarrowColumn(true);

    QCOMPARE(user.count(), 1);
    QCOMPARE(user.first().first().value<learners::LearnerId>(), learners::LearnerId(2));
    QCOMPARE(page.count(), 1);
    QCOMPARE(topics.count(), 1);
    QCOMPARE(panels.count(), 2);
    QCOMPARE(sections.count(), 1);
    QCOMPARE(column.count(), 1);
    QCOMPARE(state.SectionY(), (std::vector<int>{10, 20}));
    QVERIFY(state.MenuShown() && state.PlayerShown() && state.TopicMode() && state.narrowColumn());
}

void TestReaderState::historyTellsPushAndPop()
{
    ReaderState state(kNoFile);
    QSignalSpy changed(&state, &ReaderState::historyChanged);
    state.pushHistory(HistoryCommand(hkHome, false, 0));
    state.pushHistory(HistoryCommand(hkPage, false, 3));
    HistoryCommand record;
    QVERIFY(state.popHistory(record));
    QCOMPARE(record, HistoryCommand(hkPage, false, 3));
    QVERIFY(state.popHistory(record));
    QVERIFY(!state.popHistory(record)); // nothing left: nothing told
    QCOMPARE(changed.count(), 4);
    QVERIFY(state.History().empty());
}

void TestReaderState::readingFontSetsTheHeadingsAndIsKeptAsChosen()
{
    ReaderState state(kNoFile);
    QSignalSpy changed(&state, &ReaderState::readingFontChanged);
    QVERIFY(!state.fontChosen());
    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPointSize(16);
    serif.setBold(true);
    state.setReadingFont(serif, QColor(0x80, 0, 0));
    QVERIFY(state.fontChosen());
    const richtext::RVTextStyle &normal = state.readingStyle().TextStyles(rvs::tsNormal);
    QCOMPARE(normal.size, 16);
    QVERIFY(normal.bold);
    QCOMPARE(normal.color, QColor(0x80, 0, 0));
    QCOMPARE(sheetSize(state, rvs::tsHeading), 26);
    QCOMPARE(sheetSize(state, rvs::tsSubheading), 20);
    QCOMPARE(sheetSize(state, rvs::tsJumpArial), 18);
    // The heading keeps its own face and colour.
    QCOMPARE(state.readingStyle().TextStyles(rvs::tsHeading).color, QColor(0, 0, 0xFF));

    // Back to the start sizes; the face stays.
    state.restoreDefaultSizes();
    QCOMPARE(sheetSize(state, rvs::tsNormal), 10);
    QCOMPARE(sheetSize(state, rvs::tsJumpArial), 12);
    QVERIFY(state.readingStyle().TextStyles(rvs::tsNormal).bold);
    QCOMPARE(changed.count(), 2);
}

void TestReaderState::fromStored_data()
{
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QString>("family"); // empty: no font of the learner's
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<QColor>("color");

    QTest::newRow("nothing kept") << Stored() << 0 << QString() << 0 << QColor(Qt::black);
    Stored zoomed;
    zoomed.zoom = 3;
    zoomed.narrowColumn = true;
    QTest::newRow("zoom and column") << zoomed << 3 << QString() << 0 << QColor(Qt::black);
    Stored small;
    small.zoom = -9; // the smallest the file reader lets through
    QTest::newRow("zoom below the limit") << small << -4 << QString() << 0 << QColor(Qt::black);
    Stored large;
    large.zoom = 40;
    QTest::newRow("zoom above the limit") << large << 26 << QString() << 0 << QColor(Qt::black);
    Stored font;
    font.fontFamily = QStringLiteral("Liberation Serif");
    font.fontSize = 14;
    font.fontColor = QStringLiteral("#000080");
    QTest::newRow("font") << font << 0 << QStringLiteral("Liberation Serif") << 14
                          << QColor(0, 0, 0x80);
    Stored unsized = font;
    unsized.fontSize = 0;
    unsized.zoom = 2;
    unsized.fontColor = QStringLiteral("not a colour");
    QTest::newRow("font without size or colour")
        << unsized << 2 << QStringLiteral("Liberation Serif") << 12 << QColor(Qt::black);
    // Records from another store or edited by hand: held to the limits.
    for (const int far : {1000000, -1000000, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        Stored wild;
        wild.zoom = far;
        QTest::addRow("zoom %d", far) << wild << (far > 0 ? 26 : -4) << QString() << 0 << QColor(Qt::black);
    }
    Stored huge = font;
    huge.fontSize = 1000000;
    QTest::newRow("font size of a million") << huge << 0 << QStringLiteral("Liberation Serif") << 72
                                            << QColor(0, 0, 0x80);
    Stored tiny = font;
    tiny.fontSize = 1;
    QTest::newRow("font size of one point") << tiny << 0 << QStringLiteral("Liberation Serif") << 6
                                            << QColor(0, 0, 0x80);
}

void TestReaderState::fromStored()
{
    QFETCH(Stored, stored);
    QFETCH(int, zoom);
    QFETCH(QString, family);
    QFETCH(int, fontSize);
    QFETCH(QColor, color);
    const ReadingPreferences::Choice choice = ReadingPreferences::fromStored(stored);
    QCOMPARE(choice.zoom, zoom);
    QCOMPARE(choice.narrowColumn, stored.narrowColumn);
    QCOMPARE(choice.font.has_value(), !family.isEmpty());
    if (choice.font) {
        QCOMPARE(choice.font->family(), family);
        QCOMPARE(choice.font->pointSize(), fontSize);
        QCOMPARE(choice.color, color);
    }
}

void TestReaderState::storedRoundTripGivesTheSameSheet()
{
    ReaderState first(kNoFile);
    // Nothing chosen: only zoom and column are kept, no font.
    QVERIFY(ReadingPreferences::toStored(first) == Stored());

    first.zoomIn();
    first.zoomIn();
    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPointSize(15);
    serif.setItalic(true);
    first.setReadingFont(serif, QColor(0, 0x80, 0));
    first.setNarrowColumn(true);
    const Stored stored = ReadingPreferences::toStored(first);
    QCOMPARE(stored.zoom, 2);
    QCOMPARE(stored.fontSize, 15);
    QVERIFY(stored.italic);
    QVERIFY(stored.narrowColumn);

    ReaderState next(kNoFile);
    ReadingPreferences::apply(stored, next);
    for (int style = 0; style < first.readingStyle().TextStyleCount(); ++style) {
        const richtext::RVTextStyle &a = first.readingStyle().TextStyles(style);
        const richtext::RVTextStyle &b = next.readingStyle().TextStyles(style);
        QCOMPARE(b.fontName, a.fontName);
        QCOMPARE(b.size, a.size);
        QCOMPARE(b.italic, a.italic);
        QCOMPARE(b.color, a.color);
    }
    QCOMPARE(next.NormalSize(), 12);
    QVERIFY(next.fontChosen());
    QVERIFY(next.narrowColumn());
    QVERIFY(ReadingPreferences::toStored(next) == stored);
}

void TestReaderState::aLearnerWithoutAFontGetsTheSheetsOwn()
{
    ReaderState state(kNoFile);
    // The sheet as the program starts it: the link styles sized by the zoom.
    const ReaderState fresh(kNoFile);
    const TRVStyle &start = fresh.readingStyle();
    Stored first;
    first.fontFamily = QStringLiteral("Liberation Serif");
    first.fontSize = 18;
    first.bold = true;
    first.zoom = 3;
    first.narrowColumn = true;
    ReadingPreferences::apply(first, state);
    QVERIFY(state.fontChosen());

    // The next learner chose nothing: nothing of the first one's stays, and
    // what is kept for them holds no font of another.
    ReadingPreferences::apply(Stored(), state);
    QVERIFY(!state.fontChosen());
    QVERIFY(!state.narrowColumn());
    QCOMPARE(state.NormalSize(), ReaderState::kDefaultNormalSize);
    for (int style = 0; style < start.TextStyleCount(); ++style) {
        QCOMPARE(state.readingStyle().TextStyles(style).fontName, start.TextStyles(style).fontName);
        QCOMPARE(state.readingStyle().TextStyles(style).size, start.TextStyles(style).size);
        QCOMPARE(state.readingStyle().TextStyles(style).bold, start.TextStyles(style).bold);
    }
    QVERIFY(ReadingPreferences::toStored(state) == Stored());
}

QTEST_MAIN(TestReaderState)
#include "tst_readerstate.moc"
