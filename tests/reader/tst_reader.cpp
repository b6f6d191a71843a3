#include "common/ReaderFixture.h"
#include "common/TestSupport.h"
#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "screens/AboutScreen.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QQuickItem>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

QStringList itemTexts(const TRichView *view)
{
    QStringList texts;
    for (int i = 0; i < view->GetLineCount(); ++i)
        texts << view->GetItemTextA(i);
    return texts;
}

// Runs a panel timer's ticks by hand until the slide ends; returns the count.
int slide(QTimer *timer, void (TfrmMain::*tick)(), const std::function<void()> &eachTick = {})
{
    int ticks = 0;
    while (timer->isActive() && ticks < 1000) {
        (frmMain->*tick)();
        ++ticks;
        if (eachTick)
            eachTick();
    }
    return ticks;
}

QList<int> kinds()
{
    QList<int> result;
    for (const HistoryCommand &record : frmMain->history())
        result << record.GetKind();
    return result;
}

// Closes a modal screen as soon as it is up.
void closeWhenShown(ui::ModalScreen *screen)
{
    auto *poll = new QTimer(screen);
    QObject::connect(poll, &QTimer::timeout, screen, [screen, poll] {
        if (screen->isShowingModal()) {
            screen->closeScreen();
            poll->deleteLater();
        }
    });
    poll->start(5);
}
} // namespace

class TestReader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openPage_data();
    void openPage();
    void pagesWithoutMovieKeepTheLastOne();
    void movieIsBuiltWhenThePanelComesOut();
    void reopeningStartsAtTheTop();
    void sectionMenuFollowsCheckpoints();
    void missingDocumentEndsTheProgram();
    void menuPanelSlides();
    void moviePanelSlides();
    void slidesFinishInsideModalScreens();
    void resizeKeepsMenuAsTallAsTheView();
    void contentsPage();
    void clickOnALinkOpensItsPage();
    void mouseOnAContentsLinkOpensItsPage();
    void backUnwindsTheHistory();
    void backWithFewerThanTwoRecordsDoesNothing();
    void toolbarBookmarkIsSaved();
    void toolbarHelpDictAndBack();
    void toolbarIgnoresUnknownCommands_data();
    void toolbarIgnoresUnknownCommands();
    void zoom();
    void zoomKeepsTheTextAtTheTopAndStops();
    void pagesOpenAtTheTop();
    void sectionJumpAfterTheMenuNarrowsTheView();
    void homeDuringASlideStopsIt();
    void emptyMoviePanelSaysSo();
    void contentsWithoutCourseData();
    void unreadablePageIsNamedOnStandardError();

private:
    std::unique_ptr<testsupport::ReaderFixture> m_reader;
};

void TestReader::init()
{
    m_reader = std::make_unique<testsupport::ReaderFixture>();
    QVERIFY(m_reader->open());
}

void TestReader::cleanup()
{
    m_reader.reset();
}

void TestReader::openPage_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("firstText");
    QTest::addColumn<int>("toolbarFrame"); // 7: left alone
    QTest::addColumn<QString>("movie");
    QTest::newRow("information page") << 0 << "Справка" << 4 << "";
    QTest::newRow("lecture") << 3 << "3.1 Раздел 1" << 0 << "lecture3";
    QTest::newRow("dictionary") << 11 << "Словарь" << 7 << "";
    QTest::newRow("introduction") << 18 << "Введение" << 7 << "";
    QTest::newRow("no row: 10") << 10 << "Справка" << 7 << "";
    QTest::newRow("no row: 111") << 111 << "Справка" << 7 << "";
    QTest::newRow("no row: -1") << -1 << "Справка" << 7 << "";
}

