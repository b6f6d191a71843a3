// What the program keeps for a learner between runs: the place to continue
// from, the reading preferences, the pages opened, bookmarks at a position;
// and the progress shown from them.
#include "common/HomeParts.h"
#include "common/ReaderParts.h"
#include "common/CourseFolder.h"
#include "common/ProgressParts.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "progress/BookmarksScreen.h"
#include "progress/LectureChart.h"
#include "progress/LectureProgress.h"
#include "progress/StatisticsScreen.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "screens/HomeScreen.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Runs a modal screen and, once it is up, does what the test asks.
void whileUp(ui::ModalScreen *screen, const std::function<void()> &action)
{
    QTimer::singleShot(0, screen, [screen, action] {
        QTRY_VERIFY(screen->isShowingModal());
        action();
        if (screen->isShowingModal())
            screen->closeScreen();
    });
    screen->showModal();
}

// The text position at the top of the page view, as the view itself finds
// it: just under the top edge, so a line cut there counts as the top one.
int topTextPosition(const TRichView *view)
{
    return view->textLayout()->positionAt(QPointF(0, -view->documentOrigin().y() + 1));
}

// Where the line holding a text position starts, seen from the view's top.
int lineOffsetFromTop(const TRichView *view, int position)
{
    return view->textLayout()->lineTopOf(position) + view->documentOrigin().y();
}

// Slides the section menu in by its own ticks.
void slideMenuIn()
{
    frmMain->ShowMenuPanel();
    for (int i = 0; i < 100 && parts::leftMenuTimer()->isActive(); ++i)
        frmMain->leftMenuTimerTimer();
    QVERIFY(frmMain->state().MenuShown());
}

QString fileText(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestLearnerPlace : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void keptInElementsTheRecordReadersSkip();
    void damagedValuesReadAsNothingRemembered();
    void continueAfterARestart();
    void preferencesAfterARestart();
    void preferencesStayWithTheirLearner();
    void bookmarkReopensWhereItWasSet();
    void progressOfEachLecture();
    void exitFromHomeKeepsThePlaceLeftAtHome();
    void sectionFollowsTheLayoutOnScreen();
    void continuingDoesNotFirstKeepTheTop();
    void helpAndDictionaryAreNoPlaceToContinue();
    void placeReopensAtTheSameTextAtAnotherWidthAndZoom();
    void bookmarkReopensAtTheSameTextAtAnotherWidth();
    void placeStoredAsAPercentStillOpens();

private:
    // A run of the program as far as the reader, signed in as learner 0.
    void startRun();
    void endRun();

    std::unique_ptr<testsupport::CourseFolder> m_course;
    QStringList m_messages;
};

void TestLearnerPlace::init()
{
    m_course = std::make_unique<testsupport::CourseFolder>();
    QVERIFY(m_course->copy(QStringLiteral(TARVEL_COURSE_DIR)));
    QVERIFY(m_course->enter());
    m_course->catchMessages();
    {
        learners::CourseData data;
        data.LoadCourseData();
        data.registerLearner(QStringLiteral("Анна"), QStringLiteral("Петрова"),
                             QStringLiteral("9А"), QString());
        data.registerLearner(QStringLiteral("Борис"), QString(), QString(), QString());
    }
    m_messages.clear();
    ui::setMessageHook([this](const QString &text) { m_messages << text; });
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    startRun();
}

void TestLearnerPlace::startRun()
{
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
    frmMain->show();
    frmMain->FormActivate();
    frmMain->resize(1024, 700);
    parts::FlashButtons()->setMovie(movie::MovieControl::moviePath("buttons"));
}

void TestLearnerPlace::endRun()
{
    if (frmMain)
        frmMain->closeMainWindow();
    destroyWindowSet();
}

void TestLearnerPlace::cleanup()
{
    endRun();
    TfrmIntro::setDesktopSizeSource({});
    m_course.reset();
}

