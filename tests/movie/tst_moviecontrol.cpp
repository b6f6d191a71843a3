#include "common/CourseFolder.h"
#include "movie/MovieControl.h"
#include "movie/MovieAccessible.h"
#include "movie/MovieScreen.h"
#include "ui/AccessibleFrames.h"
#include "ui/ModalScreen.h"
#include "ui/Dialogs.h"

#include <QAccessible>
#include <QDialog>
#include <QFrame>
#include <QPushButton>
#include <QPointer>
#include <QQuickWidget>
#include <QScopeGuard>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTcpServer>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
QString fixture(const QString &name)
{
    return QStringLiteral(TARVEL_TEST_DATA "/movie/") + name;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A course folder made current for as long as it lives, with pictures/.
struct Course
{
    Course()
    {
        QDir(folder.path()).mkpath(QStringLiteral("pictures"));
        folder.enter();
    }
    QString picture(const QString &name) const { return folder.filePath(QStringLiteral("pictures/") + name); }

    testsupport::CourseFolder folder;
};

// Collects the program's messages for as long as it lives.
struct Messages
{
    Messages()
    {
        ui::setMessageHook([this](const QString &text) { texts << text; });
    }
    ~Messages() { ui::setMessageHook({}); }
    QStringList texts;
};

// A screen whose face is one movie, keeping the commands it is given.
class ProbeScreen : public movie::MovieScreen
{
public:
    explicit ProbeScreen(const movie::ScreenFrame &frame) : movie::MovieScreen(frame, nullptr) {}
    void FlashFSCommand(const QString &command, const QString &args) override
    {
        commands << command + QLatin1Char('|') + args;
    }
    using movie::MovieScreen::movieControl;
    using movie::MovieScreen::setEscapeCloses;
    QStringList commands;
};

// A scene as the textbook's are made: controls and texts inside boxes that
// only place them, one control hidden, and a button drawn with plain Qt Quick
// items that names itself through Accessible.
const QByteArray kAccessScene = R"(import QtQuick
import QtQuick.Controls.Basic
Rectangle {
    id: root
    width: 400; height: 300
    signal fsCommand(string command, string args)
    Item {
        Text { text: "Добро пожаловать!" }
        Rectangle {
            y: 40; width: 200; height: 100
            Button { objectName: "DoGo"; text: "Войти"; Accessible.name: text
                     onClicked: root.fsCommand(objectName, "") }
        }
    }
    TextField { objectName: "eName"; y: 150; Accessible.name: "Имя" }
    Button { objectName: "DoHidden"; y: 200; text: "Сохранить"; visible: false }
    Button { objectName: "close"; y: 250; text: "Закрыть"; onClicked: root.fsCommand(objectName, "") }
    Rectangle {
        objectName: "DoPlain"; x: 200; y: 250; width: 80; height: 30
        activeFocusOnTab: true
        Accessible.role: Accessible.Button
        Accessible.name: "Справка"
        Accessible.onPressAction: root.fsCommand(objectName, "")
        Text { text: "Справка" }
    }
    // A decoration made of texts, and a chart told as one text whose marks
    // are named and drawn with texts of their own.
    Grid { Accessible.ignored: true; Text { text: "0" } Text { text: "1" } }
    Item {
        y: 280; width: 100; height: 20
        Accessible.role: Accessible.StaticText; Accessible.name: "Ход изучения"
        Item {
            width: 20; height: 20
            Accessible.role: Accessible.StaticText; Accessible.name: "Лекция 1: открывалась"
            Text { text: "Л1" }
        }
    }
}
)";

// Every node under iface, each checked to know its own parent and place.
void walkTree(QAccessibleInterface *iface, QStringList &seen, int depth = 0)
{
    QVERIFY(depth < 20);
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        QVERIFY(child);
        const QString name = child->text(QAccessible::Name);
        QVERIFY2(child->parent() && child->parent()->object() == iface->object(), qPrintable(name));
        QVERIFY2(iface->indexOfChild(child) == i, qPrintable(name));
        QVERIFY2(child->window(), qPrintable(name));
        seen << QStringLiteral("%1:%2%3").arg(name).arg(int(child->role())).arg(
                    child->state().invisible ? QStringLiteral(":hidden") : QString());
        walkTree(child, seen, depth + 1);
    }
}

} // namespace

