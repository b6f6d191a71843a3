#include "common/HomeParts.h"
#include "common/SignInParts.h"
#include "common/ReaderParts.h"
#include "common/Clicks.h"
#include "common/CourseFolder.h"
#include "ui/AppMessage.h"
#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "learners/CourseData.h"
#include "screens/SignInScreen.h"
#include "movie/MovieControl.h"
#include "progress/ReportScreen.h"
#include "progress/BookmarksScreen.h"
#include "progress/StatisticsScreen.h"
#include "reader/ReaderWindow.h"
#include "screens/AboutScreen.h"
#include "screens/FontScreen.h"
#include "testing/ReviewWindow.h"
#include "testing/TestWindow.h"

#include "richtext/RichView.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QStyleHints>
#include <QGuiApplication>

#include <functional>

namespace {
using testsupport::copyTree;

// Records the mouse events a widget is given.
class Recorder : public QWidget
{
public:
    using QWidget::QWidget;
    QList<QPair<QEvent::Type, Qt::MouseButton>> seen;

protected:
    void mousePressEvent(QMouseEvent *e) override { seen.append({e->type(), e->button()}); }
    void mouseReleaseEvent(QMouseEvent *e) override { seen.append({e->type(), e->button()}); }
};

} // namespace

class TestWindowSet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowsAreCreatedOnceInOrder();
    void rightButtonPressIsSwallowedInsideModalLoops();
    void firstShowingGoesThroughSignIn();
    void laterShowingsGoHomeAndHidePanels();
    void closingTheMainWindowEndsNestedLoops();
    void unreadableLearnersAreExplained();
    void doubleClickOnEnterLeavesTheHomeScreenAlone();
    void startWindowsLeaveTheOthersToFirstShowing();

private:
    testsupport::CourseFolder m_course;
};

void TestWindowSet::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(copyTree(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), m_course.path() + "/pictures"));
    QVERIFY(copyTree(QStringLiteral(TARVEL_COURSE_DIR "/lections"), m_course.path() + "/lections"));
    QVERIFY(QFile::copy(QStringLiteral(TARVEL_TEST_DATA "/app/dect.chh"), m_course.path() + "/dect.chh"));
    QVERIFY(m_course.enter());
}

void TestWindowSet::init()
{
    createWindowSet();
}

void TestWindowSet::cleanup()
{
    destroyWindowSet();
    ui::setMessageHook({});
}

void TestWindowSet::windowsAreCreatedOnceInOrder()
{
    const QList<QWidget *> windows{frmMain, frmLogin, frmTest,     frmIntro,  frmAbout,
                                   frmStat, frmFont,  frmBookmark, frmOtcher};
    const QStringList names{"frmMain", "frmLogin", "frmTest",     "frmIntro", "frmAbout",
                            "frmStat", "frmFont",  "frmBookmark", "frmOtcher"};
    for (int i = 0; i < windows.size(); ++i) {
        QVERIFY(windows[i]);
        QCOMPARE(windows[i]->objectName(), names[i]);
        QVERIFY(windows[i]->isWindow());
        QVERIFY(!windows[i]->isVisible());
    }
    QCOMPARE(frmMain->windowTitle(), QString("Тарвел"));
    QVERIFY(!frmMain->state().CurrentUser().isValid());
    QCOMPARE(frmMain->state().NormalSize(), 10);
    QCOMPARE(frmMain->state().HeadingSize(), 20);
    QCOMPARE(frmMain->state().SubheadingSize(), 14);
    QVERIFY(frmMain->history().empty());
    // The lecture movie fills its panel.
    QCOMPARE(parts::Player()->geometry(), parts::pnlPlayer()->contentsRect());
}

