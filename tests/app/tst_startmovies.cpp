// The first screen's movie missing from the course: the learner is told
// which file, instead of getting a window with no frame, no face and no way
// on.

#include "app/Startup.h"
#include "common/CourseFolder.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestStartMovies : public QObject
{
    Q_OBJECT
private slots:
    void missingSignInMovieIsNamed_data();
    void missingSignInMovieIsNamed();
};

void TestStartMovies::missingSignInMovieIsNamed_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("present");
    QTest::newRow("there") << "file" << true;
    QTest::newRow("missing") << "none" << false;
    QTest::newRow("a folder in its place") << "folder" << false;
    QTest::newRow("no pictures folder") << "nofolder" << false;
}

void TestStartMovies::missingSignInMovieIsNamed()
{
    QFETCH(QString, state);
    QFETCH(bool, present);
    testsupport::CourseFolder course;
    QVERIFY(course.isValid());
    const QString movie = course.filePath(QStringLiteral("pictures/login.qml"));
    if (state != QLatin1String("nofolder"))
        QVERIFY(QDir(course.path()).mkpath(QStringLiteral("pictures")));
    if (state == QLatin1String("file")) {
        QFile f(movie);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("import QtQuick\nItem {}\n");
    } else if (state == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(movie));
    }
    QVERIFY(course.enter());
    QStringList errors;
    ui::setErrorHook([&](const QString &text) { errors << text; });
    QCOMPARE(startMoviePresent(), present);
    ui::setErrorHook({});
    if (present) {
        QVERIFY(errors.isEmpty());
    } else {
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QDir::toNativeSeparators(movie)), qPrintable(errors[0]));
        QVERIFY2(errors[0].contains(QStringLiteral("Продолжение работы невозможно")), qPrintable(errors[0]));
    }
}

QTEST_MAIN(TestStartMovies)
#include "tst_startmovies.moc"