Q_DECLARE_METATYPE(movie::ScreenFrame)

class TestMovieControl : public QObject
{
    Q_OBJECT
private slots:
    void operations_data();
    void operations();
    void badFilesShowAnEmptyScene_data();
    void badFilesShowAnEmptyScene();
    void moviePathUsesCurrentDirectory();
    void commandsArriveFromTheEventLoop();
    void handlerMayReplaceTheFiringMovie();
    void handlerMayCloseItsWindow();
    void handlerMayOpenAModalWindow();
    void sceneScalesToFit();
    void courseQmldirLoadsNoPlugin();
    void moviesReachNeitherNetworkNorOtherFiles();
    void runawayScriptsAreStopped_data();
    void runawayScriptsAreStopped();
    void theProgramsOwnLongWorkStopsNoScene();
    void theProgramsOwnLongWorkWhileASceneIsShown();
    void stoppedScriptClosesNoWindow();
    void brokenMovieClosesAFramelessWindow();
    void movieScreenSetUp_data();
    void movieScreenSetUp();
    void screenReadersSeeEveryControl();
    void focusInsideTheSceneIsTold();
    void aChangingCaptionIsToldWhileTheKeyboardIsInTheScene();
    void aSceneLoadedLaterKeepsItsPlaceInTheTabChain();
    void aFrameAroundAMovieIsNoWindow();
    void aScreenHiddenUnderAnotherIsNotShowing_data();
    void aScreenHiddenUnderAnotherIsNotShowing();
    void escapeGoesThroughTheScreensClose_data();
    void escapeGoesThroughTheScreensClose();
};

void TestMovieControl::operations_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root property") << "greeting" << "привет" << "привет";
    QTest::newRow("named text field") << "eName" << "Пётр" << "Пётр";
    QTest::newRow("dotted path") << "radioGroup.m" << "true" << "true";
    QTest::newRow("unknown name") << "nothing" << "x" << "";
    QTest::newRow("unknown object") << "nobody.m" << "x" << "";
    QTest::newRow("unknown property") << "radioGroup.zz" << "x" << "";
}

void TestMovieControl::operations()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    movie::MovieControl control;
    control.resize(400, 300);
    control.setMovie(fixture("probe.qml"));
    QCOMPARE(control.movie(), fixture("probe.qml"));
    QVERIFY(control.rootItem());

    control.GotoFrame(41);
    QCOMPARE(control.rootItem()->property("frame").toInt(), 41);
    control.Play();
    control.Play();
    QCOMPARE(control.rootItem()->property("plays").toInt(), 2);

    control.SetVariable(variable, value);
    QCOMPARE(control.GetVariable(variable), expected);
    // No stray dynamic properties appear for names the scene lacks.
    QVERIFY(control.rootItem()->dynamicPropertyNames().isEmpty());
}

void TestMovieControl::badFilesShowAnEmptyScene_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << fixture("no-such-movie.qml");
    QTest::newRow("broken") << fixture("broken.qml");
    QTest::newRow("not a visual item") << fixture("notitem.qml");
    QTest::newRow("a folder") << fixture("");
}

void TestMovieControl::badFilesShowAnEmptyScene()
{
    QFETCH(QString, path);
    Messages messages;
    movie::MovieControl control;
    control.setMovie(fixture("probe.qml"));
    QVERIFY(control.rootItem());
    control.setMovie(path);
    QCOMPARE(control.movie(), path);
    QVERIFY(!control.rootItem());
    // Every operation still works on the empty scene.
    control.GotoFrame(1);
    control.Play();
    control.SetVariable("greeting", "x");
    QCOMPARE(control.GetVariable("greeting"), QString());
    QVERIFY(!control.click("DoGo"));
    // And the next good movie loads as usual.
    control.setMovie(fixture("probe.qml"));
    QVERIFY(control.rootItem());
    // A file that is there but fails is reported, naming it; a missing one
    // (or a folder) is not.
    QCoreApplication::processEvents();
    const bool there = QFileInfo(path).isFile();
    QCOMPARE(messages.texts.size(), there ? 1 : 0);
    if (there)
        QVERIFY2(messages.texts[0].contains(QDir::toNativeSeparators(path)), qPrintable(messages.texts[0]));
}