void TestReader::openPage()
{
    QFETCH(int, page);
    QFETCH(QString, firstText);
    QFETCH(int, toolbarFrame);
    QFETCH(QString, movie);
    QVERIFY(parts::FlashButtons()->rootItem());
    parts::FlashButtons()->GotoFrame(7);
    frmMain->OpenPage(page);
    QCOMPARE(frmMain->state().CurrentPage(), page);
    QCOMPARE(parts::RichView1()->GetItemTextA(0), firstText);
    QCOMPARE(parts::FlashButtons()->rootItem()->property("frame").toInt(), toolbarFrame);
    QCOMPARE(frmMain->pageMovie(), movie.isEmpty() ? QString() : movie::MovieControl::moviePath(movie));
    QVERIFY(m_reader->messages().isEmpty());
    QVERIFY(!frmMain->isClosing());
}

void TestReader::pagesWithoutMovieKeepTheLastOne()
{
    frmMain->OpenPage(3);
    frmMain->OpenPage(11);
    QCOMPARE(frmMain->pageMovie(), movie::MovieControl::moviePath("lecture3"));
}

// The movie's scene is built when its panel comes out, not with every page;
// a hidden panel plays no other page's movie meanwhile.
void TestReader::movieIsBuiltWhenThePanelComesOut()
{
    QVERIFY(!frmMain->state().PlayerShown());
    frmMain->OpenPage(3);
    QVERIFY(!parts::Player()->rootItem());
    frmMain->ShowPlayerPanel();
    QVERIFY(parts::PlayerTimer()->isActive());
    frmMain->PlayerTimerTimer(); // the first step of the slide
    QCOMPARE(parts::Player()->movie(), movie::MovieControl::moviePath("lecture3"));
    QVERIFY(parts::Player()->rootItem());
    QVERIFY(parts::Player()->isVisible());
    // With the panel out, the next page's movie is there at once.
    frmMain->OpenPage(2);
    QCOMPARE(parts::Player()->movie(), movie::MovieControl::moviePath("lecture2"));
    QVERIFY(parts::Player()->rootItem());
    // Taken in again, the panel keeps no scene for a page it was not out on.
    while (parts::PlayerTimer()->isActive())
        frmMain->PlayerTimerTimer();
    frmMain->HidePlayerPanel();
    while (parts::PlayerTimer()->isActive())
        frmMain->PlayerTimerTimer();
    QVERIFY(!frmMain->state().PlayerShown());
    frmMain->OpenPage(1);
    QVERIFY(!parts::Player()->rootItem());
    QCOMPARE(frmMain->pageMovie(), movie::MovieControl::moviePath("lecture1"));
}

void TestReader::reopeningStartsAtTheTop()
{
    frmMain->OpenPage(3);
    parts::RichView1()->ScrollTo(parts::RichView1()->DocumentHeight() / 2);
    QVERIFY(parts::RichView1()->scrollPosition() > 0);
    frmMain->OpenPage(3);
    QCOMPARE(parts::RichView1()->scrollPosition(), 0);
}

void TestReader::sectionMenuFollowsCheckpoints()
{
    frmMain->OpenPage(3);
    QCOMPARE(itemTexts(parts::RichView2()),
             QStringList({"", "", "3.1 Раздел 1", " ", "3.2 Раздел 2", " ", "3.3 Раздел 3", " "}));
    QCOMPARE(frmMain->state().SectionY().size(), size_t(3));
    QVERIFY(frmMain->state().SectionY()[0] < frmMain->state().SectionY()[1]);
    QVERIFY(frmMain->state().SectionY()[1] < frmMain->state().SectionY()[2]);

    // Section link 2 scrolls to the third checkpoint.
    frmMain->RichView2Jump(2);
    const int y = parts::RichView1()->scrollPosition();
    QVERIFY2(y > frmMain->state().SectionY()[1] && y <= frmMain->state().SectionY()[2], qPrintable(QString::number(y)));
    // The menu is rebuilt the same.
    QCOMPARE(parts::RichView2()->GetLineCount(), 8);

    // A page without checkpoints leaves only the two empty paragraphs.
    frmMain->OpenPage(0);
    QCOMPARE(itemTexts(parts::RichView2()), QStringList({"", ""}));
    QVERIFY(frmMain->state().SectionY().empty());
}

