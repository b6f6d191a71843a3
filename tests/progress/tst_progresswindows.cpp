#include "common/ReaderParts.h"
#include "common/CourseFolder.h"
#include "common/ProgressParts.h"
#include "ui/Dialogs.h"
#include "ui/ModalScreen.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "learners/CourseData.h"
#include "learners/DectStore.h"
#include "movie/MovieControl.h"
#include "progress/ReportScreen.h"
#include "progress/ProgressText.h"
#include "progress/BookmarksScreen.h"
#include "progress/StatisticsScreen.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "teacher/ReportFile.h"
#include "core/LineCodec.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
using testsupport::copyTree;

struct ModalRun
{
    bool loopRan = false;   // the screen's modal loop started
    bool openAfter = false; // it was still open once `during` had run
};

// Shows a screen modally and runs `during` inside its loop, with the queued
// movie commands it raised delivered; closes the screen if it is still open.
ModalRun runModal(ui::ModalScreen *screen, const std::function<void()> &during = {})
{
    ModalRun run;
    auto active = std::make_shared<bool>(true);
    QTimer::singleShot(0, screen, [&, active] {
        if (!*active)
            return;
        run.loopRan = true;
        if (during)
            during();
        QCoreApplication::sendPostedEvents();
        run.openAfter = screen->isVisible();
        if (run.openAfter)
            screen->closeScreen();
    });
    screen->showModal();
    *active = false;
    return run;
}

struct ItemView
{
    QString text;
    int style;
    int para;
    bool newParagraph;
    friend bool operator==(const ItemView &, const ItemView &) = default;
};

QList<ItemView> items(const TRichView *view)
{
    QList<ItemView> list;
    for (const richtext::RVItem &item : view->document().items) {
        if (item.kind == richtext::RVItem::Kind::Break)
            list.append({QStringLiteral("<hr>"), -1, -1, true});
        else
            list.append(
                {item.text, item.styleNo, item.paraNo, item.start != richtext::RVItem::Start::Continue});
    }
    return list;
}

// The lines of a report file: checks the byte-order mark and that every
// character is ASCII, splits at CR LF.
QStringList reportFileLines(const QString &path, QByteArray *rawOut = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    const QByteArray raw = file.readAll();
    if (rawOut)
        *rawOut = raw;
    if (!raw.startsWith("\xFF\xFE") || raw.size() % 2 != 0)
        return {QStringLiteral("<no BOM>")};
    for (qsizetype i = 2; i < raw.size(); i += 2)
        if (uchar(raw[i]) > 0x7F || raw[i + 1] != 0)
            return {QStringLiteral("<not ASCII at %1>").arg(i)};
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(raw.constData() + 2),
                                            (raw.size() - 2) / 2);
    return text.split(QStringLiteral("\r\n"));
}

} // namespace

Q_DECLARE_METATYPE(QList<ItemView>)

namespace {
// A stored result is shown with the decimal separator of the settings the
// suite runs under (a point in C, a comma in ru_RU).
QString localNumber(const QString &withPoint)
{
    QString text = withPoint;
    return text.replace(u'.', QLocale().decimalPoint());
}
} // namespace

class TestProgressWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void statisticsWindowLayout();
    void statisticsFirstShowingIsLaidOutAtItsWidth();
    void statisticsShowsTheRecord_data();
    void statisticsShowsTheRecord();
    void statisticsCloseOnUnreadableRecord_data();
    void statisticsCloseOnUnreadableRecord();

    void reportIsWrittenAsCodedLines_data();
    void reportIsWrittenAsCodedLines();
    void reportDialogSettingsAndCurrentDirectory();
    void reportNeverOverwritesUnasked();
    void reportFileNames_data();
    void reportFileNames();
    void reportCancelWritesNothing();
    void reportWithUnreadableRecordKeepsItsFirstLines();
    void reportWriteFailureIsTold();
    void reportCommandsAreCaseSensitive();
    void reportDialogOpensInDocumentsOfAnInstalledCopy();

    void bookmarksAreListed();
    void bookmarkOpensThroughTheNestedScreens();
    void bookmarkDeleteRemovesTheRowAndSaves();
    void bookmarkDeleteThatCannotSaveKeepsTheList();
    void bookmarksOpenWithTheFirstRowSelected();
    void bookmarkThatCannotBeReadClosesTheScreen();