void TestLearnerPlace::keptInElementsTheRecordReadersSkip()
{
    learners::CourseData &xml = frmMain->XML();
    const learners::CourseData::Learner before = xml.learnerFields(1);
    learners::CourseData::Preferences prefs;
    prefs.fontFamily = QStringLiteral("Liberation Serif");
    prefs.fontSize = 14;
    prefs.fontColor = QStringLiteral("#000080");
    prefs.italic = true;
    prefs.zoom = -2;
    prefs.narrowColumn = true;
    xml.setPlace(1, {3, 42, QStringLiteral("3.2 Системы счисления")});
    xml.setPreferences(1, prefs);
    xml.markOpened(1, 5);
    xml.markOpened(1, 2);
    xml.markOpened(1, 5);
    xml.addBookmark(1, 4, 37, QStringLiteral("4.1 Логика"));
    xml.addBookmark(1, 2);

    // Another reader of the saved file, as a new run would be.
    learners::CourseData stored;
    stored.LoadCourseData();
    QCOMPARE(stored.place(1).page, 3);
    QCOMPARE(stored.place(1).increment, 42);
    QCOMPARE(stored.place(1).section, QStringLiteral("3.2 Системы счисления"));
    QVERIFY(stored.preferences(1) == prefs);
    QCOMPARE(stored.openedPages(1), (QVector<int>{2, 5}));
    // The other learner has none of it.
    QCOMPARE(stored.place(0).page, -1);
    QVERIFY(stored.preferences(0) == learners::CourseData::Preferences());
    QVERIFY(stored.openedPages(0).isEmpty());

    // The records read as they always did: fields by name, bookmarks as
    // title, id and increment, the registration fields untouched.
    const learners::CourseData::Learner after = stored.learnerFields(1);
    QCOMPARE(after.name, before.name);
    QCOMPARE(after.date, before.date);
    const auto bookmarks = stored.bookmarks(1);
    QCOMPARE(bookmarks.size(), 2);
    QCOMPARE(bookmarks[0].title, QStringLiteral("Лекция 4"));
    QCOMPARE(bookmarks[0].page, 4);
    QCOMPARE(bookmarks[0].increment, 37);
    QCOMPARE(bookmarks[0].section, QStringLiteral("4.1 Логика"));
    QCOMPARE(bookmarks[1].increment, 0);
    QVERIFY(bookmarks[1].section.isEmpty());
    // New elements come after the registration fields and after a
    // bookmark's three fields, where nothing is read by position.
    const QString text = fileText(QStringLiteral("dect.chh"));
    QVERIFY(text.contains(QStringLiteral(
        "<title>Лекция 4</title><id>4</id><increment>37</increment><section>4.1 Логика</section>")));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("<mail\\s*/><place>"))));

    // Reading a learner who has nothing remembered leaves the file as it is.
    const QByteArray saved = stored.serialize();
    stored.place(0);
    stored.preferences(0);
    stored.openedPages(0);
    QCOMPARE(stored.serialize(), saved);
}