void TestReader::missingDocumentEndsTheProgram()
{
    frmMain->OpenPage(5);
    QCOMPARE(m_reader->messages(),
             QStringList{"Были удалены файлы, необходимые для работы приложения. "
                         "Продолжение работы невозможно."});
    QVERIFY(frmMain->isClosing());
}

void TestReader::menuPanelSlides()
{
    closeWhenShown(frmIntro);
    frmMain->FormShow(); // puts the panels at their hidden places
    QCOMPARE(parts::pnlMenu()->x(), -210);

    frmMain->ShowMenuPanel();
    frmMain->ShowMenuPanel(); // one slide only
    frmMain->HideMenuPanel(); // ignored while sliding in
    QVERIFY(!frmMain->state().MenuShown());
    int moves = 0;
    int last = parts::pnlMenu()->x();
    const int ticks = slide(parts::leftMenuTimer(), &TfrmMain::leftMenuTimerTimer, [&] {
        if (parts::pnlMenu()->x() != last)
            ++moves;
        last = parts::pnlMenu()->x();
        QCOMPARE(parts::btnPanelMenuNext()->x(), parts::pnlMenu()->x() + 200);
    });
    QCOMPARE(ticks, 43);
    QCOMPARE(moves, 42);
    QVERIFY(frmMain->state().MenuShown());
    QCOMPARE(parts::pnlMenu()->x(), 0);
    QCOMPARE(parts::RichView1()->x(), 200);
    QCOMPARE(parts::RichView1()->width(), frmMain->width() - 200);
    QCOMPARE(parts::RichView2()->geometry(), parts::pnlMenu()->contentsRect());

    frmMain->btnPanelMenuNextClick();
    QCOMPARE(slide(parts::leftMenuTimer(), &TfrmMain::leftMenuTimerTimer), 43);
    QVERIFY(!frmMain->state().MenuShown());
    QCOMPARE(parts::pnlMenu()->x(), -210);
    QCOMPARE(parts::RichView1()->geometry(),
             QRect(0, 0, frmMain->width(), frmMain->height() - 55));
}

void TestReader::moviePanelSlides()
{
    closeWhenShown(frmIntro);
    frmMain->FormShow();
    frmMain->ShowPlayerPanel();
    const auto buttonFollows = [] {
        QCOMPARE(parts::btnPlayerOn()->y(), parts::pnlPlayer()->y() + 390);
    };
    QCOMPARE(slide(parts::PlayerTimer(), &TfrmMain::PlayerTimerTimer, buttonFollows), 82);
    QVERIFY(frmMain->state().PlayerShown());
    QCOMPARE(parts::pnlPlayer()->y(), 0);
    frmMain->btnPlayerOnClick();
    QCOMPARE(slide(parts::PlayerTimer(), &TfrmMain::PlayerTimerTimer, buttonFollows), 82);
    QVERIFY(!frmMain->state().PlayerShown());
    QCOMPARE(parts::pnlPlayer()->y(), -405);
    // The panel keeps its distance to the right edge.
    QCOMPARE(parts::pnlPlayer()->geometry().right() + 1, frmMain->width() - 39);
}

void TestReader::slidesFinishInsideModalScreens()
{
    closeWhenShown(frmIntro);
    frmMain->FormShow();
    frmMain->ShowMenuPanel();
    frmMain->ShowPlayerPanel();
    bool finishedBehind = false;
    QTimer::singleShot(0, frmAbout, [&] {
        // The real 10 ms timers run on inside the screen's own loop.
        QTRY_VERIFY(!parts::leftMenuTimer()->isActive() && !parts::PlayerTimer()->isActive());
        finishedBehind = frmAbout->isShowingModal();
        frmAbout->closeScreen();
    });
    frmAbout->showModal();
    QVERIFY(finishedBehind);
    QVERIFY(frmMain->state().MenuShown());
    QVERIFY(frmMain->state().PlayerShown());
}