void TestMovieControl::moviePathUsesCurrentDirectory()
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const QString path = movie::MovieControl::moviePath("Main");
    QDir::setCurrent(old);
    QCOMPARE(path, QDir(dir.path()).canonicalPath() + "/pictures/Main.qml");
}

void TestMovieControl::commandsArriveFromTheEventLoop()
{
    movie::MovieControl control;
    control.setMovie(fixture("probe.qml"));
    QSignalSpy spy(&control, &movie::MovieControl::fsCommand);
    QVERIFY(control.click("DoGo"));
    QCOMPARE(spy.count(), 0); // not from inside the scene's own code
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString("DoGo"));
    QCOMPARE(spy.at(0).at(1).toString(), QString("arg"));
}

void TestMovieControl::handlerMayReplaceTheFiringMovie()
{
    movie::MovieControl control;
    control.setMovie(fixture("probe.qml"));
    int handled = 0;
    connect(&control, &movie::MovieControl::fsCommand, &control, [&](const QString &) {
        ++handled;
        control.setMovie(fixture("probe.qml"));
        control.GotoFrame(2);
    });
    QVERIFY(control.click("DoGo"));
    QTRY_COMPARE(handled, 1);
    QVERIFY(control.rootItem());
    QCOMPARE(control.rootItem()->property("frame").toInt(), 2);
    // The new scene answers too.
    QVERIFY(control.click("DoGo"));
    QTRY_COMPARE(handled, 2);
}

void TestMovieControl::handlerMayCloseItsWindow()
{
    QDialog window;
    auto *control = new movie::MovieControl(&window);
    control->setMovie(fixture("probe.qml"));
    connect(control, &movie::MovieControl::fsCommand, &window, [&] { window.reject(); });
    QTimer::singleShot(0, &window, [&] { control->click("DoGo"); });
    QCOMPARE(window.exec(), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
}

void TestMovieControl::handlerMayOpenAModalWindow()
{
    movie::MovieControl control;
    control.setMovie(fixture("probe.qml"));
    bool nestedRan = false;
    connect(&control, &movie::MovieControl::fsCommand, &control, [&] {
        QDialog modal;
        QTimer::singleShot(0, &modal, [&] {
            nestedRan = true;
            // Inside the nested loop the movie is still alive and usable.
            control.GotoFrame(7);
            modal.accept();
        });
        modal.exec();
        control.setMovie(fixture("probe.qml"));
    });
    QVERIFY(control.click("DoGo"));
    QTRY_VERIFY(nestedRan);
    QVERIFY(control.rootItem());
}

void TestMovieControl::sceneScalesToFit()
{
    movie::MovieControl control;
    control.resize(800, 300); // twice as wide as the scene's proportions allow
    control.show();
    control.setMovie(fixture("probe.qml"));
    QQuickItem *root = control.rootItem();
    QVERIFY(root);
    QCOMPARE(root->scale(), 1.0);
    QCOMPARE(root->x(), 200.0); // centred
    control.resize(200, 150);
    QCOMPARE(root->scale(), 0.5);
    QCOMPARE(root->width(), 400.0); // the design size is kept
}

// A qmldir of the course naming a native plugin loads no library into the
// program: the movie that would see it is refused, with the qmldir named.
// (The "library" is no library: had it been loaded, Qt would have said so.)
void TestMovieControl::courseQmldirLoadsNoPlugin()
{
    Course course;
    writeFile(course.picture("qmldir"), "module pictures\nplugin evil\n");
    writeFile(course.picture("libevil.so"), "not a library");
    writeFile(course.picture("login.qml"), "import QtQuick\nRectangle { width: 40; height: 30 }\n");
    Messages messages;
    movie::MovieControl control;
    control.setMovie(movie::MovieControl::moviePath("login"));
    QVERIFY(!control.rootItem());
    QTRY_COMPARE(messages.texts.size(), 1);
    QVERIFY2(messages.texts[0].contains(QStringLiteral("qmldir")), qPrintable(messages.texts[0]));
}

// A movie's images and requests go nowhere but the course folder: an http
// image makes no connection, a file elsewhere on the machine is not read.
void TestMovieControl::moviesReachNeitherNetworkNorOtherFiles()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir outside;
    QImage red(4, 4, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(outside.filePath("secret.png")));

    Course course;
    QVERIFY(red.save(course.picture("own.png")));
    const QByteArray http = QStringLiteral("http://127.0.0.1:%1/x.png").arg(server.serverPort()).toUtf8();
    writeFile(course.picture("Main.qml"),
              "import QtQuick\n"
              "Rectangle { width: 40; height: 30\n"
              "  Image { objectName: 'net'; source: '" + http + "' }\n"
              "  Image { objectName: 'elsewhere'; source: '" +
                  QUrl::fromLocalFile(outside.filePath("secret.png")).toEncoded() + "' }\n"
              "  Image { objectName: 'escape'; source: '../../" +
                  QDir(course.folder.path()).relativeFilePath(outside.filePath("secret.png")).toUtf8() + "' }\n"
              "  Image { objectName: 'own'; source: 'own.png' }\n"
              "  Component.onCompleted: { var r = new XMLHttpRequest(); r.open('GET', '" + http + "'); r.send() }\n"
              "}\n");
    Messages messages;
    movie::MovieControl control;
    control.setMovie(movie::MovieControl::moviePath("Main"));
    QVERIFY(control.rootItem());
    // Image.Ready is 1, Image.Error 3.
    QTRY_COMPARE(control.findControl("own")->property("status").toInt(), 1);
    for (const char *name : {"net", "elsewhere", "escape"})
        QTRY_COMPARE_WITH_TIMEOUT(control.findControl(name)->property("status").toInt(), 3, 10000);
    QCoreApplication::processEvents();
    QVERIFY(!server.waitForNewConnection(0));
}

