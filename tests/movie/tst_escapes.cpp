// Movies written to break out of the program: each is refused with a message
// naming its file, and nothing outside the course is read, written or
// contacted. HOME is a fresh folder for the whole run, watched file by file;
// a listener on 127.0.0.1 is the address every network attempt targets.

#include "common/CourseFolder.h"
#include "movie/MovieControl.h"
#include "movie/MovieSandbox.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {
QTemporaryDir *g_home = nullptr;

const QByteArray kBashrc = "# the user's own\nalias ll='ls -l'\n";

// Every file under HOME with its size and time of change.
QStringList homeState()
{
    QStringList state;
    QDirIterator it(g_home->path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        // The engine's own cache of compiled scenes: Qt's, not the movie's.
        if (info.filePath().contains(QStringLiteral("/.cache/")) || info.fileName() == QLatin1String(".cache"))
            continue;
        state << QStringLiteral("%1 %2 %3")
                     .arg(info.filePath())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch());
    }
    state.sort();
    return state;
}

// The windows a movie engine made, still there to be shown.
int movieWindowsShown()
{
    int shown = 0;
    for (QWindow *w : QGuiApplication::allWindows())
        if (qmlEngine(w) && (w->isExposed() || w->handle()))
            ++shown;
    return shown;
}

struct Messages
{
    Messages()
    {
        ui::setMessageHook([this](const QString &text) { texts << text; });
    }
    ~Messages() { ui::setMessageHook({}); }
    QStringList texts;
};
} // namespace

class TestEscapes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void escapeMoviesAreRefused_data();
    void escapeMoviesAreRefused();
    void courseQmldirWithAPluginIsRefused_data();
    void courseQmldirWithAPluginIsRefused();
    void plainQmldirs_data();
    void plainQmldirs();
    void importsAreReadAsTheLexerReadsThem_data();
    void importsAreReadAsTheLexerReadsThem();
    void theProgramMayStillOpenItsOwnFiles();
};

void TestEscapes::initTestCase()
{
    QVERIFY(g_home->isValid());
    QFile bashrc(g_home->filePath(QStringLiteral(".bashrc")));
    QVERIFY(bashrc.open(QIODevice::WriteOnly));
    bashrc.write(kBashrc);
}

void TestEscapes::escapeMoviesAreRefused_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Settings over ~/.bashrc") << "settings" << "«Qt.labs.settings»";
    QTest::newRow("LocalStorage") << "localstorage" << "«QtQuick.LocalStorage»";
    QTest::newRow("FolderListModel of /etc") << "folderlist" << "«Qt.labs.folderlistmodel»";
    QTest::newRow("XmlListModel of dect.chh") << "xmllist" << "«QtQml.XmlListModel»";
    QTest::newRow("WebSocket") << "websocket" << "«QtWebSockets»";
    QTest::newRow("a module the course does not use") << "layouts" << "«QtQuick.Layouts»";
    QTest::newRow("a module named in a string") << "dynamicimport" << "«QtQuick.Layouts»";
    QTest::newRow("openUrlExternally while loading") << "openurl" << "в другой программе";
    QTest::newRow("openUrlExternally later, a course file") << "openurllater" << "в другой программе";
    QTest::newRow("200 full-screen windows") << "windows" << "собственное окно";
    QTest::newRow("windows made later") << "windowslater" << "собственное окно";
    QTest::newRow("an application window") << "appwindow" << "собственное окно";
}