void TestReader::resizeKeepsMenuAsTallAsTheView()
{
    frmMain->resize(900, 640);
    QCOMPARE(parts::pnlMenu()->height(), parts::RichView1()->height());
    QCOMPARE(parts::btnPanelMenuNext()->height(), parts::pnlMenu()->height());
    QCOMPARE(parts::RichView1()->height(), 640 - 55);
}

void TestReader::contentsPage()
{
    frmMain->OpenPage(3);
    frmMain->ShowContents();
    QCOMPARE(itemTexts(parts::RichView1()),
             QStringList({"Содержание", "", "0.  Как работать с учебником", " ", "",
                          "1.  Информация", " ", "     1.1 Что такое информация",
                          "     1.2 Единицы измерения", "", "7.  Системы счисления", " "}));
    QCOMPARE(parts::RichView2()->GetLineCount(), 0);
    QCOMPARE(frmMain->state().CurrentPage(), 3);
    QCOMPARE(frmMain->history().back().GetKind(), int(hkContents));
    // Titles and section lines are links: 0, 1, "1.1", "1.2", 7.
    QVERIFY(!parts::RichView1()->linkRect(4).isEmpty());
    QVERIFY(parts::RichView1()->linkRect(5).isEmpty());
}

// The learner's own click, through the view's mouse events: a lecture's
// title on the contents page opens the lecture.
void TestReader::mouseOnAContentsLinkOpensItsPage()
{
    parts::pnlMenu()->move(-210, 0); // where the home screen leaves it
    frmMain->ShowContents();
    TRichView *view = parts::RichView1();
    const QPoint at = view->linkRect(1).center(); // "1.  Информация"
    QCOMPARE(view->linkAt(at), 1);
    QCOMPARE(frmMain->childAt(view->viewport()->mapTo(frmMain, at)), view->viewport());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE(frmMain->state().CurrentPage(), 1);
    QCOMPARE(frmMain->history().back().GetKind(), int(hkPage));
    QVERIFY(parts::leftMenuTimer()->isActive() || frmMain->state().MenuShown());

    // A long lecture opened from a link, the scroll bar coming in with it,
    // is laid out once.
    frmMain->OpenPage(0);
    QCoreApplication::processEvents();
    QVERIFY(!view->verticalScrollBar()->isVisible());
    const quint64 layouts = view->textLayout()->layoutCount();
    frmMain->RichView1Jump(3);
    QVERIFY(view->verticalScrollBar()->isVisible());
    QCOMPARE(view->textLayout()->layoutCount() - layouts, quint64(1));
}

void TestReader::clickOnALinkOpensItsPage()
{
    closeWhenShown(frmIntro);
    frmMain->FormShow();
    frmMain->OpenPage(1);
    const QRect link = parts::RichView1()->linkRect(2);
    QVERIFY(!link.isEmpty());
    QTest::mouseClick(parts::RichView1()->viewport(), Qt::LeftButton, {}, link.center());
    QTRY_COMPARE(frmMain->state().CurrentPage(), 2);
    QCOMPARE(frmMain->history().back(), HistoryCommand(hkPage, false, 2));
    QCOMPARE(parts::RichView1()->GetItemTextA(0), QString("Лекция 2"));
    slide(parts::leftMenuTimer(), &TfrmMain::leftMenuTimerTimer);
    QVERIFY(frmMain->state().MenuShown());
}

void TestReader::backUnwindsTheHistory()
{
    // Sign-in and home: [H, H]; "DoContent": [H, H, H, C].
    frmMain->PushHistory(hkHome, false, 0);
    frmMain->PushHistory(hkHome, false, 0);
    frmIntro->FlashFSCommand("DoContent", "");
    QCOMPARE(kinds(), QList<int>({hkHome, hkHome, hkHome, hkContents}));
    QVERIFY(!frmMain->state().TopicMode());
    frmMain->RichView1Jump(4); // the contents' third lecture: page 2
    frmMain->RichView1Jump(1);
    QCOMPARE(kinds(), QList<int>({hkHome, hkHome, hkHome, hkContents, hkPage, hkPage}));

    frmMain->Back(); // re-opens page 2, pushes nothing
    QCOMPARE(frmMain->state().CurrentPage(), 2);
    QCOMPARE(kinds(), QList<int>({hkHome, hkHome, hkHome, hkContents}));

    closeWhenShown(frmIntro);
    frmMain->Back(); // contents and a home record go; the home screen pushes its own
    QCOMPARE(kinds(), QList<int>({hkHome, hkHome, hkHome}));
}

