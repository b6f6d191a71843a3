#include "movie/MovieControl.h"

#include <QDialog>
#include <QDir>
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
} // namespace

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

QTEST_MAIN(TestMovieControl)
#include "tst_moviecontrol.moc"