void TestLearnerPlace::damagedValuesReadAsNothingRemembered()
{
    endRun();
    QString text = fileText(QStringLiteral("dect.chh"));
    const qsizetype end = text.indexOf(QStringLiteral("</registred_user>"));
    QVERIFY(end > 0);
    text.insert(end,
                 QStringLiteral("<place><page>три</page><increment>900</increment></place>"
                                "<preferences><size>-5</size><zoom>x</zoom><column><b/></column>"
                                "</preferences><opened>1 x 3 3</opened>"));
    QFile f(QStringLiteral("dect.chh"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
    f.close();

    learners::CourseData data;
    data.LoadCourseData();
    QCOMPARE(data.place(0).page, -1);
    const auto prefs = data.preferences(0);
    QCOMPARE(prefs.fontSize, 0);
    QCOMPARE(prefs.zoom, 0);
    QVERIFY(!prefs.narrowColumn);
    QCOMPARE(data.openedPages(0), (QVector<int>{1, 3}));
    startRun();
}

void TestLearnerPlace::continueAfterARestart()
{
    // Nothing remembered yet: the home screen offers no continuation.
    QString offered = QStringLiteral("<not shown>");
    whileUp(frmIntro, [&] { offered = parts::home::Flash()->GetVariable("resumeText"); });
    QCOMPARE(offered, QString());

    // Lecture 3, at its third section, then the program ends.
    frmMain->RichView1Jump(3);
    frmMain->RichView2Jump(2);
    const int position = parts::RichView1()->scrollPosition();
    QVERIFY(position > 0);
    const QString section = frmMain->sectionInView();
    QVERIFY(section.startsWith(QStringLiteral("3.3 ")));
    endRun();

    startRun();
    whileUp(frmIntro, [&] {
        offered = parts::home::Flash()->GetVariable("resumeText");
        frmIntro->FlashFSCommand(QStringLiteral("DoContinue"), QString());
    });
    const QString title = frmMain->XML().lectures()[3].description;
    QCOMPARE(offered, QStringLiteral("Продолжить: ") + title + QStringLiteral(", ") + section);
    QCOMPARE(frmMain->state().CurrentPage(), 3);
    QCOMPARE(frmMain->sectionInView(), section);
    // Within one per cent of the page, the stored precision.
    QVERIFY(std::abs(parts::RichView1()->scrollPosition() - position) <=
            parts::RichView1()->DocumentHeight() / 100 + 10);
    QCOMPARE(frmMain->history().back().GetKind(), int(hkPage));
}

void TestLearnerPlace::preferencesAfterARestart()
{
    frmMain->resize(1600, 700);
    frmMain->RichView1Jump(1);
    int wideX = 0, y = 0;
    parts::RichView1()->GetCheckpointXY(parts::RichView1()->GetFirstCheckpoint(), wideX, y);

    frmMain->ZoomIn();
    frmMain->ZoomIn();
    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPointSize(15);
    serif.setItalic(true);
    frmMain->applyReadingFont(serif, QColor(0x00, 0x00, 0x80));
    frmMain->savePreferences();
    frmMain->setNarrowColumn(true);
    frmMain->savePreferences();
    endRun();

    startRun();
    // Before sign-in the program starts as it always did...
    QCOMPARE(parts::RVStyle1()->TextStyles(rvs::tsNormal).size, 10);
    // ...and the learner's choices come back at sign-in, with the home screen.
    whileUp(frmIntro, [] {});
    const richtext::RVTextStyle &normal = parts::RVStyle1()->TextStyles(rvs::tsNormal);
    QCOMPARE(normal.fontName, QStringLiteral("Liberation Serif"));
    QCOMPARE(normal.size, 15);
    QVERIFY(normal.italic);
    QCOMPARE(normal.color, QColor(0x00, 0x00, 0x80));
    QCOMPARE(parts::RVStyle1()->TextStyles(rvs::tsHeading).size, 25);
    QCOMPARE(frmMain->state().NormalSize(), 12);
    QVERIFY(frmMain->narrowColumn());

    // The narrow column is centred: on a wide screen the text starts well
    // inside the page.
    frmMain->resize(1600, 700);
    frmMain->RichView1Jump(1);
    int narrowX = 0;
    parts::RichView1()->GetCheckpointXY(parts::RichView1()->GetFirstCheckpoint(), narrowX, y);
    QVERIFY2(narrowX > wideX + 100, qPrintable(QStringLiteral("%1 / %2").arg(narrowX).arg(wideX)));
    // Another learner keeps the program's own settings.
    QVERIFY(frmMain->XML().preferences(1) == learners::CourseData::Preferences());
}

void TestLearnerPlace::preferencesStayWithTheirLearner()
{
    // The first learner reads large, in a serif face, in a narrow column.
    whileUp(frmIntro, [] {});
    frmMain->ZoomIn();
    frmMain->ZoomIn();
    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPointSize(15);
    frmMain->applyReadingFont(serif, QColor(0x00, 0x00, 0x80));
    frmMain->setNarrowColumn(true);
    const TRVStyle start(TRVStyle::Sheet::Reader);

    // The second signs in on the same run: the program's own settings.
    learners::LearnerStore &store = frmMain->state().learnerStore();
    const learners::LearnerId first = store.learners().value(0).id;
    const learners::LearnerId second = store.learners().value(1).id;
    QVERIFY(first.isValid() && second.isValid());
    frmMain->state().setCurrentUser(second);
    whileUp(frmIntro, [] {});
    const richtext::RVTextStyle &normal = parts::RVStyle1()->TextStyles(rvs::tsNormal);
    QCOMPARE(normal.fontName, start.TextStyles(rvs::tsNormal).fontName);
    QCOMPARE(normal.size, 10);
    QCOMPARE(normal.color, start.TextStyles(rvs::tsNormal).color);
    QCOMPARE(parts::RVStyle1()->TextStyles(rvs::tsHeading).size, 20);
    QCOMPARE(frmMain->state().NormalSize(), 10);
    QVERIFY(!frmMain->narrowColumn());

    // A zoom of their own keeps only that under them, not the first one's face.
    frmMain->ZoomIn();
    learners::Preferences expected;
    expected.zoom = 1;
    QVERIFY(store.preferences(second) == expected);

    // And the first learner finds their choices again.
    frmMain->state().setCurrentUser(first);
    whileUp(frmIntro, [] {});
    QCOMPARE(parts::RVStyle1()->TextStyles(rvs::tsNormal).size, 15);
    QCOMPARE(parts::RVStyle1()->TextStyles(rvs::tsNormal).color, QColor(0x00, 0x00, 0x80));
    QCOMPARE(frmMain->state().NormalSize(), 12);
    QVERIFY(frmMain->narrowColumn());
}

void TestLearnerPlace::bookmarkReopensWhereItWasSet()
{
    frmMain->RichView1Jump(2);
    frmMain->RichView2Jump(3);
    const int position = parts::RichView1()->scrollPosition();
    const QString section = frmMain->sectionInView();
    QVERIFY(position > 0 && !section.isEmpty());
    frmMain->FlashButtonsFSCommand(QStringLiteral("DoBookmark"), QString());
    QVERIFY(m_messages.isEmpty()); // a notice over the page says it

    const auto stored = frmMain->XML().bookmarks(0);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0].title, QStringLiteral("Лекция 2"));
    QVERIFY(stored[0].increment > 0);
    QCOMPARE(stored[0].section, section);

    frmMain->OpenPage(5);
    QString line;
    whileUp(frmBookmark, [&] {
        line = frmBookmark->LBBookmarks->item(0)->text();
        frmBookmark->LBBookmarks->setCurrentRow(0);
        frmBookmark->LBBookmarks->item(0)->setSelected(true);
        frmBookmark->FlashFSCommand(QStringLiteral("DoJump"), QString());
    });
    QCOMPARE(line, QStringLiteral("Лекция 2 — ") + section);
    QCOMPARE(frmMain->state().CurrentPage(), 2);
    QCOMPARE(frmMain->sectionInView(), section);
    // The menu panel may have come in meanwhile and the page be laid out
    // narrower: the place is kept as a share of the page.
    TRichView *view = parts::RichView1();
    QVERIFY(std::abs(view->scrollPosition() * 100 / view->DocumentHeight() - stored[0].increment) <= 1);
}

