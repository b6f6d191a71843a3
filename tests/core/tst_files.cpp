// The checks on files before they are opened, and the clean-up of the
// temporary files that stopped saves leave beside their target.
#include "core/RegularFile.h"
#include "core/SaveLeftovers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Sets a file's time stamp secsAgo seconds into the past.
void age(const QString &path, qint64 secsAgo)
{
    const qint64 t = QDateTime::currentSecsSinceEpoch() - secsAgo;
    const struct timespec times[2] = {{time_t(t), 0}, {time_t(t), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void regularFiles();
    void insideAFolder_data();
    void insideAFolder();
    void openInsideChecksTheOpenedFile_data();
    void openInsideChecksTheOpenedFile();

    void saveLeftoverNames_data();
    void saveLeftoverNames();
    void saveLeftoverRemoval();

private:
    QString file(const QString &name) const { return m_root + QLatin1Char('/') + name; }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root; // resolved: the temporary folder may lie behind a link
};

void TestFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = QFileInfo(m_dir->path()).canonicalFilePath();
}

void TestFiles::cleanup()
{
    m_dir.reset();
}

// Only a regular file, or a link to one, is ever opened: a FIFO would block
// the program until a writer came.
void TestFiles::regularFiles()
{
    writeBytes(file("plain"), "x");
    writeBytes(file("empty"), "");
    QVERIFY(QFile::link(file("plain"), file("link")));
    QVERIFY(QFile::link(file("gone"), file("dangling")));
    QVERIFY(QDir(m_root).mkdir("folder"));
    QCOMPARE(::mkfifo(QFile::encodeName(file("fifo")).constData(), 0600), 0);

    QVERIFY(files::isRegular(file("plain")));
    QVERIFY(files::isRegular(file("empty")));
    QVERIFY(files::isRegular(file("link")));
    for (const char *name : {"dangling", "folder", "fifo", "gone"})
        QVERIFY2(!files::isRegular(file(QString::fromLatin1(name))), name);
    QVERIFY(!files::isRegular(QStringLiteral("/dev/zero")));
    QVERIFY(!files::isRegular(QString()));

    // The answer follows the file as it is now, not as it was first seen.
    QVERIFY(QFile::remove(file("plain")));
    QVERIFY(!files::isRegular(file("plain")));
    QVERIFY(!files::isRegular(file("link")));
}

// Paths relative to the temporary folder, which holds pictures/own.png, a
// link inside pointing out and a file beside it outside.
void TestFiles::insideAFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inside");
    QTest::newRow("a file in it") << "course/pictures/own.png" << true;
    QTest::newRow("a sub-folder") << "course/pictures" << true;
    QTest::newRow("dots that stay inside") << "course/pictures/../pictures/./own.png" << true;
    QTest::newRow("dots that lead out") << "course/pictures/../../secret.png" << false;
    QTest::newRow("a link inside to a file outside") << "course/pictures/escape.png" << false;
    QTest::newRow("the folder itself") << "course" << false;
    QTest::newRow("a folder whose name begins alike") << "course2/x.png" << false;
    QTest::newRow("a missing file") << "course/pictures/none.png" << false;
    QTest::newRow("empty") << "" << false;
}

void TestFiles::insideAFolder()
{
    QFETCH(QString, path);
    QFETCH(bool, inside);
    QVERIFY(QDir(m_root).mkpath("course/pictures"));
    QVERIFY(QDir(m_root).mkpath("course2"));
    writeBytes(file("course/pictures/own.png"), "png");
    writeBytes(file("course2/x.png"), "png");
    writeBytes(file("secret.png"), "png");
    QVERIFY(QFile::link(file("secret.png"), file("course/pictures/escape.png")));

    QCOMPARE(files::isInside(path.isEmpty() ? path : file(path), file("course")), inside);
}

// What is opened is what is checked: a link (even one pointing inside), a
// FIFO, a folder reached through a link out, a device, all refused at once.
void TestFiles::openInsideChecksTheOpenedFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("read"); // empty: refused
    QTest::newRow("a file in it") << "course/pictures/own.png" << QByteArray("own");
    QTest::newRow("dots that stay inside") << "course/pictures/../pictures/own.png" << QByteArray("own");
    QTest::newRow("dots that lead out") << "course/pictures/../../secret.png" << QByteArray();
    QTest::newRow("a link to a file outside") << "course/pictures/escape.png" << QByteArray();
    QTest::newRow("a link to a file inside") << "course/pictures/alias.png" << QByteArray();
    QTest::newRow("through a folder link out") << "course/elsewhere/secret.png" << QByteArray();
    QTest::newRow("a FIFO") << "course/pictures/fifo.png" << QByteArray();
    QTest::newRow("a folder") << "course/pictures" << QByteArray();
    QTest::newRow("a device") << "/dev/zero" << QByteArray();
    QTest::newRow("missing") << "course/pictures/none.png" << QByteArray();
}