void TestEscapes::escapeMoviesAreRefused()
{
    QFETCH(QString, fixture);
    QFETCH(QString, reason);
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));

    testsupport::CourseFolder course;
    QVERIFY(course.isValid());
    QVERIFY(QDir(course.path()).mkpath(QStringLiteral("pictures")));
    QFile source(QStringLiteral(TARVEL_TEST_DATA "/movie/escape/") + fixture + QStringLiteral(".qml"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray text = source.readAll();
    text.replace("@PORT@", QByteArray::number(listener.serverPort()));
    text.replace("@HOME@", g_home->path().toUtf8());
    const QString path = course.filePath(QStringLiteral("pictures/") + fixture + QStringLiteral(".qml"));
    QFile movieFile(path);
    QVERIFY(movieFile.open(QIODevice::WriteOnly));
    movieFile.write(text);
    movieFile.close();
    QVERIFY(course.enter());
    const QStringList homeBefore = homeState();

    Messages messages;
    {
        QWidget window;
        auto *control = new movie::MovieControl(&window);
        control->resize(200, 150);
        window.show();
        QSignalSpy failed(control, &movie::MovieControl::loadFailed);
        control->setMovie(path);
        QTRY_COMPARE_WITH_TIMEOUT(messages.texts.size(), 1, 10000);
        QVERIFY2(messages.texts[0].contains(QDir::toNativeSeparators(path)), qPrintable(messages.texts[0]));
        QVERIFY2(messages.texts[0].contains(reason), qPrintable(messages.texts[0]));
        QCOMPARE(failed.count(), 1);
        QVERIFY(!control->rootItem());
        // Time for whatever the movie set going to arrive.
        QTest::qWait(300);
        QCOMPARE(movieWindowsShown(), 0);
        QCOMPARE(messages.texts.size(), 1);
    }
    QCoreApplication::processEvents();
    QVERIFY(!listener.waitForNewConnection(200));
    QCOMPARE(homeState(), homeBefore);
    QFile bashrc(g_home->filePath(QStringLiteral(".bashrc")));
    QVERIFY(bashrc.open(QIODevice::ReadOnly));
    QCOMPARE(bashrc.readAll(), kBashrc);
}

void TestEscapes::courseQmldirWithAPluginIsRefused_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << QByteArray("plugin evil");
    QTest::newRow("optional") << QByteArray("optional plugin evil");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFplugin evil");
    QTest::newRow("no-break space") << QByteArray("\xC2\xA0plugin evil");
    QTest::newRow("ideographic space") << QByteArray("\xE3\x80\x80plugin evil");
    QTest::newRow("zero-width space") << QByteArray("\xE2\x80\x8Bplugin evil");
    QTest::newRow("tab and carriage return") << QByteArray("\tplugin\tevil\r");
    QTest::newRow("vertical tab") << QByteArray("\vplugin evil");
}

// A qmldir of the course that could load a library from the course folder
// into the program refuses every movie that sees it; the "library" is no
// library, so it is also plain that none was loaded.
void TestEscapes::courseQmldirWithAPluginIsRefused()
{
    QFETCH(QByteArray, line);
    testsupport::CourseFolder course;
    QVERIFY(QDir(course.path()).mkpath(QStringLiteral("pictures")));
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(course.filePath(QStringLiteral("pictures/") + name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(QStringLiteral("qmldir"), "module pictures\n" + line + "\n");
    write(QStringLiteral("libevil.so"), "not a library");
    write(QStringLiteral("login.qml"), "import QtQuick\nRectangle { width: 40; height: 30 }\n");
    QVERIFY(course.enter());
    Messages messages;
    movie::MovieControl control;
    control.setMovie(movie::MovieControl::moviePath(QStringLiteral("login")));
    QVERIFY(!control.rootItem());
    QTRY_COMPARE(messages.texts.size(), 1);
    QVERIFY2(messages.texts[0].contains(QStringLiteral("login.qml")), qPrintable(messages.texts[0]));
    QVERIFY2(messages.texts[0].contains(QStringLiteral("qmldir")), qPrintable(messages.texts[0]));
}

void TestEscapes::plainQmldirs_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("plain");
    QTest::newRow("the course's own") << QByteArray("module components\nsingleton Theme 1.0 Theme.qml\n"
                                                    "Icon 1.0 Icon.qml\n")
                                      << true;
    QTest::newRow("comments, blanks, CR LF") << QByteArray("# shared parts\r\n\r\nmodule a.b\r\n"
                                                           "internal Helper helper/Helper.qml\r\n"
                                                           "Tools 1.0 tools.js\r\ndesignersupported\n")
                                             << true;
    QTest::newRow("a path out of the folder") << QByteArray("Icon 1.0 ../../Icon.qml\n") << false;
    QTest::newRow("an absolute path") << QByteArray("Icon 1.0 /tmp/Icon.qml\n") << false;
    QTest::newRow("a library") << QByteArray("Icon 1.0 libevil.so\n") << false;
    QTest::newRow("classname") << QByteArray("classname Evil\n") << false;
    QTest::newRow("linktarget") << QByteArray("linktarget evil\n") << false;
    QTest::newRow("typeinfo") << QByteArray("typeinfo evil.qmltypes\n") << false;
    QTest::newRow("import of a module") << QByteArray("import Qt.labs.settings\n") << false;
    QTest::newRow("non-ASCII in a comment") << QByteArray("# \xE2\x80\xA8plugin evil\n") << false;
    QTest::newRow("NUL") << QByteArray("module a\0plugin evil\n", 22) << false;
}

void TestEscapes::plainQmldirs()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, plain);
    QCOMPARE(movie::isPlainQmldir(text), plain);
}