void TestReader::backWithFewerThanTwoRecordsDoesNothing()
{
    frmMain->OpenPage(3);
    frmMain->Back();
    QVERIFY(frmMain->history().empty());
    frmMain->PushHistory(hkPage, false, 1);
    frmMain->Back();
    QCOMPARE(frmMain->history().size(), size_t(1));
    QCOMPARE(frmMain->state().CurrentPage(), 3);
}

void TestReader::toolbarBookmarkIsSaved()
{
    frmMain->OpenPage(3);
    frmMain->FlashButtonsFSCommand("DoBookmark", "");
    frmMain->FlashButtonsFSCommand("DoBookmark", "");
    // Confirmed by the notice over the page, not by a box.
    QVERIFY(m_reader->messages().isEmpty());
    auto *notice = frmMain->findChild<QLabel *>("lblNotice");
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->text(), QString("Добавлена закладка!"));
    learners::CourseData reread;
    reread.LoadCourseData();
    const auto marks = reread.bookmarks(0);
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks.last().title, QString("Лекция 3"));
    QCOMPARE(marks.last().page, 3);
    QCOMPARE(marks.last().increment, 0);
}

void TestReader::toolbarHelpDictAndBack()
{
    frmMain->FlashButtonsFSCommand("DoHelp", "");
    frmMain->FlashButtonsFSCommand("DoDict", "");
    QCOMPARE(frmMain->history().size(), size_t(2));
    QCOMPARE(frmMain->history()[0], HistoryCommand(hkPage, false, 111));
    QCOMPARE(frmMain->history()[1], HistoryCommand(hkPage, false, 11));
    frmMain->FlashButtonsFSCommand("DoBack", "");
    QCOMPARE(frmMain->state().CurrentPage(), 111);
    QCOMPARE(parts::RichView1()->GetItemTextA(0), QString("Справка"));
}

void TestReader::toolbarIgnoresUnknownCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("other letter case") << "dohome";
    QTest::newRow("not in the table") << "DoNothing";
    QTest::newRow("empty") << "";
}

void TestReader::toolbarIgnoresUnknownCommands()
{
    QFETCH(QString, command);
    frmMain->OpenPage(3);
    frmMain->FlashButtonsFSCommand(command, "DoHome");
    QVERIFY(frmMain->history().empty());
    QVERIFY(!parts::leftMenuTimer()->isActive());
    QVERIFY(!parts::PlayerTimer()->isActive());
    QVERIFY(m_reader->messages().isEmpty());
    QCOMPARE(frmMain->state().NormalSize(), 10);
}

void TestReader::zoom()
{
    frmMain->OpenPage(3);
    const int before = parts::RichView1()->DocumentHeight();
    frmMain->ZoomIn();
    QCOMPARE(parts::RVStyle1()->TextStyles(0).size, 11);
    QCOMPARE(parts::RVStyle1()->TextStyles(1).size, 21);
    QCOMPARE(parts::RVStyle1()->TextStyles(2).size, 15);
    QCOMPARE(parts::RVStyle1()->TextStyles(3).size, 11);
    // The contents' link lines grow with the text, the titles above it.
    QCOMPARE(parts::RVStyle1()->TextStyles(4).size, 13);
    QCOMPARE(parts::RVStyle1()->TextStyles(12).size, 11);
    QVERIFY(parts::RichView1()->DocumentHeight() > before);
    for (int i = 0; i < 3; ++i)
        frmMain->ZoomOut();
    QCOMPARE(parts::RVStyle1()->TextStyles(0).size, 8);
    QCOMPARE(parts::RVStyle1()->TextStyles(1).size, 18);
    QCOMPARE(parts::RVStyle1()->TextStyles(2).size, 12);
    QCOMPARE(parts::RVStyle1()->TextStyles(3).size, 8);
    QCOMPARE(frmMain->state().SectionY().size(), size_t(3)); // the menu follows the new layout
}