void TestMovieControl::runawayScriptsAreStopped_data()
{
    QTest::addColumn<QByteArray>("scene");
    QTest::newRow("while loading") << QByteArray(
        "import QtQuick\nRectangle { width: 40; height: 30\n"
        "  Component.onCompleted: { while (true) {} } }\n");
    QTest::newRow("from a timer") << QByteArray(
        "import QtQuick\nRectangle { width: 40; height: 30\n"
        "  Timer { running: true; interval: 10; onTriggered: { while (true) {} } } }\n");
    // Called often enough that the engine would compile it.
    QTest::newRow("a function called many times") << QByteArray(
        "import QtQuick\nRectangle { width: 40; height: 30\n"
        "  function spin(n) { var k = 0; while (n === 0 || k < n) ++k; return k }\n"
        "  Timer { running: true; interval: 10; onTriggered: { for (var i = 0; i < 50; ++i) spin(100); spin(0) } } }\n");
}

// A script that never returns is stopped; the learner is told which movie
// failed, the scene is dropped and the program goes on.
void TestMovieControl::runawayScriptsAreStopped()
{
    QFETCH(QByteArray, scene);
    Course course;
    writeFile(course.picture("zero.qml"), scene);
    Messages messages;
    movie::MovieControl control;
    QSignalSpy failed(&control, &movie::MovieControl::loadFailed);
    control.setMovie(movie::MovieControl::moviePath("zero"));
    QTRY_VERIFY_WITH_TIMEOUT(!messages.texts.isEmpty(), 60000);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!control.rootItem());
    QVERIFY2(messages.texts[0].contains(QStringLiteral("zero.qml")), qPrintable(messages.texts[0]));
    // The engine runs scripts again.
    control.setMovie(fixture("probe.qml"));
    QVERIFY(control.rootItem());
    control.Play();
    QCOMPARE(control.rootItem()->property("plays").toInt(), 1);
}

// The program may be busy longer than a script is allowed (a long page laid
// out, the search index built) while a scene is on show. A scene created
// right after must still run its start-up scripts and be shown: that time
// was not its scripts'.
void TestMovieControl::theProgramsOwnLongWorkStopsNoScene()
{
    Course course;
    writeFile(course.picture("started.qml"), "import QtQuick\nRectangle { width: 40; height: 30\n"
                                             "  property bool started: false\n"
                                             "  Component.onCompleted: started = true }\n");
    Messages messages;
    movie::MovieControl shown; // a live scene keeps the watchdog armed
    shown.setMovie(fixture("probe.qml"));
    QVERIFY(shown.rootItem());
    movie::MovieControl next;
    QSignalSpy failed(&next, &movie::MovieControl::loadFailed);

    // Longer than a script may run, without a turn of the event loop.
    QTest::qSleep(5600);
    next.setMovie(movie::MovieControl::moviePath("started"));

    QVERIFY(next.rootItem());
    QVERIFY(next.rootItem()->property("started").toBool());
    QCOMPARE(failed.count(), 0);
    QCoreApplication::processEvents();
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
}