void TestWindowSet::rightButtonPressIsSwallowedInsideModalLoops()
{
    ui::AppMessage::install();
    QDialog modal;
    auto *target = new Recorder(&modal);
    target->resize(100, 100);
    modal.resize(100, 100);
    QTimer::singleShot(0, &modal, [&] {
        QTest::mousePress(target, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseRelease(target, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mousePress(target, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(10, 10));
        modal.accept();
    });
    modal.exec();
    const QList<QPair<QEvent::Type, Qt::MouseButton>> expected{
        {QEvent::MouseButtonRelease, Qt::RightButton},
        {QEvent::MouseButtonPress, Qt::LeftButton},
        {QEvent::MouseButtonRelease, Qt::LeftButton}};
    QCOMPARE(target->seen, expected);
}

void TestWindowSet::firstShowingGoesThroughSignIn()
{
    bool loginWasUp = false;
    bool mainWasHidden = false;
    QTimer::singleShot(50, frmLogin, [&] {
        loginWasUp = frmLogin->isVisible();
        mainWasHidden = !frmMain->isVisible();
        frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
        frmLogin->closeScreen();
    });
    frmMain->start();
    QVERIFY(loginWasUp);
    QVERIFY(mainWasHidden);
    QVERIFY(frmMain->isVisible());
    QCOMPARE(frmLogin->rememberedUser(), frmMain->state().learnerStore().learners().value(0).id);
    QVERIFY(parts::login::Flash()->rootItem());
    QCOMPARE(parts::login::Flash()->rootItem()->property("frame").toInt(), 1);
    QVERIFY(parts::RichView1()->isVisible());
    QVERIFY(!parts::ImgBack()->isVisible());
}

void TestWindowSet::laterShowingsGoHomeAndHidePanels()
{
    frmMain->state().setCurrentUser(learners::LearnerId(1));
    frmMain->state().setPlayerShown(true);
    frmMain->state().setMenuShown(true);
    parts::pnlMenu()->move(0, 0);
    bool homeWasUp = false;
    QTimer::singleShot(50, frmIntro, [&] {
        homeWasUp = frmIntro->isVisible();
        frmIntro->closeScreen();
    });
    frmMain->FormShow();
    QVERIFY(homeWasUp);
    QVERIFY(!frmLogin->isVisible());
    QCOMPARE(parts::pnlMenu()->x(), -210);
    QCOMPARE(parts::pnlPlayer()->y(), -405);
    QCOMPARE(parts::btnPlayerOn()->y(), -15);
    QCOMPARE(parts::btnPanelMenuNext()->x(), -10);
    QCOMPARE(parts::btnPanelMenuNext()->height(), parts::pnlMenu()->height());
    QVERIFY(!frmMain->state().MenuShown());
    QVERIFY(frmMain->state().PlayerShown()); // kept
    QCOMPARE(parts::home::Flash()->rootItem()->property("frame").toInt(), 1);
}

void TestWindowSet::closingTheMainWindowEndsNestedLoops()
{
    frmMain->state().setCurrentUser(learners::LearnerId(1));
    // Home screen, and a sub-screen over it; "exit" from deep inside.
    QTimer::singleShot(50, frmIntro, [&] {
        QTimer::singleShot(50, frmAbout, [&] { frmMain->closeMainWindow(); });
        frmAbout->showModal();
    });
    frmMain->start();
    QVERIFY(frmMain->isClosing());
    QVERIFY(!frmMain->isVisible());
    QVERIFY(!frmIntro->isVisible());
    QVERIFY(!frmAbout->isVisible());
    // Nothing opens any more once the program is ending.
    frmAbout->showModal();
    QVERIFY(!frmAbout->isVisible());
}

void TestWindowSet::unreadableLearnersAreExplained()
{
    QStringList messages;
    ui::setMessageHook([&](const QString &text) { messages << text; });
    QFile::rename("dect.chh", "dect.chh.away");
    // The sign-in screen closes by itself; the reader says why and goes on
    // to the home screen, which leads into the reader as ever.
    bool homeShown = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (frmIntro->isShowingModal()) {
            homeShown = true;
            frmIntro->FlashFSCommand("DoBegin", {});
        }
    });
    poll.start(5);
    frmMain->start();
    poll.stop();
    QFile::rename("dect.chh.away", "dect.chh");
    QVERIFY(homeShown);
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].startsWith("Не удалось прочитать данные учеников"));
    QVERIFY(frmMain->isVisible());
    QVERIFY(!frmMain->XML().isLoaded());
    // Nobody could be chosen: the reader is open for reading only.
    QVERIFY(!frmMain->state().CurrentUser().isValid());
}