void TestReader::zoomKeepsTheTextAtTheTopAndStops()
{
    frmMain->OpenPage(3);
    TRichView *view = parts::RichView1();
    // The second section's heading at the top of the view.
    view->ScrollTo(frmMain->state().SectionY()[1]);
    const int before = view->scrollPosition();
    frmMain->ZoomIn();
    frmMain->ZoomIn();
    frmMain->ZoomIn();
    // The heading is still at the top (give or take the line before it),
    // though its pixel offset moved on.
    const int y = frmMain->state().SectionY()[1];
    const QString where = QStringLiteral("at %1 (before %2), heading at %3")
                              .arg(view->scrollPosition()).arg(before).arg(y);
    QVERIFY2(y - before > 100, qPrintable(where));
    QVERIFY2(view->scrollPosition() <= y && y - view->scrollPosition() < 80, qPrintable(where));

    // A floor and a ceiling: further presses change nothing.
    for (int i = 0; i < 40; ++i)
        frmMain->ZoomOut();
    const int floor = frmMain->state().NormalSize();
    frmMain->ZoomOut();
    QCOMPARE(frmMain->state().NormalSize(), floor);
    QVERIFY(floor >= 6);
    QCOMPARE(parts::RVStyle1()->TextStyles(0).size, floor);
    QCOMPARE(frmMain->state().HeadingSize(), floor + 10);
    for (int i = 0; i < 80; ++i)
        frmMain->ZoomIn();
    const int ceiling = frmMain->state().NormalSize();
    QVERIFY(ceiling > 20 && ceiling <= 48);
    QCOMPARE(frmMain->state().SubheadingSize(), ceiling + 4);
}

// Every page opens at its top, whatever the page before showed.
void TestReader::pagesOpenAtTheTop()
{
    TRichView *view = parts::RichView1();
    const auto scrolledDown = [view] {
        frmMain->OpenPage(3);
        view->ScrollTo(view->DocumentHeight() / 2);
        return view->scrollPosition() > 0;
    };
    QVERIFY(scrolledDown());
    frmMain->ShowContents();
    QCOMPARE(view->scrollPosition(), 0);

    QVERIFY(scrolledDown());
    frmMain->RichView1Jump(1);
    QCOMPARE(view->scrollPosition(), 0);

    QVERIFY(scrolledDown());
    frmIntro->FlashFSCommand("DoDict", "");
    QCOMPARE(view->scrollPosition(), 0);
}

// The section positions are those of the layout on screen: at 800 x 600 the
// menu narrows the view after the page has been laid out.
void TestReader::sectionJumpAfterTheMenuNarrowsTheView()
{
    frmMain->resize(800, 600);
    frmMain->OpenPage(3);
    const int wideY = frmMain->state().SectionY()[2];
    frmMain->ShowMenuPanel();
    slide(parts::leftMenuTimer(), &TfrmMain::leftMenuTimerTimer);
    QVERIFY(frmMain->state().MenuShown());
    TRichView *view = parts::RichView1();
    frmMain->RichView2Jump(2);
    int x = 0;
    int y = 0;
    auto cp = view->GetFirstCheckpoint();
    cp = view->GetNextCheckpoint(view->GetNextCheckpoint(cp));
    view->GetCheckpointXY(cp, x, y);
    QVERIFY(y != wideY); // the narrower text is longer
    QVERIFY2(view->scrollPosition() <= y && y - view->scrollPosition() < 20,
             qPrintable(QStringLiteral("at %1, section at %2").arg(view->scrollPosition()).arg(y)));
}