private:
    QString path(const QString &name) const { return m_course.filePath(name); }
    void signIn(int learner);

    testsupport::CourseFolder m_course;
};

void TestProgressWindows::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(copyTree(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), path("pictures")));
    QVERIFY(copyTree(QStringLiteral(TARVEL_TEST_DATA "/progress/lections"), path("lections")));
    QVERIFY(m_course.enter());
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
}

void TestProgressWindows::cleanupTestCase()
{
    TfrmIntro::setDesktopSizeSource({});
}

void TestProgressWindows::init()
{
    QVERIFY(m_course.copyFile(QStringLiteral(TARVEL_TEST_DATA "/progress/dect.chh"),
                              QStringLiteral("dect.chh")));
    QDir dir(m_course.path());
    for (const QString &name : dir.entryList({QStringLiteral("*.rep*")}, QDir::Files))
        QVERIFY(dir.remove(name));
    m_course.catchMessages();
    createWindowSet();
}

void TestProgressWindows::cleanup()
{
    destroyWindowSet();
    TfrmOtcher::setSaveDialogHook({});
}

void TestProgressWindows::signIn(int learner)
{
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(learner).id);
}

// ---- Statistics -------------------------------------------------------------

void TestProgressWindows::statisticsWindowLayout()
{
    QCOMPARE(frmStat->windowTitle(), QStringLiteral("Статистика"));
    QVERIFY(frmStat->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(frmStat->size(), QSize(547, 433));
    QCOMPARE(frmStat->pos(), QPoint(260, 209));
    QCOMPARE(parts::stat::RichView1()->geometry(), QRect(0, 0, 547, 369));
    QCOMPARE(parts::stat::btnClose()->geometry(), QRect(456, 376, 75, 25));
    QCOMPARE(parts::stat::btnClose()->text(), QStringLiteral("Закрыть"));
    QCOMPARE(parts::stat::RichView1()->rvStyle()->sheet(), TRVStyle::Sheet::Plain);
    QCOMPARE(frmStat->palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::Light));

    signIn(0);
    QRect resized;
    const ModalRun run = runModal(frmStat, [&] {
        // The view follows the window's width, not its height.
        frmStat->resize(700, 500);
        resized = parts::stat::RichView1()->geometry();
        parts::stat::btnClose()->click();
    });
    QVERIFY(run.loopRan);
    QVERIFY(!run.openAfter);
    QCOMPARE(resized, QRect(0, 0, 700, 369));
}

// The first showing of a run lays the record out at the view's final width,
// like every later one.
void TestProgressWindows::statisticsFirstShowingIsLaidOutAtItsWidth()
{
    signIn(1);
    QList<int> heights;
    QList<int> ruleEnds;
    for (int i = 0; i < 2; ++i) {
        runModal(frmStat, [&] {
            QCoreApplication::processEvents();
            TRichView *view = parts::stat::RichView1();
            heights << view->DocumentHeight();
            ruleEnds << view->viewport()->width();
        });
    }
    QCOMPARE(heights[0], heights[1]);
    QCOMPARE(ruleEnds[0], ruleEnds[1]);
}

void TestProgressWindows::statisticsShowsTheRecord_data()
{
    QTest::addColumn<int>("learner");
    QTest::addColumn<QList<ItemView>>("expected");
    const ItemView rule{QStringLiteral("<hr>"), -1, -1, true};
    const auto head = [&](const QString &name, const QString &surname, const QString &group,
                          const QString &mail, const QString &date) {
        return QList<ItemView>{rule,
                               {"Просмотр статистики: ", 2, 1, true},
                               {"Имя: ", 2, 0, true},
                               {name, 3, 0, false},
                               {"Фамилия: ", 2, 0, true},
                               {surname, 3, 0, false},
                               {"Группа: ", 2, 0, true},
                               {group, 3, 0, false},
                               {"Почтовый ящик: ", 2, 0, true},
                               {mail, 3, 0, false},
                               {"Дата регистрации: ", 2, 0, true},
                               {date, 3, 0, false},
                               {"Прохождение тестов:", 2, 1, true}};
    };
    QTest::newRow("no results, empty mail")
        << 0
        << head("Анна", "Петрова", "ИТ-11", "", "8 марта 2005 г., 14:05:09") +
               QList<ItemView>{rule};
    QTest::newRow("two results")
        << 1
        << head("Борис", "Орлов", "ИТ-12", "boris@example.org", "7 марта 2005 г., 09:15:00") +
               QList<ItemView>{{" ", 1, 1, true},
                               // Russian dates, lecture titles, " %" as elsewhere;
                               // the report keeps the stored texts.
                               {"Лекция 3. Логика", 3, 0, true},
                               {"Дата выполнения: 9 марта 2005 г., 10:00:00", 3, 0, true},
                               {"Правильность: 85 %", 3, 0, true},
                               {" ", 1, 1, true},
                               {"Общий тест", 3, 0, true},
                               {"Дата выполнения: 10 марта 2005 г., 11:30:15", 3, 0, true},
                               {"Правильность: " + localNumber("66.6999969482422") + " %", 3,
                                0, true},
                               rule};
    QTest::newRow("no study_info")
        << 3
        << head("Глеб", "Белов", "ИТ-14", "gleb@example.org", "5 марта 2005 г., 07:00:00") +
               QList<ItemView>{rule};
}

