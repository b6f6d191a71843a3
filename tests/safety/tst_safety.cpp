#include "SafetyMarks.h"

#include "testing/Banks.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <iterator>
#include <sys/mount.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kCourse = QStringLiteral(TARVEL_COURSE_DIR "/dect.chh");

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A second opinion on the saved file, from a parser that shares nothing with
// the course data's own: strict UTF-8, then well-formed XML throughout.
QString outsideCheck(const QByteArray &bytes)
{
    if (!QByteArrayView(bytes).isValidUtf8())
        return QStringLiteral("not valid UTF-8");
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return {};
}

// True when the stopped process has a file of the folder (the temporary file
// of a save) or the folder itself (its sync after the rename) open: it is
// inside the write and the rename of a save. dect.chh itself is only open
// while it is first read.
bool insideSave(qint64 pid, const QString &folder, const QString &dataFile)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    const QString prefix = folder + QLatin1Char('/');
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char link[4096];
        const ssize_t n = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), link, sizeof link - 1);
        if (n <= 0)
            continue;
        // An unnamed temporary file reads as "<folder>/#<inode> (deleted)".
        const QString target = QFile::decodeName(QByteArray(link, qsizetype(n)));
        if (target == folder || (target.startsWith(prefix) && target != dataFile &&
                                 !target.endsWith(QLatin1String(".lock"))))
            return true;
    }
    return false;
}

QString describe(const std::set<int> &marks)
{
    QStringList parts;
    for (int m : marks)
        parts << QString::number(m);
    return parts.join(u' ');
}

} // namespace

class TestSafety : public QObject
{
    Q_OBJECT
private slots:
    void killedSaverLosesNothingSaved();
    void fullDeviceKeepsPreviousFile();
    void readsFitASmallAddressSpace();
};