void TestLearnerPlace::progressOfEachLecture()
{
    learners::CourseData &xml = frmMain->XML();
    frmMain->RichView1Jump(2);
    frmMain->RichView1Jump(4);
    frmMain->OpenPage(pages::kDictionary); // not a lecture
    xml.addTestResult(0, QStringLiteral("4"), 40);
    xml.addTestResult(0, QStringLiteral("4"), 85);
    xml.addTestResult(0, QStringLiteral("6"), 60);
    xml.addTestResult(0, QStringLiteral("0"), 100); // the general test belongs to no lecture

    const learners::LearnerStore &store = frmMain->state().learnerStore();
    const auto lectures = progress::lectureProgress(xml, store, store.learners().at(0).id);
    QCOMPARE(lectures.size(), 8);
    QCOMPARE(xml.openedPages(0), (QVector<int>{2, 4}));
    QVERIFY(lectures[1].opened && lectures[1].best == -1 && !lectures[1].passed());
    QVERIFY(lectures[3].opened && lectures[3].tests == 2 && lectures[3].best == 85);
    QVERIFY(lectures[3].passed());
    QVERIFY(!lectures[5].opened && lectures[5].best == 60 && !lectures[5].passed());
    QVERIFY(!lectures[0].opened && lectures[0].tests == 0);

    QString variable;
    whileUp(frmIntro, [&] { variable = parts::home::Flash()->GetVariable("progress"); });
    QCOMPARE(variable, QStringLiteral("1,0,-1;2,1,-1;3,0,-1;4,1,85;5,0,-1;6,0,60;7,0,-1;8,0,-1"));

    QVector<progress::LectureProgress> charted;
    whileUp(frmStat, [&] { charted = parts::stat::Chart()->lectures(); });
    QCOMPARE(charted.size(), 8);
    QCOMPARE(charted[3].best, 85);
    QVERIFY(parts::stat::Chart()->accessibleDescription().contains(
        QStringLiteral("Лекция 4: открывалась, лучший результат теста 85 %, тест сдан")));
}