// The program's own long work on the GUI thread while a scene is on show
// (a page laid out, a save on a slow share) is no runaway script: no scene
// is dropped and nothing is reported.
void TestMovieControl::theProgramsOwnLongWorkWhileASceneIsShown()
{
    Messages messages;
    QWidget window(nullptr, Qt::FramelessWindowHint);
    auto *control = new movie::MovieControl(&window);
    window.show();
    control->setMovie(fixture("probe.qml"));
    QVERIFY(control->rootItem());
    QCoreApplication::processEvents();
    // Busy, not asleep: the work is the program's, in the GUI thread.
    QElapsedTimer busy;
    busy.start();
    volatile quint64 sum = 0;
    while (busy.elapsed() < 6500)
        sum = sum + quint64(busy.nsecsElapsed() % 7);
    QTest::qWait(600);
    QVERIFY(control->rootItem());
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
    QVERIFY(window.isVisible());
}

// A script stopped by the watchdog drops its scene and says so, but closes
// no window: the home screen's close would end the program.
void TestMovieControl::stoppedScriptClosesNoWindow()
{
    Course course;
    writeFile(course.picture("Main.qml"), "import QtQuick\nRectangle { width: 40; height: 30\n"
                                          "  Timer { running: true; interval: 10; onTriggered: { while (true) {} } } }\n");
    Messages messages;
    QWidget window(nullptr, Qt::FramelessWindowHint);
    auto *control = new movie::MovieControl(&window);
    window.show();
    control->setMovie(movie::MovieControl::moviePath("Main"));
    QTRY_COMPARE_WITH_TIMEOUT(messages.texts.size(), 1, 60000);
    QVERIFY(!control->rootItem());
    QTest::qWait(100);
    QVERIFY(window.isVisible());
}

// A frameless screen whose movie fails has no button left to close it: it
// is closed once the learner has been told.
void TestMovieControl::brokenMovieClosesAFramelessWindow()
{
    Course course;
    writeFile(course.picture("login.qml"), "import QtQuick\nimport NoSuchModule\nRectangle {}\n");
    Messages messages;
    QWidget window(nullptr, Qt::FramelessWindowHint);
    auto *control = new movie::MovieControl(&window);
    window.show();
    control->setMovie(movie::MovieControl::moviePath("login"));
    QTRY_COMPARE(messages.texts.size(), 1);
    QVERIFY2(messages.texts[0].contains(QStringLiteral("login.qml")), qPrintable(messages.texts[0]));
    QTRY_VERIFY(!window.isVisible());
}

void TestMovieControl::movieScreenSetUp_data()
{
    QTest::addColumn<movie::ScreenFrame>("frame");
    QTest::addColumn<QRect>("movieGeometry");
    QTest::newRow("fixed and placed") << movie::ScreenFrame{"frmProbe", "Закладки", QSize(550, 400),
                                                           QPoint(270, 187)}
                                      << QRect(0, 0, 550, 400);
    // The home screen sizes itself and centres a movie of its own size.
    QTest::newRow("sized by the screen")
        << movie::ScreenFrame{"frmProbe", "Тарвел", QSize(), std::nullopt, "Flash", QSize(800, 600)}
        << QRect(0, 0, 800, 600);
    QTest::newRow("own movie name")
        << movie::ScreenFrame{"frmProbe", "О программе", QSize(551, 400), std::nullopt, "FlashEbout"}
        << QRect(0, 0, 551, 400);
}