void TestProgressWindows::statisticsShowsTheRecord()
{
    QFETCH(int, learner);
    QFETCH(QList<ItemView>, expected);
    signIn(learner);
    // Shown twice: the content is rebuilt, not doubled.
    for (int showing = 0; showing < 2; ++showing) {
        const ModalRun run = runModal(frmStat);
        QVERIFY(run.loopRan);
        QVERIFY(run.openAfter);
        QCOMPARE(items(parts::stat::RichView1()), expected);
        QVERIFY(parts::stat::RichView1()->isFormatted());
    }
}

void TestProgressWindows::statisticsCloseOnUnreadableRecord_data()
{
    QTest::addColumn<int>("learner");
    QTest::addColumn<int>("itemCount");
    QTest::addColumn<QString>("lastText");
    // The first result is shown, the second (not a number) adds nothing, and
    // the closing rule never comes.
    QTest::newRow("bad right") << 2 << 17 << "Правильность: 100 %";
    QTest::newRow("no such learner") << 9 << 2 << "Просмотр статистики: ";
    QTest::newRow("nobody signed in") << -1 << 2 << "Просмотр статистики: ";
}

void TestProgressWindows::statisticsCloseOnUnreadableRecord()
{
    QFETCH(int, learner);
    QFETCH(int, itemCount);
    QFETCH(QString, lastText);
    signIn(learner);
    const ModalRun run = runModal(frmStat);
    QVERIFY(!run.loopRan);
    QVERIFY(!frmStat->isVisible());
    QCOMPARE(parts::stat::RichView1()->GetLineCount(), itemCount);
    QCOMPARE(parts::stat::RichView1()->GetItemTextA(itemCount - 1), lastText);
    QVERIFY(parts::stat::RichView1()->isFormatted());
    QVERIFY(m_course.messages.isEmpty());
    QVERIFY(m_course.errors.isEmpty());
}

// ---- Report -----------------------------------------------------------------

void TestProgressWindows::reportIsWrittenAsCodedLines_data()
{
    QTest::addColumn<int>("learner");
    QTest::addColumn<int>("lineCount");
    QTest::newRow("no results") << 0 << 9;
    QTest::newRow("two results") << 1 << 17;
}