// Lecture 3, menu to 3.4 at 800 x 600, Главная, then Выход on the home
// screen: the place kept is 3.4, where the learner was, and it opens there.
void TestLearnerPlace::exitFromHomeKeepsThePlaceLeftAtHome()
{
    frmMain->resize(800, 545);
    frmMain->RichView1Jump(3);
    slideMenuIn();
    frmMain->RichView2Jump(3);
    TRichView *view = parts::RichView1();
    const int top = topTextPosition(view);
    QVERIFY(frmMain->sectionInView().startsWith(QStringLiteral("3.4 ")));

    QTimer::singleShot(0, frmIntro, [] {
        QTRY_VERIFY(frmIntro->isShowingModal());
        frmIntro->FlashFSCommand(QStringLiteral("exit"), QString());
    });
    frmMain->FlashButtonsFSCommand(QStringLiteral("DoHome"), QString());
    QVERIFY(frmMain->isClosing());
    endRun();

    learners::CourseData stored;
    stored.LoadCourseData();
    QCOMPARE(stored.place(0).page, 3);
    QVERIFY2(stored.place(0).section.startsWith(QStringLiteral("3.4 ")),
             qPrintable(stored.place(0).section));

    startRun();
    frmMain->resize(800, 545);
    whileUp(frmIntro, [] { frmIntro->FlashFSCommand(QStringLiteral("DoContinue"), QString()); });
    QCOMPARE(frmMain->state().CurrentPage(), 3);
    QVERIFY(frmMain->sectionInView().startsWith(QStringLiteral("3.4 ")));
    QCOMPARE(lineOffsetFromTop(parts::RichView1(), top), 0);
}

// A resize and a slide of the menu lay the page out anew: the section named
// at the top, for the place and for a bookmark, is the one on screen.
void TestLearnerPlace::sectionFollowsTheLayoutOnScreen()
{
    frmMain->resize(1600, 700);
    frmMain->RichView1Jump(3);
    frmMain->RichView2Jump(4); // 3.5, from the menu while it slides in
    slideMenuIn();
    TRichView *view = parts::RichView1();
    const QString section = frmMain->sectionInView();
    QVERIFY(section.startsWith(QStringLiteral("3.5 ")));
    for (const QSize size : {QSize(800, 545), QSize(1280, 980), QSize(640, 480)}) {
        frmMain->resize(size);
        QCOMPARE(frmMain->sectionInView(), section);
        frmMain->FlashButtonsFSCommand(QStringLiteral("DoBookmark"), QString());
        QCOMPARE(frmMain->XML().bookmarks(0).last().section, section);
    }
    frmMain->HideMenuPanel();
    for (int i = 0; i < 100 && parts::leftMenuTimer()->isActive(); ++i)
        frmMain->leftMenuTimerTimer();
    QCOMPARE(frmMain->sectionInView(), section);
    QVERIFY(view->scrollPosition() > 0);
}

// Opening the remembered place must not first keep the top of the page: a
// program that ended right then would have lost the place.
void TestLearnerPlace::continuingDoesNotFirstKeepTheTop()
{
    frmMain->RichView1Jump(3);
    frmMain->RichView2Jump(5);
    endRun();

    learners::CourseData before;
    before.LoadCourseData();
    const learners::Place kept = before.place(0);
    QVERIFY(kept.section.startsWith(QStringLiteral("3.6 ")));

    startRun();
    // Every moment the page moves, the file is what a crash would leave.
    QStringList seen;
    QObject::connect(parts::RichView1()->verticalScrollBar(), &QScrollBar::valueChanged,
                     parts::RichView1(), [&seen] {
                         learners::CourseData onDisk;
                         onDisk.LoadCourseData();
                         seen << QString::number(onDisk.place(0).page) + QLatin1Char(' ') +
                                     onDisk.place(0).section;
                     });
    QVERIFY(frmMain->continueReading());
    QVERIFY(!seen.isEmpty());
    for (const QString &s : seen)
        QCOMPARE(s, QStringLiteral("3 ") + kept.section);
}