void TestMovieControl::movieScreenSetUp()
{
    QFETCH(movie::ScreenFrame, frame);
    QFETCH(QRect, movieGeometry);
    ProbeScreen screen(frame);
    QCOMPARE(screen.objectName(), frame.objectName);
    QCOMPARE(screen.windowTitle(), frame.title);
    QVERIFY(screen.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(screen.isModal());
    if (frame.size.isEmpty()) {
        QCOMPARE(screen.minimumSize(), QSize(0, 0));
    } else {
        QCOMPARE(screen.minimumSize(), frame.size);
        QCOMPARE(screen.maximumSize(), frame.size);
    }
    if (frame.position)
        QCOMPARE(screen.pos(), *frame.position);

    movie::MovieControl *control = screen.movieControl();
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), &screen);
    QCOMPARE(control->objectName(), frame.movieName);
    QCOMPARE(screen.findChild<movie::MovieControl *>(frame.movieName), control);
    QCOMPARE(control->geometry(), movieGeometry);

    // The movie's commands reach the screen's own handler, from the event loop.
    control->setMovie(fixture("probe.qml"));
    QVERIFY(control->click("DoGo"));
    QVERIFY(screen.commands.isEmpty());
    QTRY_COMPARE(screen.commands, QStringList{"DoGo|arg"});
}

// What a screen reader finds of a scene: every control and text with its
// true parent and index (the toolkit's own answer gave none), its role and
// name, and the hidden control marked hidden.
void TestMovieControl::screenReadersSeeEveryControl()
{
    Course course;
    writeFile(course.picture("access.qml"), kAccessScene);
    QWidget window;
    window.resize(400, 300);
    auto *control = new movie::MovieControl(&window);
    control->resize(400, 300);
    window.show();
    control->setMovie(course.picture("access.qml"));
    QVERIFY(control->rootItem());
    // The scene's view is made with the first movie and shown a turn later.
    auto *sceneView = control->findChild<QQuickWidget *>();
    QVERIFY(sceneView);
    QTRY_VERIFY(sceneView->isVisible());

    QAccessibleInterface *top = QAccessible::queryAccessibleInterface(control);
    QVERIFY(top);
    QStringList seen;
    walkTree(top, seen);
    if (QTest::currentTestFailed())
        return;
    const QString button = QString::number(int(QAccessible::Button));
    const QString text = QString::number(int(QAccessible::StaticText));
    const QString field = QString::number(int(QAccessible::EditableText));
    const QString group = QString::number(int(QAccessible::Client));
    QCOMPARE(seen, QStringList({":" + group, "Добро пожаловать!:" + text, "Войти:" + button,
                                "Имя:" + field, "Сохранить:" + button + ":hidden",
                                "Закрыть:" + button, "Справка:" + button, "Ход изучения:" + text,
                                "Лекция 1: открывалась:" + text}));

    // The reader's press is the control's click, for a toolkit button and
    // for one that only answers the press action.
    QAccessibleInterface *view = top->child(0);
    QSignalSpy commands(control, &movie::MovieControl::fsCommand);
    for (const int index : {1, 5}) {
        QAccessibleInterface *button = view->child(index);
        QVERIFY(button && button->actionInterface());
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    QTRY_COMPARE(commands.size(), 2);
    QCOMPARE(commands.at(0).first().toString(), QStringLiteral("DoGo"));
    QCOMPARE(commands.at(1).first().toString(), QStringLiteral("DoPlain"));
}

// Tab inside a scene moves no widget focus; the scene's control that takes
// it is told to assistive technology, and is the one shown focused.
void TestMovieControl::focusInsideTheSceneIsTold()
{
    Course course;
    writeFile(course.picture("access.qml"), kAccessScene);
    QWidget window;
    window.resize(400, 300);
    auto *control = new movie::MovieControl(&window);
    control->resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    control->setMovie(course.picture("access.qml"));
    QTRY_VERIFY(control->findChild<QQuickWidget *>()->isVisible());
    QList<QPointer<QObject>> told;
    movie::access::setEventWatcher([&told](QObject *object, QAccessible::Event type) {
        if (type == QAccessible::Focus)
            told << object;
    });
    const auto unwatch = qScopeGuard([] { movie::access::setEventWatcher(nullptr); });
    control->setFocus(Qt::OtherFocusReason);
    auto *name = qobject_cast<QQuickItem *>(control->findControl("eName"));
    QVERIFY(name);
    name->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!told.isEmpty() && told.last() == name);
    QVERIFY(QAccessible::queryAccessibleInterface(name)->state().focused);
    QVERIFY(!QAccessible::queryAccessibleInterface(control->findControl("DoGo"))->state().focused);
}