void TestEscapes::importsAreReadAsTheLexerReadsThem_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("refused"); // the module named, or empty
    QTest::newRow("the course's") << QByteArray("import QtQuick\nimport QtQuick.Controls.Basic 2.15\n"
                                                "import \"components\"\nItem {}\n")
                                  << QString();
    QTest::newRow("after comments and a pragma")
        << QByteArray("// x\n/* import Qt.labs.settings */\npragma Singleton\nimport QtQuick; import "
                      "Qt.labs.settings 1.0 as S\nItem {}\n")
        << "Qt.labs.settings";
    QTest::newRow("blanks the lexer skips") << QByteArray("\xEF\xBB\xBFimport\xC2\xA0QtQuick\n"
                                                          "\xE3\x80\x80import\tQtWebSockets\nItem {}\n")
                                            << "QtWebSockets";
    QTest::newRow("a script's .import") << QByteArray(".pragma library\n.import QtQuick.LocalStorage 2.0 as Sql\n")
                                        << "QtQuick.LocalStorage";
    QTest::newRow("a module a prefix of an allowed one") << QByteArray("import QtQuick.Controls\nItem {}\n")
                                                         << "QtQuick.Controls";
    QTest::newRow("words after the scene begins") << QByteArray("import QtQuick\nItem { property string "
                                                                "s: \"import Qt.labs.settings\" }\n")
                                                  << QString();
}

void TestEscapes::importsAreReadAsTheLexerReadsThem()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, refused);
    const QString reason = movie::refusedImport(source);
    if (refused.isEmpty())
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
    else
        QVERIFY2(reason.contains(QStringLiteral("«%1»").arg(refused)), qPrintable(reason));
}

// The guard on opening addresses leaves the program's own requests (a
// program of the course started from the home screen) alone: the scene on
// show is not blamed for them.
void TestEscapes::theProgramMayStillOpenItsOwnFiles()
{
    testsupport::CourseFolder course;
    QVERIFY(QDir(course.path()).mkpath(QStringLiteral("pictures")));
    QVERIFY(QFile::copy(QStringLiteral(TARVEL_TEST_DATA "/movie/probe.qml"),
                        course.filePath(QStringLiteral("pictures/Main.qml"))));
    QFile program(course.filePath(QStringLiteral("tool.txt")));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    QVERIFY(course.enter());
    Messages messages;
    movie::MovieControl control;
    control.setMovie(movie::MovieControl::moviePath(QStringLiteral("Main")));
    QVERIFY(control.rootItem());
    QCoreApplication::processEvents();
    // Under the offscreen platform nothing is started either way.
    QDesktopServices::openUrl(QUrl::fromLocalFile(program.fileName()));
    QCoreApplication::processEvents();
    QVERIFY(control.rootItem());
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
}

int main(int argc, char *argv[])
{
    // HOME and the desktop's data folders before anything reads them.
    QTemporaryDir home;
    g_home = &home;
    qputenv("HOME", home.path().toUtf8());
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qunsetenv(name);
    QApplication app(argc, argv);
    TestEscapes test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_escapes.moc"
