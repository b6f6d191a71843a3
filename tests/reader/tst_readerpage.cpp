// The reader on the shipped course: Back to where the learner was, the
// contents page's lines, the movie panel beside the text, the bookmark
// notice.
#include "common/CourseFolder.h"
#include "common/ReaderParts.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "reader/SearchIndex.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "screens/HomeScreen.h"

#include <QAccessible>
#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

namespace {

int topTextPosition(const TRichView *view)
{
    return view->textLayout()->positionAt(QPointF(0, -view->documentOrigin().y() + 1));
}

int lineOffsetFromTop(const TRichView *view, int position)
{
    return view->textLayout()->lineTopOf(position) + view->documentOrigin().y();
}

// The link of lecture n's title on the contents page.
int titleLink(const TRichView *view, int lecture)
{
    const QString id = frmMain->XML().lectures().value(lecture).id;
    for (int link = 0; link < view->textLayout()->linkCount(); ++link)
        if (view->GetItemTextA(view->textLayout()->linkItem(link)).startsWith(id + QStringLiteral(".  ")))
            return link;
    return -1;
}

void slideIn(QTimer *timer, void (TfrmMain::*tick)(), void (TfrmMain::*show)())
{
    (frmMain->*show)();
    for (int i = 0; i < 200 && timer->isActive(); ++i)
        (frmMain->*tick)();
}

// The accessibility events raised while a test runs, as (event, text) pairs.
QStringList g_announced;
void recordAccessibility(QAccessibleEvent *event)
{
    if (event->type() != QAccessible::Alert && event->type() != QAccessible::NameChanged)
        return;
    if (QAccessibleInterface *iface = event->accessibleInterface())
        g_announced << iface->text(QAccessible::Name);
}

} // namespace

class TestReaderPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void backReturnsToWhereTheLearnerWas();
    void contentsSectionLinesOpenTheirSection();
    void contentsTitlesGrowWithZoom();
    void pageMakesRoomForTheMoviePanel_data();
    void pageMakesRoomForTheMoviePanel();
    void bookmarkNoticeLeavesTheReaderAsItWas();

private:
    std::unique_ptr<testsupport::CourseFolder> m_course;
};

void TestReaderPage::init()
{
    m_course = std::make_unique<testsupport::CourseFolder>();
    QVERIFY(m_course->copy(QStringLiteral(TARVEL_COURSE_DIR)));
    QVERIFY(m_course->enter());
    m_course->catchMessages();
    {
        learners::CourseData data;
        data.LoadCourseData();
        data.registerLearner(QStringLiteral("Анна"), QStringLiteral("Петрова"),
                             QStringLiteral("9А"), QString());
    }
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
    frmMain->show();
    frmMain->FormActivate();
    frmMain->resize(1024, 700);
    parts::FlashButtons()->setMovie(movie::MovieControl::moviePath("buttons"));
}

void TestReaderPage::cleanup()
{
    if (frmMain)
        frmMain->closeMainWindow();
    destroyWindowSet();
    TfrmIntro::setDesktopSizeSource({});
    m_course.reset();
}

// Back after a search hit, a link in the page or the dictionary reopens the
// page at the text the learner had at the top, not at the page's top.
void TestReaderPage::backReturnsToWhereTheLearnerWas()
{
    const std::function<void()> leaves[] = {
        [] {
            reader::SearchIndex::Hit hit;
            hit.page = 5;
            hit.item = 10;
            frmMain->showSearchHit(hit);
        },
        [] { frmMain->RichView1Jump(2); }, // a link in the page
        [] { frmMain->FlashButtonsFSCommand(QStringLiteral("DoDict"), QString()); },
    };
    for (const auto &leave : leaves) {
        frmMain->ShowContents();
        TRichView *view = parts::RichView1();
        frmMain->RichView1Jump(titleLink(view, 3));
        view->ScrollTo(view->DocumentHeight() * 2 / 5 + 31);
        const int top = topTextPosition(view);
        leave();
        QVERIFY(frmMain->state().CurrentPage() != 3);
        frmMain->Back();
        QCOMPARE(frmMain->state().CurrentPage(), 3);
        QCOMPARE(lineOffsetFromTop(view, top), 0);
        QCOMPARE(frmMain->history().back().GetKind(), int(hkContents));
    }
}