// A movie's step caption changes away from the focus; a screen reader hears
// it only if it is told. Told while the keyboard is in the scene (the learner
// steps through the movie), not while it runs beside the page being read.
void TestMovieControl::aChangingCaptionIsToldWhileTheKeyboardIsInTheScene()
{
    Course course;
    writeFile(course.picture("steps.qml"), R"(import QtQuick
Rectangle {
    width: 400; height: 300
    property int step: 0
    signal fsCommand(string command, string args)
    Text { objectName: "caption"; text: ["Бит", "Байт", ""][step]; Accessible.role: Accessible.Notification }
    Rectangle {
        objectName: "step"; y: 100; width: 80; height: 30
        activeFocusOnTab: true
        Accessible.role: Accessible.Button; Accessible.name: "Шаг"
    }
}
)");
    QWidget window;
    window.resize(400, 340);
    auto *other = new QPushButton(QStringLiteral("Страница"), &window);
    other->setGeometry(0, 310, 100, 30);
    auto *control = new movie::MovieControl(&window);
    control->resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    control->setMovie(course.picture("steps.qml"));
    QTRY_VERIFY(control->findChild<QQuickWidget *>()->isVisible());
    QObject *caption = control->findControl("caption");
    QVERIFY(caption);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(caption);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Notification);

    QStringList told;
    movie::access::setEventWatcher([&told](QObject *object, QAccessible::Event type) {
        if (type == QAccessible::ObjectShow)
            told << QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    });
    const auto unwatch = qScopeGuard([] { movie::access::setEventWatcher(nullptr); });

    other->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(other->hasFocus());
    control->rootItem()->setProperty("step", 1);
    QVERIFY(told.isEmpty());

    control->setFocus(Qt::TabFocusReason);
    qobject_cast<QQuickItem *>(control->findControl("step"))->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(control->findChild<QQuickWidget *>()->hasFocus());
    control->rootItem()->setProperty("step", 0);
    control->rootItem()->setProperty("step", 2); // an empty caption says nothing
    QCOMPARE(told, QStringList{QStringLiteral("Бит")});
}

// A scene is built on its first movie, after the window's other controls:
// Tab still reaches it where its control stands, not after all the others.
void TestMovieControl::aSceneLoadedLaterKeepsItsPlaceInTheTabChain()
{
    Course course;
    writeFile(course.picture("access.qml"), kAccessScene);
    QWidget window;
    window.resize(400, 400);
    auto *before = new QPushButton(QStringLiteral("До"), &window);
    auto *control = new movie::MovieControl(&window);
    control->setGeometry(0, 40, 400, 300);
    auto *after = new QPushButton(QStringLiteral("После"), &window);
    after->move(0, 350);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    control->setMovie(course.picture("access.qml"));
    auto *view = control->findChild<QQuickWidget *>();
    QTRY_VERIFY(view && view->isVisible());
    QCOMPARE(before->nextInFocusChain(), control);
    QCOMPARE(control->nextInFocusChain(), view);
    QCOMPARE(view->nextInFocusChain(), after);
}

// The reader keeps its toolbar and movie panel in plain frames. A screen
// reader takes the nearest ancestor told as a window for the control's
// window, and reads nothing from one that is never active: going up from a
// scene's button, the first window met must be the real one.
void TestMovieControl::aFrameAroundAMovieIsNoWindow()
{
    ui::installAccessibleFrames();
    Course course;
    writeFile(course.picture("access.qml"), kAccessScene);
    QWidget window;
    window.resize(400, 300);
    auto *frame = new QFrame(&window);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->resize(400, 300);
    auto *control = new movie::MovieControl(frame);
    control->resize(400, 300);
    window.show();
    control->setMovie(course.picture("access.qml"));
    QTRY_VERIFY(control->findChild<QQuickWidget *>()->isVisible());

    QAccessibleInterface *button = QAccessible::queryAccessibleInterface(control->findControl("DoGo"));
    QVERIFY(button);
    QStringList path;
    QAccessibleInterface *windowLike = nullptr;
    for (QAccessibleInterface *up = button->parent(); up && !windowLike; up = up->parent()) {
        path << QString::fromLatin1(up->object() ? up->object()->metaObject()->className() : "?");
        const QAccessible::Role role = up->role();
        if (role == QAccessible::Window || role == QAccessible::Dialog || role == QAccessible::Border ||
            up->object() == &window)
            windowLike = up;
    }
    QVERIFY2(windowLike && windowLike->object() == &window, qPrintable(path.join(QLatin1String(" > "))));
    // The frame is still there, holding the movie.
    QAccessibleInterface *frameFace = QAccessible::queryAccessibleInterface(frame);
    QCOMPARE(frameFace->role(), QAccessible::Pane);
    QCOMPARE(frameFace->indexOfChild(QAccessible::queryAccessibleInterface(control)), 0);
}