// The second click of a double click on «Войти» lands on the home screen
// that has just come up in the same place (its «Тесты»): it is dropped,
// while a click after the double-click interval is the learner's own.
void TestWindowSet::doubleClickOnEnterLeavesTheHomeScreenAlone()
{
    int t0 = 0;
    QPoint global;
    int early = -1, late = -1;
    bool signedIn = false;
    QTimer::singleShot(50, frmLogin, [&] {
        parts::login::LBNames()->setCurrentIndex(0);
        QQuickItem *enter = parts::login::Flash()->rootItem()->findChild<QQuickItem *>("Enter");
        QVERIFY(enter && enter->isVisible() && enter->isEnabled());
        const QPoint inScene =
            enter->mapToScene(QPointF(enter->width() / 2, enter->height() / 2)).toPoint();
        global = parts::login::Flash()->mapToGlobal(inScene);
        t0 = testsupport::nextClickTime();
        frmLogin->winId();
        testsupport::clickAt(frmLogin->windowHandle(), frmLogin->mapFromGlobal(global), t0);
    });
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!frmIntro->isShowingModal() || !frmIntro->isVisible() || early >= 0)
            return;
        signedIn = frmMain->state().CurrentUser().isValid();
        QWidget *scene = parts::home::Flash();
        testsupport::PressCounter counter;
        scene->installEventFilter(&counter);
        frmIntro->winId();
        testsupport::clickAt(frmIntro->windowHandle(), frmIntro->mapFromGlobal(global), t0 + 150);
        early = counter.presses;
        // Later, a plain click where nothing is pressed.
        testsupport::clickAt(frmIntro->windowHandle(), scene->mapTo(frmIntro, QPoint(2, 2)),
                             t0 + 200 + 2 * QGuiApplication::styleHints()->mouseDoubleClickInterval());
        late = counter.presses;
        scene->removeEventFilter(&counter);
        frmIntro->closeScreen();
    });
    poll.start(5);
    frmMain->start();
    poll.stop();
    QVERIFY(signedIn);
    QCOMPARE(early, 0);
    QCOMPARE(late, 1);
    QVERIFY(!frmTest->isVisible());
}

void TestWindowSet::startWindowsLeaveTheOthersToFirstShowing()
{
    destroyWindowSet();
    createStartWindows();
    QVERIFY(frmMain && frmLogin);
    QVERIFY(!frmIntro && !frmTest && !frmAbout && !frmStat && !frmFont && !frmBookmark &&
            !frmOtcher && !frmReview);

    // Sign in, then open each screen of the home screen in turn and close
    // it; each must come up, with its movie where it has one.
    const QStringList commands{"DoEbout2", "DoFont", "DoStat", "DoReport", "DoBookmark"};
    int next = 0;
    QStringList opened, withoutScene;
    bool homeHadScene = false;
    QWidget *last = nullptr;
    const auto later = [](std::function<void()> step) { QTimer::singleShot(0, qApp, step); };
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *top = qobject_cast<ui::ModalScreen *>(QApplication::activeModalWidget());
        if (!top || top == last)
            return;
        last = top;
        if (top == frmLogin) {
            later([] {
                parts::login::LBNames()->setCurrentIndex(0);
                frmLogin->FlashFSCommand("Enter", {});
            });
        } else if (top == frmIntro) {
            homeHadScene = parts::home::Flash()->rootItem() != nullptr;
            const QString command = next < commands.size() ? commands[next++] : QString("exit");
            later([command] { frmIntro->FlashFSCommand(command, {}); });
        } else {
            opened << top->objectName();
            const QList<movie::MovieControl *> movies = top->findChildren<movie::MovieControl *>();
            for (movie::MovieControl *m : movies) {
                if (!m->movie().isEmpty() && !m->rootItem())
                    withoutScene << top->objectName();
            }
            later([top] { top->closeScreen(); });
        }
    });
    poll.start(5);
    frmMain->start();
    poll.stop();
    QVERIFY(homeHadScene);
    QCOMPARE(opened, QStringList({"frmAbout", "frmFont", "frmStat", "frmOtcher", "frmBookmark"}));
    QVERIFY2(withoutScene.isEmpty(), qPrintable(withoutScene.join(' ')));
    QVERIFY(frmMain->isClosing());
    QVERIFY(!frmTest && !frmReview);
}

QTEST_MAIN(TestWindowSet)
#include "tst_windowset.moc"
