// The reader with the keyboard alone: the toolbar's keys, and Tab between
// the toolbar and the page with the hidden panels out of the way.

#include "common/ReaderFixture.h"
#include "common/TestSupport.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "richtext/RichLayout.h"
#include "ui/ModalScreen.h"
#include "screens/HomeScreen.h"
#include "ui/Dialogs.h"

#include <QLabel>
#include <QApplication>
#include <QDir>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QAccessible>

namespace {

QWidget *focusWidget()
{
    return QApplication::focusWidget();
}

// The toolbar button that has the keyboard, or an empty name.
QString toolbarFocus()
{
    auto *view = parts::FlashButtons()->findChild<QQuickWidget *>();
    if (!view || focusWidget() != view)
        return QString();
    QQuickItem *item = view->quickWindow()->activeFocusItem();
    return item ? item->objectName() : QString();
}

// The line the page's reading caret is on, as a screen reader reads it.
QString caretLine(TRichView *page)
{
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(page)->textInterface();
    int start = -1, end = -1;
    return text->textAtOffset(text->cursorPosition(), QAccessible::LineBoundary, &start, &end).trimmed();
}

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

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(focusWidget(), Qt::Key(key), modifiers);
    // The commands run from the event loop, as the toolbar's own do.
    QCoreApplication::sendPostedEvents();
}

} // namespace

class TestReaderKeys : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void shortcutsRunTheToolbarCommands();
    void tabGoesBetweenToolbarAndPage();
    void shownPanelsAreReachable();
    void homeAndVideoLectureHaveKeys();
    void sectionJumpPutsTheKeyboardOnThePage();
    void topicPageStartsOnItsFirstLink();

private:
    std::unique_ptr<testsupport::ReaderFixture> m_reader;
};

void TestReaderKeys::init()
{
    m_reader = std::make_unique<testsupport::ReaderFixture>();
    QVERIFY(m_reader->open());
    frmMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frmMain));
    frmMain->ShowContents();
}

void TestReaderKeys::cleanup()
{
    m_reader.reset();
}