// Help and the dictionary are looked up while reading; the place to continue
// stays the lecture, where the learner left it.
void TestLearnerPlace::helpAndDictionaryAreNoPlaceToContinue()
{
    for (const char *command : {"DoHelp", "DoDict"}) {
        frmMain->RichView1Jump(4);
        frmMain->RichView2Jump(3);
        const QString section = frmMain->sectionInView();
        QVERIFY(section.startsWith(QStringLiteral("4.")));
        frmMain->FlashButtonsFSCommand(QString::fromLatin1(command), QString());
        endRun();
        startRun();
        QString offered;
        whileUp(frmIntro, [&] { offered = parts::home::Flash()->GetVariable("resumeText"); });
        QVERIFY2(offered.endsWith(QStringLiteral(", ") + section), qPrintable(offered));
        QCOMPARE(frmMain->XML().place(0).page, 4);
    }
}

// The place is the text at the top of the view, not a share of the page: it
// opens on the same line at any width and zoom.
void TestLearnerPlace::placeReopensAtTheSameTextAtAnotherWidthAndZoom()
{
    struct Case
    {
        QSize before, after;
        int zoom;
    };
    const Case cases[] = {{QSize(1024, 700), QSize(800, 545), 0},
                          {QSize(800, 545), QSize(1600, 900), 2},
                          {QSize(1280, 980), QSize(1280, 980), -2}};
    for (const Case &c : cases) {
        frmMain->resize(c.before);
        frmMain->RichView1Jump(3);
        TRichView *view = parts::RichView1();
        // Between sections, at no whole per cent.
        view->ScrollTo(view->DocumentHeight() * 37 / 100 + 123);
        const int top = topTextPosition(view);
        endRun();

        startRun();
        frmMain->resize(c.after);
        frmMain->state().setZoom(c.zoom);
        QVERIFY(frmMain->continueReading());
        view = parts::RichView1();
        QCOMPARE(lineOffsetFromTop(view, top), 0);
        frmMain->state().setZoom(0);
    }
}

void TestLearnerPlace::bookmarkReopensAtTheSameTextAtAnotherWidth()
{
    frmMain->resize(1280, 700);
    frmMain->RichView1Jump(5);
    TRichView *view = parts::RichView1();
    view->ScrollTo(view->DocumentHeight() * 61 / 100 + 77);
    const int top = topTextPosition(view);
    frmMain->FlashButtonsFSCommand(QStringLiteral("DoBookmark"), QString());

    frmMain->resize(800, 545);
    frmMain->ZoomIn();
    frmMain->OpenPage(2);
    whileUp(frmBookmark, [&] {
        frmBookmark->LBBookmarks->setCurrentRow(0);
        frmBookmark->LBBookmarks->item(0)->setSelected(true);
        frmBookmark->FlashFSCommand(QStringLiteral("DoJump"), QString());
    });
    QCOMPARE(frmMain->state().CurrentPage(), 5);
    QCOMPARE(lineOffsetFromTop(view, top), 0);
}

// Places and bookmarks kept by older copies hold only the per cent: they
// still open at that share of the page.
void TestLearnerPlace::placeStoredAsAPercentStillOpens()
{
    endRun();
    QString text = fileText(QStringLiteral("dect.chh"));
    const qsizetype end = text.indexOf(QStringLiteral("</registred_user>"));
    QVERIFY(end > 0);
    text.insert(end, QStringLiteral("<place><page>3</page><increment>50</increment>"
                                    "<section>3.4 Законы алгебры логики</section></place>"));
    QFile f(QStringLiteral("dect.chh"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
    f.close();

    startRun();
    QVERIFY(frmMain->continueReading());
    TRichView *view = parts::RichView1();
    QCOMPARE(frmMain->state().CurrentPage(), 3);
    QVERIFY(std::abs(view->scrollPosition() - view->DocumentHeight() / 2) <=
            view->DocumentHeight() / 100 + 10);
}

QTEST_MAIN(TestLearnerPlace)
#include "tst_learnerplace.moc"