// Each section line of the contents page opens its lecture at that section;
// a lecture's title still opens the lecture at its top.
void TestReaderPage::contentsSectionLinesOpenTheirSection()
{
    frmMain->ShowContents();
    TRichView *view = parts::RichView1();
    const auto lectures = frmMain->XML().lectures();
    QVERIFY(lectures.size() > 4 && lectures[4].sections.size() > 2);
    const QString wanted = lectures[4].sections[2].mark; // "4.3"
    int link = -1;
    for (int id = 0; id < view->textLayout()->linkCount(); ++id) {
        const int item = view->textLayout()->linkItem(id);
        if (view->GetItemTextA(item).trimmed().startsWith(wanted + QLatin1Char(' ')))
            link = id;
    }
    QVERIFY2(link >= 0, "the section line is no link");
    view->ScrollTo(view->textTop(view->textLayout()->linkItem(link), 0) - 40);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->linkRect(link).center());
    QTRY_COMPARE(frmMain->state().CurrentPage(), 4);
    QVERIFY(frmMain->sectionInView().startsWith(wanted + QLatin1Char(' ')));
    QCOMPARE(frmMain->history().back(), HistoryCommand(hkPage, false, 4));
    frmMain->Back();
    QCOMPARE(frmMain->history().back().GetKind(), int(hkContents));

    // The title of lecture 6 opens lecture 6 at its top.
    const int title = titleLink(view, 6);
    QVERIFY(title >= 0);
    frmMain->RichView1Jump(title);
    QCOMPARE(frmMain->state().CurrentPage(), 6);
    QCOMPARE(view->scrollPosition(), 0);
}

// The titles are the contents' chief lines: no smaller than the section
// lines, and larger with every step of Крупнее.
void TestReaderPage::contentsTitlesGrowWithZoom()
{
    frmMain->ShowContents();
    TRichView *view = parts::RichView1();
    const auto heights = [view] {
        const QRect title = view->linkRect(1);
        // The line under the title's blank line: the first section line.
        const int sectionTop = view->textTop(view->textLayout()->linkItem(1) + 2, 0);
        const int nextTop = view->textTop(view->textLayout()->linkItem(1) + 3, 0);
        return std::pair<int, int>(title.height(), nextTop - sectionTop);
    };
    const auto [title0, section0] = heights();
    QVERIFY2(title0 >= section0, qPrintable(QStringLiteral("%1 < %2").arg(title0).arg(section0)));
    frmMain->ZoomIn();
    frmMain->ZoomIn();
    frmMain->ZoomIn();
    const auto [title3, section3] = heights();
    QVERIFY2(title3 > title0, qPrintable(QStringLiteral("%1 -> %2").arg(title0).arg(title3)));
    QVERIFY(section3 > section0);
}

void TestReaderPage::pageMakesRoomForTheMoviePanel_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<bool>("withMenu");
    QTest::newRow("800x600") << QSize(800, 600) << false;
    QTest::newRow("800x600, menu out") << QSize(800, 600) << true;
    QTest::newRow("1280x1024") << QSize(1280, 1024) << false;
    QTest::newRow("1280x1024, menu out") << QSize(1280, 1024) << true;
}