void TestReaderKeys::shortcutsRunTheToolbarCommands()
{
    // The page has the keyboard when the reader comes up.
    QCOMPARE(focusWidget(), parts::RichView1());

    const int size = frmMain->state().NormalSize();
    press(Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(frmMain->state().NormalSize(), size + 1);
    press(Qt::Key_Minus, Qt::ControlModifier);
    press(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(frmMain->state().NormalSize(), size - 1);

    press(Qt::Key_F1);
    QCOMPARE(frmMain->state().CurrentPage(), 111);
    press(Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(frmMain->history().back().GetKind(), int(hkContents));

    press(Qt::Key_D, Qt::ControlModifier);
    QVERIFY(m_reader->messages().isEmpty());
    QCOMPARE(frmMain->findChild<QLabel *>("lblNotice")->text(), QStringLiteral("Добавлена закладка!"));

    press(Qt::Key_F2);
    QVERIFY(parts::leftMenuTimer()->isActive());

    // Every key the toolbar names is one the window answers to.
    for (const char *name : {"DoMenu", "DoBookmark", "DoPlus", "DoMinus", "DoHelp", "DoSearch", "DoBack"}) {
        QObject *button = parts::FlashButtons()->findControl(QLatin1String(name));
        QVERIFY2(button, name);
        QVERIFY2(!button->property("keys").toString().isEmpty(), name);
    }
}

void TestReaderKeys::tabGoesBetweenToolbarAndPage()
{
    TRichView *page = parts::RichView1();
    QCOMPARE(focusWidget(), page);
    QVERIFY(page->document().items.size() > 0);

    // Forward: the page, each of its links, then the toolbar from its first
    // button to its last, then the page again. Nothing of the hidden panels.
    QStringList walk;
    for (int i = 0; i < 40; ++i) {
        press(Qt::Key_Tab);
        QWidget *w = focusWidget();
        QVERIFY(w);
        QVERIFY2(!parts::pnlMenu()->isAncestorOf(w) && !parts::pnlPlayer()->isAncestorOf(w) &&
                     w != parts::btnPanelMenuNext() && w != parts::btnPlayerOn(),
                 qPrintable(w->objectName()));
        if (w == page)
            walk << QStringLiteral("link %1").arg(page->focusedLink());
        else
            walk << toolbarFocus();
        if (walk.size() > 1 && walk.back() == QLatin1String("link -1"))
            break;
    }
    QCOMPARE(walk.first(), QStringLiteral("link 0"));
    // The contents page's five links: three titles and two section lines.
    QCOMPARE(walk.mid(0, 5), QStringList({"link 0", "link 1", "link 2", "link 3", "link 4"}));
    QCOMPARE(walk.mid(5),
             QStringList({"DoHome", "DoMenu", "DoPlayer", "DoBookmark", "DoPlus", "DoMinus", "DoDict",
                          "DoHelp", "DoSearch", "DoBack", "link -1"}));

    // Backward: the page's links from the last, then the toolbar from its
    // last button to its first, then the page.
    press(Qt::Key_Backtab);
    QCOMPARE(page->focusedLink(), 4);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Backtab);
    QCOMPARE(page->focusedLink(), 0);
    press(Qt::Key_Backtab);
    QCOMPARE(toolbarFocus(), QStringLiteral("DoBack"));
    for (int i = 0; i < 9; ++i)
        press(Qt::Key_Backtab);
    QCOMPARE(toolbarFocus(), QStringLiteral("DoHome"));
    press(Qt::Key_Backtab);
    QCOMPARE(focusWidget(), page);
    QCOMPARE(page->focusedLink(), -1);

    // Enter on a focused link opens its lecture.
    press(Qt::Key_Backtab);
    QCOMPARE(page->focusedLink(), 4); // the third lecture's title
    press(Qt::Key_Return);
    QCOMPARE(frmMain->state().CurrentPage(), 2);
}

void TestReaderKeys::shownPanelsAreReachable()
{
    QVERIFY(!parts::pnlMenu()->isEnabled());
    QCOMPARE(parts::btnPanelMenuNext()->focusPolicy(), Qt::NoFocus);
    frmMain->ShowMenuPanel();
    while (parts::leftMenuTimer()->isActive())
        frmMain->leftMenuTimerTimer();
    QVERIFY(parts::pnlMenu()->isEnabled());
    QVERIFY(parts::btnPanelMenuNext()->focusPolicy() & Qt::TabFocus);
    frmMain->HideMenuPanel();
    while (parts::leftMenuTimer()->isActive())
        frmMain->leftMenuTimerTimer();
    QVERIFY(!parts::pnlMenu()->isEnabled());
    QCOMPARE(parts::btnPanelMenuNext()->focusPolicy(), Qt::NoFocus);

    QVERIFY(!parts::pnlPlayer()->isEnabled());
    frmMain->ShowPlayerPanel();
    frmMain->PlayerTimerTimer();
    // Reachable from the first step of its slide.
    QVERIFY(parts::pnlPlayer()->isEnabled());
    while (parts::PlayerTimer()->isActive())
        frmMain->PlayerTimerTimer();
    QVERIFY(parts::btnPlayerOn()->focusPolicy() & Qt::TabFocus);
}

void TestReaderKeys::homeAndVideoLectureHaveKeys()
{
    // As the program loads the toolbar: each button's tooltip names its key.
    frmMain->reloadToolbar();
    const struct
    {
        const char *button;
        const char *keys;
    } named[] = {{"DoHome", "Alt+Home"}, {"DoPlayer", "F3"}};
    for (const auto &n : named) {
        QObject *button = parts::FlashButtons()->findControl(QLatin1String(n.button));
        QVERIFY2(button, n.button);
        QCOMPARE(button->property("keys").toString(), QLatin1String(n.keys));
    }
    QCOMPARE(parts::btnPlayerOn()->toolTip(), QStringLiteral("Видеолекция (F3)"));

    frmMain->OpenPage(3);
    QVERIFY(!parts::PlayerTimer()->isActive());
    press(Qt::Key_F3);
    QVERIFY(parts::PlayerTimer()->isActive());
    while (parts::PlayerTimer()->isActive())
        frmMain->PlayerTimerTimer();
    QVERIFY(frmMain->state().PlayerShown());

    closeWhenShown(frmIntro);
    QTest::keyClick(frmMain, Qt::Key_Home, Qt::AltModifier);
    QTRY_COMPARE(frmMain->history().back().GetKind(), int(hkHome));
    QVERIFY(!frmMain->state().PlayerShown() || parts::PlayerTimer()->isActive());
}

void TestReaderKeys::sectionJumpPutsTheKeyboardOnThePage()
{
    frmMain->OpenPage(3);
    frmMain->ShowMenuPanel();
    while (parts::leftMenuTimer()->isActive())
        frmMain->leftMenuTimerTimer();
    QVERIFY(frmMain->state().MenuShown());
    // Enter on the third section of the menu.
    TRichView *menu = parts::RichView2();
    menu->setFocus(Qt::TabFocusReason);
    QCOMPARE(focusWidget(), menu);
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(menu->focusedLink(), 2);
    press(Qt::Key_Return);
    QCoreApplication::sendPostedEvents();

    TRichView *page = parts::RichView1();
    QCOMPARE(focusWidget(), page);
    QCOMPARE(caretLine(page), QStringLiteral("3.3 Раздел 3"));
    // The heading is in view, and Down reads on below it.
    auto cp = page->GetFirstCheckpoint();
    cp = page->GetNextCheckpoint(page->GetNextCheckpoint(cp));
    QCOMPARE(page->caretPosition(), page->textLayout()->itemPosition(cp->itemIndex));
    const int y = page->textTop(cp->itemIndex, 0) - page->scrollPosition();
    QVERIFY2(y >= 0 && y < page->viewport()->height(), qPrintable(QString::number(y)));
    press(Qt::Key_Down);
    QVERIFY(caretLine(page).startsWith(QStringLiteral("Текст раздела")));
}

void TestReaderKeys::topicPageStartsOnItsFirstLink()
{
    frmMain->showTestTopicsFromHome();
    TRichView *page = parts::RichView1();
    QCOMPARE(focusWidget(), page);
    QCOMPARE(page->focusedLink(), 0);
    QCOMPARE(caretLine(page), QStringLiteral("ОБЩИЙ"));
    // Tab goes on to the first lecture's test.
    press(Qt::Key_Tab);
    QCOMPARE(page->focusedLink(), 1);
}

QTEST_MAIN(TestReaderKeys)
#include "tst_readerkeys.moc"