// The saver is killed again and again at random moments, so that some kills
// land inside a save. After every kill the file must parse (with the course
// data's reader and with an outside one) and hold every change the saver
// reported as saved; it may hold at most one more, the one whose save
// completed just before the kill, before its report. Half of the kills are
// aimed: the saver is stopped at random moments until it is caught inside
// the write and rename of a save, and killed there. Every saver after the
// first finds the lock of a killed one and must take it over.
void TestSafety::killedSaverLosesNothingSaved()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    const QString path = folder + QStringLiteral("/dect.chh");
    QVERIFY(QFile::copy(kCourse, path));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("random seed %u", seed);
    QRandomGenerator random(seed);

    // Bounded in kills and, on a slow machine, in rounds run.
    constexpr int kKills = 200;
    constexpr qint64 kBudgetMs = 120000;
    QElapsedTimer budget;
    budget.start();

    std::set<int> confirmed; // every mark reported as saved so far
    int kills = 0, killedWhileSaving = 0, unreported = 0, changes = 0, leftovers = 0;
    int killedInsideSave = 0, staleLocks = 0;
    const QString lockFile = path + QStringLiteral(".lock");
    while (kills < kKills && budget.elapsed() < kBudgetMs) {
        if (QFile::exists(lockFile))
            ++staleLocks;
        QProcess saver;
        saver.setProcessChannelMode(QProcess::SeparateChannels);
        saver.start(QStringLiteral(TARVEL_SAVER), {path});
        QVERIFY2(saver.waitForStarted(), qPrintable(saver.errorString()));
        // Most kills come once the saver is saving, after its first report;
        // every tenth lands while it starts.
        if (kills % 10 != 0) {
            if (!saver.waitForReadyRead(30000))
                QFAIL(qPrintable("the saver saved nothing: " + saver.readAllStandardError()));
        }
        const pid_t pid = pid_t(saver.processId());
        const bool aimed = kills % 2 == 1;
        bool caught = false;
        for (int tries = 0; tries < (aimed ? 200 : 1); ++tries) {
            const int delayUs = random.bounded(kills % 10 == 0 ? 5000 : aimed ? 2000 : 20000);
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            QCOMPARE(::kill(pid, SIGSTOP), 0);
            // Stopped only once the signal has landed.
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            for (int wait = 0; wait < 10000 && stat.open(QIODevice::ReadOnly); ++wait) {
                const QByteArray fields = stat.readAll();
                stat.close();
                const qsizetype close = fields.lastIndexOf(')');
                if (close < 0 || fields.mid(close + 2, 1) == "T" || fields.mid(close + 2, 1) == "t")
                    break;
                std::this_thread::yield();
            }
            caught = insideSave(pid, folder, path);
            if (caught || !aimed)
                break;
            QCOMPARE(::kill(pid, SIGCONT), 0);
        }
        if (caught)
            ++killedInsideSave;
        QCOMPARE(::kill(pid, SIGKILL), 0);
        QVERIFY(saver.waitForFinished());
        ++kills;
        QVERIFY2(saver.exitStatus() == QProcess::CrashExit,
                 qPrintable("the saver ended by itself: " + saver.readAllStandardError()));

        std::set<int> reported;
        bool insideChange = false;
        for (const QByteArray &line : saver.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            insideChange = line.startsWith('+');
            if (insideChange)
                continue;
            bool ok = false;
            const int mark = line.toInt(&ok);
            if (ok)
                reported.insert(mark);
        }
        if (insideChange)
            ++killedWhileSaving;
        confirmed.insert(reported.begin(), reported.end());
        changes += int(reported.size());

        const QString outside = outsideCheck(readBytes(path));
        QVERIFY2(outside.isEmpty(), qPrintable(QStringLiteral("after kill %1 the file is damaged: %2")
                                                   .arg(kills)
                                                   .arg(outside)));
        learners::CourseData reread(path);
        std::set<int> onDisk;
        try {
            reread.LoadCourseData();
            onDisk = safety::marksOf(reread);
        } catch (const learners::CourseDataError &e) {
            QFAIL(qPrintable(QStringLiteral("after kill %1 the file does not load: %2")
                                 .arg(kills)
                                 .arg(e.message())));
        }
        std::set<int> missing, extra;
        std::set_difference(confirmed.begin(), confirmed.end(), onDisk.begin(), onDisk.end(),
                            std::inserter(missing, missing.end()));
        std::set_difference(onDisk.begin(), onDisk.end(), confirmed.begin(), confirmed.end(),
                            std::inserter(extra, extra.end()));
        QVERIFY2(missing.empty(), qPrintable(QStringLiteral("after kill %1 saved changes are lost: %2")
                                                 .arg(kills)
                                                 .arg(describe(missing))));
        // The one change saved but not yet reported is the next in line.
        const int next = confirmed.empty() ? safety::kFirstMark : *confirmed.rbegin() + 1;
        QVERIFY2(extra.empty() || extra == std::set<int>{next},
                 qPrintable(QStringLiteral("after kill %1 unexpected changes: %2")
                                .arg(kills)
                                .arg(describe(extra))));
        if (!extra.empty()) {
            ++unreported;
            confirmed.insert(next);
        }
        // A killed save may leave its temporary file behind (where the system
        // offers no unnamed ones), never a damaged dect.chh.
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden)) {
            if (name != QLatin1String("dect.chh") && name != QLatin1String("dect.chh.lock")) {
                ++leftovers;
                QFile::remove(dir.filePath(name));
            }
        }
    }
    qInfo("%d kills: %d inside a change or its save, %d inside the write and rename, %d changes "
          "reported saved, %d saved but not yet reported, %d temporary files left, %d stale locks "
          "taken over; file size %lld bytes",
          kills, killedWhileSaving, killedInsideSave, changes, unreported, leftovers, staleLocks,
          QFileInfo(path).size());
    QVERIFY(kills > 0);
    // The kills that matter most: inside the write and the rename.
    QVERIFY2(killedInsideSave * 4 >= kills,
             qPrintable(QStringLiteral("only %1 of %2 kills inside a save").arg(killedInsideSave).arg(kills)));
    QVERIFY2(staleLocks * 2 >= kills, "killed savers left no lock to take over");
}