void TestFiles::openInsideChecksTheOpenedFile()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, read);
    QVERIFY(QDir(m_root).mkpath("course/pictures"));
    writeBytes(file("course/pictures/own.png"), "own");
    writeBytes(file("secret.png"), "secret");
    QVERIFY(QFile::link(file("secret.png"), file("course/pictures/escape.png")));
    QVERIFY(QFile::link(file("course/pictures/own.png"), file("course/pictures/alias.png")));
    QVERIFY(QFile::link(m_root, file("course/elsewhere")));
    QCOMPARE(::mkfifo(QFile::encodeName(file("course/pictures/fifo.png")).constData(), 0600), 0);

    const auto opened = files::openInside(path.startsWith('/') ? path : file(path), file("course"));
    QCOMPARE(opened ? opened->readAll() : QByteArray(), read);
}

void TestFiles::saveLeftoverNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("leftover");
    QTest::newRow("a save's temporary file") << QStringLiteral("dect.chh.yIkyyE") << true;
    QTest::newRow("digits and letters") << QStringLiteral("dect.chh.0a1b2c") << true;
    QTest::newRow("digits alone: a dated copy") << QStringLiteral("dect.chh.202403") << false;
    QTest::newRow("capitals alone") << QStringLiteral("dect.chh.BACKUP") << false;
    QTest::newRow("the file itself") << QStringLiteral("dect.chh") << false;
    QTest::newRow("the lock") << QStringLiteral("dect.chh.lock") << false;
    QTest::newRow("a teacher's backup") << QStringLiteral("dect.chh.backup") << false;
    QTest::newRow("five letters") << QStringLiteral("dect.chh.abcde") << false;
    QTest::newRow("seven letters") << QStringLiteral("dect.chh.abcdefg") << false;
    QTest::newRow("a dot inside") << QStringLiteral("dect.chh.ab.def") << false;
    QTest::newRow("Cyrillic") << QStringLiteral("dect.chh.абвгде") << false;
    QTest::newRow("another file's") << QStringLiteral("dect.chx.abcdef") << false;
}

void TestFiles::saveLeftoverNames()
{
    QFETCH(QString, name);
    QFETCH(bool, leftover);
    QCOMPARE(files::isSaveLeftoverName(QStringLiteral("dect.chh"), name), leftover);
}

// At start-up only old leftovers go (another copy may be saving right now);
// after a failed save, only what that save added.
void TestFiles::saveLeftoverRemoval()
{
    const QString target = file("dect.chh");
    writeBytes(target, "<d/>");
    writeBytes(file("dect.chh.Old123"), QByteArray(1024, 'x'));
    age(file("dect.chh.Old123"), 2 * 86400);
    writeBytes(file("dect.chh.New123"), "x");
    age(file("dect.chh.New123"), 3600);
    writeBytes(file("dect.chh.backup"), "keep");
    age(file("dect.chh.backup"), 30 * 86400);
    writeBytes(file("notes.txt.Abc123"), "keep");
    age(file("notes.txt.Abc123"), 30 * 86400);
    // A link of the right name is not a save's file: neither it nor its
    // target goes.
    QTemporaryDir elsewhere;
    writeBytes(elsewhere.filePath("precious"), "keep");
    QVERIFY(QFile::link(elsewhere.filePath("precious"), file("dect.chh.Link12")));

    QCOMPARE(files::saveLeftovers(target).size(), 2);
    QCOMPARE(files::removeOldSaveLeftovers(target), 1);
    QVERIFY(!QFile::exists(file("dect.chh.Old123")));
    for (const char *kept : {"dect.chh.New123", "dect.chh.backup", "notes.txt.Abc123", "dect.chh.Link12"})
        QVERIFY2(QFileInfo::exists(file(QString::fromLatin1(kept))), kept);
    QVERIFY(QFile::exists(elsewhere.filePath("precious")));

    const QStringList before = files::saveLeftovers(target);
    writeBytes(file("dect.chh.Mine45"), "x");
    QCOMPARE(files::removeNewSaveLeftovers(target, before), 1);
    QVERIFY(!QFile::exists(file("dect.chh.Mine45")));
    QVERIFY(QFile::exists(file("dect.chh.New123")));
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