void TestProgressWindows::reportIsWrittenAsCodedLines()
{
    QFETCH(int, learner);
    QFETCH(int, lineCount);
    signIn(learner);
    // An older report of the same name is replaced once the learner agrees.
    {
        QFile old(path("отчет.rep"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    QStringList questions;
    ui::setQuestionHook([&](const QString &text) {
        questions.append(text);
        return true;
    });
    TfrmOtcher::setSaveDialogHook([this](QFileDialog &) { return path("отчет"); });
    const ModalRun run = runModal(frmOtcher, [] { QVERIFY(parts::report::Flash()->click("Generate")); });
    ui::setQuestionHook({});
    QVERIFY(run.loopRan);
    QVERIFY(!run.openAfter);
    QCOMPARE(questions, QStringList{QStringLiteral("Файл «%1» уже существует. Заменить его?")
                                        .arg(path("отчет.rep"))});
    // The learner is told where the file went.
    QCOMPARE(m_course.messages,
             QStringList{QStringLiteral("Отчёт сохранён в файл:\n") + path("отчет.rep")});

    QByteArray raw;
    const QStringList coded = reportFileLines(path("отчет.rep"), &raw);
    QCOMPARE(coded.size(), lineCount);
    QVERIFY(!raw.endsWith(QByteArray("\r\0\n\0", 4)));
    QStringList decoded;
    for (const QString &line : coded) {
        QVERIFY(line.startsWith(QStringLiteral("0;")));
        decoded.append(core::DecodeLine(line));
    }
    learners::CourseData data;
    data.LoadCourseData();
    const learners::DectStore store(data);
    QStringList expected;
    progress::reportText(store, store.idAt(learner), [&](const QString &line) { expected.append(line); });
    QCOMPARE(decoded, expected);
    QCOMPARE(decoded.constFirst(), QStringLiteral("расшифрованный файл отчета"));
    // Time stamps keep their line feed inside their coded line.
    QVERIFY(decoded[5].endsWith(u'\n'));
    if (learner == 1)
        QCOMPARE(decoded[15], "Правильность: " + localNumber("66.6999969482422") + "%");
    // The teacher's program reads the saved file whole.
    const teacher::Report read = teacher::readReport(path("отчет.rep"));
    QVERIFY2(read.isSound(), qPrintable(read.error));
    QCOMPARE(read.lines, expected);
    QCOMPARE(read.results.size(), (lineCount - 9) / 4);
    // The collecting view holds the same lines in the plain sheet's styles.
    QCOMPARE(parts::report::RichView1()->GetLineCount(), lineCount);
    QCOMPARE(parts::report::RichView1()->document().items.constFirst().styleNo, 2);
    QCOMPARE(parts::report::RichView1()->document().items.constFirst().paraNo, 1);
    QVERIFY(!parts::report::RichView1()->isVisible());
}

void TestProgressWindows::reportDialogSettingsAndCurrentDirectory()
{
    signIn(1);
    QVERIFY(QDir().mkpath(path("hand-in")));
    const QString before = QDir::currentPath();
    int asked = 0;
    TfrmOtcher::setSaveDialogHook([&](QFileDialog &dlg) {
        ++asked;
        [&] {
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Сохранение отчёта"));
            // Kinds of files in Russian, as the rest of the dialog.
            QVERIFY(dlg.iconProvider());
            QCOMPARE(dlg.iconProvider()->type(QFileInfo(QDir::tempPath())), QStringLiteral("Папка"));
            QCOMPARE(dlg.iconProvider()->type(QFileInfo(QStringLiteral("x.rep"))), QStringLiteral("Файл rep"));
            QCOMPARE(dlg.nameFilters(), QStringList{QStringLiteral("*.rep")});
            QCOMPARE(dlg.acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(dlg.testOption(QFileDialog::DontConfirmOverwrite));
            QVERIFY(dlg.defaultSuffix().isEmpty());
            QVERIFY(dlg.isSizeGripEnabled());
            const QWidget *places = dlg.findChild<QWidget *>(QStringLiteral("sidebar"));
            QVERIFY(!places || places->isHidden());
            // Reports of a class share a folder: each is named after its learner.
            QCOMPARE(QFileInfo(dlg.selectedFiles().value(0)).fileName(), QStringLiteral("Орлов Борис"));
        }();
        // A name that already ends in .rep keeps the one extension.
        return QDir(path("hand-in")).filePath(QStringLiteral("итог.rep"));
    });
    const ModalRun run = runModal(frmOtcher, [] { frmOtcher->FlashFSCommand("Generate", {}); });
    QCOMPARE(asked, 1);
    QVERIFY(!run.openAfter);
    QVERIFY(QFile::exists(path("hand-in/итог.rep")));
    QVERIFY(!QFile::exists(path("hand-in/итог.rep.rep")));
    QCOMPARE(QDir::currentPath(), before);
    // The process still finds its own files.
    QVERIFY(QFile::exists(QStringLiteral("pictures/report.qml")));

    // The real dialog, answered in its own loop: a folder chosen there does
    // not move the current directory either, and the dialog opens there next.
    TfrmOtcher::setSaveDialogHook({});
    QString folderShownNext;
    const ModalRun real = runModal(frmOtcher, [&] {
        QTimer::singleShot(0, frmOtcher, [&] {
            auto *dlg = frmOtcher->findChild<QFileDialog *>(QStringLiteral("dlgSave"));
            QVERIFY(dlg);
            QVERIFY(dlg->isVisible());
            QVERIFY(dlg->testOption(QFileDialog::DontUseNativeDialog));
            dlg->setDirectory(path("hand-in"));
            dlg->selectFile(QStringLiteral("второй"));
            QMetaObject::invokeMethod(dlg, "accept"); // as its Save button does
        });
        frmOtcher->FlashFSCommand("Generate", {});
    });
    QVERIFY(!real.openAfter);
    QVERIFY(QFile::exists(path("hand-in/второй.rep")));
    QCOMPARE(QDir::currentPath(), before);
    TfrmOtcher::setSaveDialogHook([&](QFileDialog &dlg) {
        folderShownNext = dlg.directory().absolutePath();
        return QString();
    });
    runModal(frmOtcher, [] { frmOtcher->FlashFSCommand("Generate", {}); });
    QCOMPARE(folderShownNext, QDir(path("hand-in")).absolutePath());
}

// A report of the same name (another learner's, in a shared folder) is
// never replaced unasked: "No" brings the dialog back with the name, and the
// old file stays as it was.
void TestProgressWindows::reportNeverOverwritesUnasked()
{
    signIn(0);
    {
        QFile old(path("Петрова Анна.rep"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("someone else's");
    }
    QStringList questions;
    ui::setQuestionHook([&](const QString &text) {
        questions.append(text);
        return false;
    });
    QStringList proposed;
    TfrmOtcher::setSaveDialogHook([&](QFileDialog &dlg) {
        proposed.append(QFileInfo(dlg.selectedFiles().value(0)).fileName());
        // First the proposed name as it stands, then the same with .rep
        // typed by hand, then Cancel.
        if (proposed.size() == 1)
            return path(proposed.constLast());
        if (proposed.size() == 2)
            return path(QStringLiteral("Петрова Анна.rep"));
        return QString();
    });
    const ModalRun run = runModal(frmOtcher, [] { frmOtcher->FlashFSCommand("Generate", {}); });
    ui::setQuestionHook({});
    QVERIFY(run.openAfter);
    QCOMPARE(proposed, (QStringList{QStringLiteral("Петрова Анна"), QStringLiteral("Петрова Анна"),
                                    QStringLiteral("Петрова Анна.rep")}));
    QCOMPARE(questions.size(), 2);
    for (const QString &question : questions)
        QVERIFY2(question.contains(path("Петрова Анна.rep")), qPrintable(question));
    QFile old(path("Петрова Анна.rep"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("someone else's"));
    QVERIFY(m_course.messages.isEmpty());
}

// What a learner's name turns into as a file name.
void TestProgressWindows::reportFileNames_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "r1" << "r1.rep";
    QTest::newRow("with extension") << "r1.rep" << "r1.rep";
    QTest::newRow("capital extension") << "r1.REP" << "r1.REP";
    QTest::newRow("another extension") << "r1.txt" << "r1.txt.rep";
    QTest::newRow("extension inside") << "r1.rep.old" << "r1.rep.old.rep";
}

void TestProgressWindows::reportFileNames()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QCOMPARE(TfrmOtcher::reportFileName(chosen), written);
}

void TestProgressWindows::reportCancelWritesNothing()
{
    signIn(1);
    TfrmOtcher::setSaveDialogHook([](QFileDialog &) { return QString(); });
    const ModalRun run = runModal(frmOtcher, [] { frmOtcher->FlashFSCommand("Generate", {}); });
    QVERIFY(run.openAfter);
    QVERIFY(QDir(m_course.path()).entryList({QStringLiteral("*.rep")}, QDir::Files).isEmpty());
    QVERIFY(m_course.messages.isEmpty());
}

void TestProgressWindows::reportWithUnreadableRecordKeepsItsFirstLines()
{
    signIn(2);
    TfrmOtcher::setSaveDialogHook([this](QFileDialog &) { return path("vera"); });
    const ModalRun run = runModal(frmOtcher, [] { frmOtcher->FlashFSCommand("Generate", {}); });
    QVERIFY(!run.openAfter);
    const QStringList coded = reportFileLines(path("vera.rep"));
    QCOMPARE(coded.size(), 13);
    QCOMPARE(core::DecodeLine(coded[11]), QStringLiteral("Правильность: 100%"));
    QCOMPARE(core::DecodeLine(coded[12]), QString(22, u'~'));
    QCOMPARE(m_course.messages,
             QStringList{QStringLiteral("Отчёт сохранён в файл:\n") + path("vera.rep")});
}

void TestProgressWindows::reportWriteFailureIsTold()
{
    signIn(1);
    // A folder stands where the report should go; the earlier file there is kept whole.
    QVERIFY(QDir().mkpath(path("taken.rep")));
    QVERIFY(QDir().mkpath(path("keep")));
    {
        QFile old(path("keep/old.rep"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous");
    }
    QStringList targets{path("taken"), path("no-such-folder/report")};
    for (const QString &target : targets) {
        m_course.messages.clear();
        TfrmOtcher::setSaveDialogHook([&](QFileDialog &) { return target; });
        const ModalRun run = runModal(frmOtcher, [] { frmOtcher->FlashFSCommand("Generate", {}); });
        QVERIFY2(run.openAfter, qPrintable(target));
        QCOMPARE(m_course.messages.size(), 1);
        QVERIFY(m_course.messages[0].startsWith(QStringLiteral("Не удалось сохранить отчёт: ")));
        QVERIFY(m_course.messages[0].size() > QStringLiteral("Не удалось сохранить отчёт: ").size());
    }
    QVERIFY(QFileInfo(path("taken.rep")).isDir());
    QVERIFY(!QFile::exists(path("no-such-folder")));
    // No temporary file is left behind.
    QCOMPARE(QDir(m_course.path()).entryList({QStringLiteral("*.rep*")}, QDir::Files), QStringList());
}

void TestProgressWindows::reportCommandsAreCaseSensitive()
{
    signIn(1);
    int asked = 0;
    TfrmOtcher::setSaveDialogHook([&](QFileDialog &) {
        ++asked;
        return QString();
    });
    const ModalRun run = runModal(frmOtcher, [] {
        frmOtcher->FlashFSCommand("generate", {});
        frmOtcher->FlashFSCommand("Close", {});
        frmOtcher->FlashFSCommand("DoReport", {});
    });
    QVERIFY(run.openAfter);
    QCOMPARE(asked, 0);
    QVERIFY(parts::report::Flash()->movie().endsWith(QStringLiteral("/pictures/report.qml")));
    QCOMPARE(parts::report::Flash()->geometry(), frmOtcher->rect());

    const ModalRun closing = runModal(frmOtcher, [] { QVERIFY(parts::report::Flash()->click("close")); });
    QVERIFY(closing.loopRan);
    QVERIFY(!closing.openAfter);
}

// ---- Bookmarks --------------------------------------------------------------

void TestProgressWindows::bookmarksAreListed()
{
    QCOMPARE(frmBookmark->windowTitle(), QStringLiteral("Закладки"));
    QCOMPARE(frmBookmark->size(), QSize(550, 400));
    QCOMPARE(frmBookmark->pos(), QPoint(270, 187));
    QListWidget *list = frmBookmark->LBBookmarks;
    QCOMPARE(list->geometry(), QRect(27, 100, 502, 277));
    QCOMPARE(list->frameShape(), QFrame::NoFrame);
    QVERIFY(list->font().italic());
    QCOMPARE(list->font().pixelSize(), 19);

    signIn(1);
    QStringList rows;
    std::vector<TfrmBookmark::BookmarkEntry> table;
    int rowHeight = 0;
    const ModalRun run = runModal(frmBookmark, [&] {
        for (int i = 0; i < list->count(); ++i)
            rows.append(list->item(i)->text());
        table = frmBookmark->bookmarkTable();
        rowHeight = list->visualItemRect(list->item(0)).height();
        QCOMPARE(frmBookmark->Flash->geometry(), frmBookmark->rect());
    });
    QVERIFY(run.openAfter);
    QCOMPARE(rows, (QStringList{"Лекция 1", "Лекция 3", "Лекция 2"}));
    QCOMPARE(rowHeight, 21);
    QCOMPARE(table.size(), size_t(3));
    QCOMPARE(table[1].title, QStringLiteral("Лекция 3"));
    QCOMPARE(table[1].page, 3);
    QCOMPARE(table[1].increment, 50);
    // Released when the screen goes.
    QVERIFY(frmBookmark->bookmarkTable().empty());
}

void TestProgressWindows::bookmarkOpensThroughTheNestedScreens()
{
    signIn(1);
    frmMain->show();
    int expectedScroll = -1;
    int documentHeight = 0;
    bool bookmarksRan = false;
    // Home screen, then the bookmarks over it; opening a bookmark ends both.
    const ModalRun home = runModal(frmIntro, [&] {
        QTimer::singleShot(0, frmBookmark, [&] {
            bookmarksRan = true;
            frmBookmark->LBBookmarks->setCurrentRow(1);
            QVERIFY(frmBookmark->Flash->click("DoJump"));
            QCoreApplication::sendPostedEvents();
            // What the view can reach: whole scroll steps, within its range.
            documentHeight = parts::RichView1()->DocumentHeight();
            const int y = 50 * (documentHeight / 100);
            const QScrollBar *bar = parts::RichView1()->verticalScrollBar();
            expectedScroll =
                std::min(y / std::max(1, bar->singleStep()) * std::max(1, bar->singleStep()),
                         bar->maximum());
        });
        frmIntro->FlashFSCommand("DoBookmark", {});
    });
    QVERIFY(home.loopRan);
    QVERIFY(bookmarksRan);
    QVERIFY(!home.openAfter);
    QVERIFY(!frmBookmark->isVisible());
    QCOMPARE(frmMain->state().CurrentPage(), 3);
    QVERIFY(documentHeight > 1000);
    QVERIFY(expectedScroll > 0);
    QCOMPARE(parts::RichView1()->scrollPosition(), expectedScroll);
    QCOMPARE(frmMain->history().back(), HistoryCommand(hkHome, false, 0));
    frmMain->hide();
}

void TestProgressWindows::bookmarkDeleteRemovesTheRowAndSaves()
{
    signIn(1);
    QStringList rows;
    int selected = 0;
    const ModalRun run = runModal(frmBookmark, [&] {
        frmBookmark->LBBookmarks->setCurrentRow(1);
        QVERIFY(frmBookmark->Flash->click("DoDel"));
        QCoreApplication::sendPostedEvents();
        for (int i = 0; i < frmBookmark->LBBookmarks->count(); ++i)
            rows.append(frmBookmark->LBBookmarks->item(i)->text());
        selected = frmBookmark->LBBookmarks->currentRow();
    });
    QVERIFY(run.openAfter);
    QCOMPARE(rows, (QStringList{"Лекция 1", "Лекция 2"}));
    QCOMPARE(selected, 1); // the row that took the deleted one's place
    QVERIFY(m_course.errors.isEmpty());
    // On disk: the second record is gone, the others kept in order.
    learners::CourseData saved;
    saved.LoadCourseData();
    const auto marks = saved.bookmarks(1);
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks[0].page, 1);
    QCOMPARE(marks[1].page, 2);
}

void TestProgressWindows::bookmarkDeleteThatCannotSaveKeepsTheList()
{
    signIn(1);
    // A folder where the course data should be written: the save fails.
    const QByteArray before = [&] {
        QFile f(path("dect.chh"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(QFile::remove(path("dect.chh")));
    QVERIFY(QDir().mkpath(path("dect.chh")));
    int rows = 0;
    const ModalRun run = runModal(frmBookmark, [&] {
        frmBookmark->LBBookmarks->setCurrentRow(0);
        QVERIFY(frmBookmark->Flash->click("DoDel"));
        QCoreApplication::sendPostedEvents();
        rows = frmBookmark->LBBookmarks->count();
    });
    QVERIFY(QDir(path("dect.chh")).removeRecursively());
    QVERIFY(run.openAfter);
    QCOMPARE(m_course.errors.size(), 1);
    QCOMPARE(rows, 3);
    // Memory still matches what was last saved.
    QCOMPARE(frmMain->XML().bookmarks(1).size(), 3);
    QVERIFY(!before.isEmpty());
}

void TestProgressWindows::bookmarksOpenWithTheFirstRowSelected()
{
    // No bookmarks: the screen says so, and the commands do nothing.
    signIn(0);
    bool saysNone = false;
    const ModalRun empty = runModal(frmBookmark, [&] {
        auto *none = frmBookmark->findChild<QLabel *>("lblNoBookmarks");
        saysNone = none && none->isVisible() && none->text().contains("нет");
        frmBookmark->FlashFSCommand("DoJump", {});
        frmBookmark->FlashFSCommand("DoDel", {});
        frmBookmark->LBBookmarksDblClick();
    });
    QVERIFY(empty.openAfter);
    QVERIFY(saysNone);
    QCOMPARE(frmBookmark->LBBookmarks->count(), 0);

    // Rows: the first one is selected as the screen opens, so "Перейти"
    // right away opens it.
    signIn(1);
    bool firstSelected = false;
    bool hidden = false;
    const ModalRun first = runModal(frmBookmark, [&] {
        QListWidget *list = frmBookmark->LBBookmarks;
        firstSelected = list->currentRow() == 0 && list->item(0)->isSelected();
        hidden = !frmBookmark->findChild<QLabel *>("lblNoBookmarks")->isVisible();
        frmBookmark->FlashFSCommand("dojump", {}); // another letter case: nothing
        if (frmBookmark->isShowingModal())
            frmBookmark->FlashFSCommand("DoJump", {});
    });
    QVERIFY(firstSelected);
    QVERIFY(hidden);
    QVERIFY(!first.openAfter);
    QCOMPARE(frmMain->state().CurrentPage(), 1);
    QCOMPARE(frmMain->XML().bookmarks(1).size(), 3);

    // A double click on a row opens it.
    const ModalRun dbl = runModal(frmBookmark, [] {
        QListWidget *list = frmBookmark->LBBookmarks;
        list->setCurrentRow(2);
        const QPoint at = list->visualItemRect(list->item(2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    });
    QVERIFY(dbl.loopRan);
    QVERIFY(!dbl.openAfter);
    QCOMPARE(frmMain->state().CurrentPage(), 2);
    QCOMPARE(parts::RichView1()->scrollPosition(), 0);
}

void TestProgressWindows::bookmarkThatCannotBeReadClosesTheScreen()
{
    signIn(2);
    const ModalRun run = runModal(frmBookmark);
    QVERIFY(!run.loopRan);
    QVERIFY(!frmBookmark->isVisible());
    // Rows before the bad one stay; so does the bad one's title.
    QCOMPARE(frmBookmark->LBBookmarks->count(), 2);
    QVERIFY(m_course.messages.isEmpty());
    QVERIFY(m_course.errors.isEmpty());

    signIn(17);
    QVERIFY(!runModal(frmBookmark).loopRan);
    QCOMPARE(frmBookmark->LBBookmarks->count(), 0);
}

QTEST_MAIN(TestProgressWindows)
// The installed textbook runs in its copy of the course under the user's
// data folder; a report saved there would be lost to the learner.
void TestProgressWindows::reportDialogOpensInDocumentsOfAnInstalledCopy()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString copy = home.filePath(QStringLiteral(".local/share/tarvel/course"));
    const QString documents = home.filePath(QStringLiteral("Документы"));
    QVERIFY(QDir().mkpath(copy));
    QVERIFY(QDir().mkpath(documents));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral(".config"))));
    QFile dirs(home.filePath(QStringLiteral(".config/user-dirs.dirs")));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Документы\"\n");
    dirs.close();

    const QByteArray oldHome = qgetenv("HOME"), oldData = qgetenv("XDG_DATA_HOME"),
                     oldConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        oldData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", oldData);
        oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
        QDir::setCurrent(m_course.path());
    });
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");

    signIn(1);
    QString shown;
    TfrmOtcher::setSaveDialogHook([&](QFileDialog &dlg) {
        shown = dlg.directory().absolutePath();
        return QString();
    });
    // Run elsewhere (from a build or an unpacked course), the working folder it stays.
    frmOtcher->Generate();
    QCOMPARE(shown, QDir(m_course.path()).absolutePath());

    QVERIFY(QDir::setCurrent(copy));
    QCOMPARE(TfrmOtcher::initialFolder(), documents);
    frmOtcher->Generate();
    QCOMPARE(shown, documents);
    // Choosing a folder does not move the working folder.
    QCOMPARE(QDir::currentPath(), QDir(copy).canonicalPath());
}

#include "tst_progresswindows.moc"