// While the movie panel is out, no text lies under it: the page gives it
// room, as it does the section menu, and has it back when the panel goes.
void TestReaderPage::pageMakesRoomForTheMoviePanel()
{
    QFETCH(QSize, window);
    QFETCH(bool, withMenu);
    frmMain->resize(window);
    frmMain->RichView1Jump(3);
    TRichView *view = parts::RichView1();
    // The link slides the menu in; without it, it goes out again.
    slideIn(parts::leftMenuTimer(), &TfrmMain::leftMenuTimerTimer, &TfrmMain::ShowMenuPanel);
    if (!withMenu)
        slideIn(parts::leftMenuTimer(), &TfrmMain::leftMenuTimerTimer, &TfrmMain::HideMenuPanel);
    QCOMPARE(frmMain->state().MenuShown(), withMenu);
    const QRect before = view->geometry();
    view->ScrollTo(view->DocumentHeight() / 3);
    const int top = topTextPosition(view);

    QTimer *timer = frmMain->findChild<QTimer *>(QStringLiteral("PlayerTimer"));
    slideIn(timer, &TfrmMain::PlayerTimerTimer, &TfrmMain::ShowPlayerPanel);
    QVERIFY(frmMain->state().PlayerShown());
    const QRect panel = parts::pnlPlayer()->geometry();
    const QRect page = view->geometry();
    QVERIFY2(!page.intersects(panel), qPrintable(QStringLiteral("page %1,%2 %3x%4 under panel %5,%6")
                                                     .arg(page.x()).arg(page.y()).arg(page.width())
                                                     .arg(page.height()).arg(panel.x()).arg(panel.y())));
    // Beside it only where a readable column fits, else below it.
    QVERIFY(page.width() >= 360 && page.height() >= 100);
    // The learner keeps reading the same text.
    QVERIFY(std::abs(lineOffsetFromTop(view, top)) < 30);

    frmMain->HidePlayerPanel();
    for (int i = 0; i < 200 && timer->isActive(); ++i)
        frmMain->PlayerTimerTimer();
    QCOMPARE(view->geometry(), before);
}

// A bookmark is confirmed by a notice that does not take the keyboard, is
// read out by a screen reader and goes by itself.
void TestReaderPage::bookmarkNoticeLeavesTheReaderAsItWas()
{
    frmMain->RichView1Jump(3);
    TRichView *view = parts::RichView1();
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    view->ScrollTo(400);
    g_announced.clear();
    QAccessible::installUpdateHandler(recordAccessibility);
    frmMain->FlashButtonsFSCommand(QStringLiteral("DoBookmark"), QString());
    QAccessible::installUpdateHandler(nullptr);

    QVERIFY(m_course->messages.isEmpty()); // no box to press OK in
    auto *notice = frmMain->findChild<QLabel *>(QStringLiteral("lblNotice"));
    QVERIFY(notice);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("Добавлена закладка!"));
    QCOMPARE(notice->focusPolicy(), Qt::NoFocus);
    QVERIFY(view->hasFocus());
    QCOMPARE(view->scrollPosition(), 400);
    // A screen reader finds it in the window and reads its text (the alert
    // itself reaches only a running accessibility bridge).
    if (QAccessible::isActive())
        QVERIFY(g_announced.contains(QStringLiteral("Добавлена закладка!")));
    QAccessibleInterface *said = QAccessible::queryAccessibleInterface(notice);
    QVERIFY(said);
    QCOMPARE(said->text(QAccessible::Name), QStringLiteral("Добавлена закладка!"));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(frmMain);
    QVERIFY(window && window->indexOfChild(said) >= 0);
    QCOMPARE(frmMain->XML().bookmarks(0).size(), 1);
    // Inside the window, clear of the toolbar.
    QVERIFY(frmMain->rect().contains(notice->geometry()));
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 8000);

    // A failure still says so in a box.
    frmMain->state().setLearnerDataFailure(QStringLiteral("не прочитан"));
    frmMain->FlashButtonsFSCommand(QStringLiteral("DoBookmark"), QString());
    QCOMPARE(m_course->messages.size(), 1);
    QVERIFY(!notice->isVisible());
}

QTEST_MAIN(TestReaderPage)
#include "tst_readerpage.moc"