// Home while the menu is still sliding: the slide stops and the next page
// opens with the menu hidden and the view at full width.
void TestReader::homeDuringASlideStopsIt()
{
    closeWhenShown(frmIntro);
    frmMain->FormShow(); // the panels at their hidden places
    frmMain->OpenPage(3);
    frmMain->ShowMenuPanel();
    frmMain->leftMenuTimerTimer();
    QVERIFY(parts::leftMenuTimer()->isActive());
    closeWhenShown(frmIntro);
    frmMain->FlashButtonsFSCommand("DoHome", "");
    QVERIFY(!parts::leftMenuTimer()->isActive());
    QCOMPARE(parts::pnlMenu()->x(), -210);
    QVERIFY(!frmMain->state().MenuShown());
    QCOMPARE(parts::RichView1()->x(), 0);
    QCOMPARE(parts::RichView1()->width(), frmMain->width());
}

void TestReader::emptyMoviePanelSaysSo()
{
    QFrame *panel = parts::pnlPlayer();
    QVERIFY(panel->autoFillBackground());
    auto *line = frmMain->findChild<QLabel *>("lblNoMovie");
    QVERIFY(line);
    QVERIFY(line->text().contains("нет видеолекции"));
    movie::MovieControl *player = parts::Player();
    // Put away, the panel holds nothing a screen reader could offer.
    QVERIFY(!line->isVisibleTo(panel));
    QVERIFY(!player->isVisibleTo(panel));

    frmMain->OpenPage(0); // no movie has been shown yet
    frmMain->ShowPlayerPanel();
    frmMain->PlayerTimerTimer();
    QVERIFY(line->isVisibleTo(panel));
    QVERIFY(!player->isVisibleTo(panel));

    // Out, a lecture's movie takes the line's place; a page without one
    // keeps the movie the panel last had.
    frmMain->OpenPage(3);
    QVERIFY(player->isVisibleTo(panel));
    QVERIFY(!line->isVisibleTo(panel));
    frmMain->OpenPage(0);
    QVERIFY(player->isVisibleTo(panel));
    QVERIFY(!line->isVisibleTo(panel));

    frmMain->HidePlayerPanel();
    while (parts::PlayerTimer()->isActive())
        frmMain->PlayerTimerTimer();
    QVERIFY(!line->isVisibleTo(panel));
    QVERIFY(!player->isVisibleTo(panel));
}

// Without the course data the contents document stands in, and its links
// open their pages.
void TestReader::contentsWithoutCourseData()
{
    frmMain->state().setLearnerDataFailure(QStringLiteral("не прочитан"));
    frmMain->ShowContents();
    QCOMPARE(parts::RichView1()->GetItemTextA(0), QString("Содержание (документ)"));
    QCOMPARE(frmMain->history().back().GetKind(), int(hkContents));
    QVERIFY(!frmMain->isClosing());
    frmMain->RichView1Jump(3);
    QCOMPARE(frmMain->state().CurrentPage(), 3);
    QCOMPARE(parts::RichView1()->GetItemTextA(0), QString("3.1 Раздел 1"));
}

// The learner sees the fixed message; standard error names file, line and reason.
void TestReader::unreadablePageIsNamedOnStandardError()
{
    QFile broken("lections/lection2.rvf");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<?xml version=\"1.0\"?>\n<rvf version=\"1\">\n<p><q/></p>\n</rvf>\n");
    broken.close();
    QTemporaryFile captured;
    QVERIFY(captured.open());
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    dup2(captured.handle(), fileno(stderr));
    frmMain->OpenPage(2);
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    captured.seek(0);
    const QString text = QString::fromUtf8(captured.readAll());
    QVERIFY2(text.contains("lections/lection2.rvf") && text.contains("line 3") &&
                 text.contains("unknown element <q>"),
             qPrintable(text));
    QCOMPARE(m_reader->messages().size(), 1);
    QVERIFY(m_reader->messages()[0].startsWith("Были удалены файлы"));
}

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