void TestMovieControl::aScreenHiddenUnderAnotherIsNotShowing_data()
{
    QTest::addColumn<QSize>("upperSize");
    QTest::addColumn<bool>("covered");
    // The home screen over the sign-in screen.
    QTest::newRow("hides all of it") << QSize(900, 700) << true;
    // A message box or a small screen over part of it.
    QTest::newRow("over a part") << QSize(200, 100) << false;
}

// A screen reader's review of the desktop offers what shows: a screen whose
// loop goes on under another that hides it is not showing, until that one
// closes.
void TestMovieControl::aScreenHiddenUnderAnotherIsNotShowing()
{
    QFETCH(QSize, upperSize);
    QFETCH(bool, covered);
    ui::ModalScreen::setAvailableDesktopSource([] { return QRect(0, 0, 1280, 1024); });
    const auto desktop = qScopeGuard([] { ui::ModalScreen::setAvailableDesktopSource(nullptr); });
    ProbeScreen lower({"frmLower", "Тарвел", QSize(400, 300), std::nullopt});
    ProbeScreen upper({"frmUpper", "Тарвел", upperSize, std::nullopt});
    bool hiddenUnder = false;
    bool upperShowing = false;
    bool showingAgain = false;
    QTimer::singleShot(0, &lower, [&] {
        QTimer::singleShot(0, &upper, [&] {
            QCoreApplication::processEvents();
            hiddenUnder = QAccessible::queryAccessibleInterface(&lower)->state().invisible;
            upperShowing = !QAccessible::queryAccessibleInterface(&upper)->state().invisible;
            upper.closeScreen();
        });
        upper.showModal();
        showingAgain = !QAccessible::queryAccessibleInterface(&lower)->state().invisible;
        lower.closeScreen();
    });
    lower.showModal();
    QCOMPARE(hiddenUnder, covered);
    QVERIFY(upperShowing);
    QVERIFY(showingAgain);
    QCOMPARE(QAccessible::queryAccessibleInterface(&lower)->role(), QAccessible::Dialog);
}

void TestMovieControl::escapeGoesThroughTheScreensClose_data()
{
    QTest::addColumn<bool>("escapeCloses");
    QTest::addColumn<bool>("fromInsideTheScene");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("sub-screen") << true << false << QStringList{"close|"};
    QTest::newRow("sub-screen, keys in the scene") << true << true << QStringList{"close|"};
    // The sign-in and home screens: their close ends the program.
    QTest::newRow("screen that keeps Escape") << false << true << QStringList{};
}

void TestMovieControl::escapeGoesThroughTheScreensClose()
{
    QFETCH(bool, escapeCloses);
    QFETCH(bool, fromInsideTheScene);
    QFETCH(QStringList, commands);
    Course course;
    writeFile(course.picture("access.qml"), kAccessScene);
    ProbeScreen screen({"frmProbe", "Закладки", QSize(400, 300), std::nullopt});
    screen.setEscapeCloses(escapeCloses);
    screen.movieControl()->setMovie(course.picture("access.qml"));
    bool stillOpen = false;
    QTimer::singleShot(0, &screen, [&] {
        QWidget *target = &screen;
        if (fromInsideTheScene) {
            target = screen.movieControl()->findChild<QQuickWidget *>();
            target->setFocus();
        }
        QTest::keyClick(target, Qt::Key_Escape);
        QCoreApplication::processEvents();
        // Escape never rejects the dialog by itself.
        stillOpen = screen.isShowingModal();
        screen.closeScreen();
    });
    screen.showModal();
    QVERIFY(stillOpen);
    QCOMPARE(screen.commands, commands);
}

QTEST_MAIN(TestMovieControl)
#include "tst_moviecontrol.moc"