// A device that fills up during a save: the save fails with a message for
// the learner, the previous file stays whole, memory keeps matching it, and
// once there is room again the next save succeeds.
void TestSafety::fullDeviceKeepsPreviousFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString mountPoint = dir.filePath(QStringLiteral("device"));
    QVERIFY(QDir().mkpath(mountPoint));
    // 128 KiB: room for the file and a filler, not for both and a fresh copy.
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                "size=128k,mode=0700") != 0)
        QSKIP("cannot mount a small tmpfs here (needs root); a file-size limit stands in for a "
              "full disk in tst_learners_coursedata");
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH); });

    const QString path = mountPoint + QStringLiteral("/dect.chh");
    QVERIFY(QFile::copy(kCourse, path));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    learners::CourseData data(path);
    data.LoadCourseData();

    // Learners are registered until a save finds the device full.
    QString message;
    QByteArray lastSaved = readBytes(path);
    QByteArray inMemory = data.serialize();
    int registered = 0;
    for (; registered < 5000 && message.isEmpty(); ++registered) {
        try {
            data.registerLearner(QStringLiteral("Ученик"), QString::number(registered),
                                 QStringLiteral("Группа"), QString());
            lastSaved = readBytes(path);
            inMemory = data.serialize();
            QCOMPARE(lastSaved, inMemory);
        } catch (const learners::CourseDataError &e) {
            message = e.message();
        }
    }
    QVERIFY2(!message.isEmpty(), "the device never filled up");
    QVERIFY2(message.startsWith(QStringLiteral("Не удалось сохранить данные учеников (dect.chh): ")),
             qPrintable(message));
    QVERIFY2(message.size() > 48, qPrintable(message)); // says why
    QCOMPARE(readBytes(path), lastSaved);
    QCOMPARE(data.serialize(), inMemory);
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden), QStringList{"dect.chh"});

    learners::CourseData reread(path);
    reread.LoadCourseData();
    QCOMPARE(reread.learnerCount(), data.learnerCount());

    // Room again: the change goes through.
    data.deleteLearner(data.learnerCount() - 1);
    data.deleteLearner(data.learnerCount() - 1);
    data.registerLearner(QStringLiteral("Оля"), QString(), QString(), QString());
    QVERIFY(readBytes(path).contains("Оля"));
}

// Reading a small file takes memory for the file, not for the largest file
// the reader would accept: on a machine with little memory to spare, loading
// dect.chh or the banks must not fail for a buffer of the bound's size.
void TestSafety::readsFitASmallAddressSpace()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves more address space than the limit allows");
#else
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 mapped = statm.readAll().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
    QVERIFY(mapped > 0);

    testing::StringGrid questions(3), answers(4);
    int learners = -1;
    struct rlimit old {};
    QCOMPARE(getrlimit(RLIMIT_AS, &old), 0);
    struct rlimit tight = old;
    tight.rlim_cur = rlim_t(mapped + 48 * 1024 * 1024); // well below either bound
    QCOMPARE(setrlimit(RLIMIT_AS, &tight), 0);
    try {
        testing::LoadBanks(questions, answers, QStringLiteral(TARVEL_COURSE_DIR "/questions.qzt"),
                  QStringLiteral(TARVEL_COURSE_DIR "/ansvers.qzt"));
        learners::CourseData data(kCourse);
        data.LoadCourseData();
        learners = data.learnerCount();
    } catch (const std::bad_alloc &) {
    }
    setrlimit(RLIMIT_AS, &old);
    QVERIFY2(learners == 0, "a read ran out of memory");
    QVERIFY(questions.RowCount > 1);
    QCOMPARE(answers.RowCount, (questions.RowCount - 1) * 5 + 1);
#endif
}

QTEST_GUILESS_MAIN(TestSafety)
#include "tst_safety.moc"
