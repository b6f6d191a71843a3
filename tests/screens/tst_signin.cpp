#include "common/HomeParts.h"
#include "common/LearnerTexts.h"
#include "common/SignInParts.h"
#include "common/CourseFolder.h"
#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "screens/HomeScreen.h"
#include "learners/CourseData.h"
#include "screens/SignInScreen.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"

#include <QComboBox>
#include <QQuickItem>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kData = QStringLiteral(TARVEL_TEST_DATA "/learners/");

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a piece of a test once a window is shown: inside its modal loop.
class OnShow : public QObject
{
public:
    OnShow(QWidget *window, std::function<void()> action)
        : m_window(window), m_action(std::move(action))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show && m_action) {
            m_window->removeEventFilter(this);
            QMetaObject::invokeMethod(this, m_action, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_action;
};

// The learner at a position of the store's list; none past its end.
learners::LearnerId learnerAt(int position)
{
    return frmMain->state().learnerStore().learners().value(position).id;
}

QStringList entries(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyListAndFirstRegistration();
    void changeKeepsSelectionAndEnterSignsInThatLearner();
    void changeShowsWhatIsStored();
    void unreadableLearnerFieldsKeepTheScreen();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void failedSaveIsShownAndListKept();
    void unreadableDataClosesSilently_data();
    void unreadableDataClosesSilently();
    void closeEndsProgram();
    void windowManagerCloseEndsProgram();
    void closedFormStoresNothing();
    void emptyFormIsRefused();
    void codePageLettersAreNamedBeforeSaving_data();
    void codePageLettersAreNamedBeforeSaving();
    void namesakesAreToldApart();
    void commentsInTheListAreSkipped();
    void handOverToTheNextLearner();

private:
    // Shows the sign-in screen modally (as the reader window does on its
    // first showing) and runs script inside its loop; the screen is closed
    // afterwards if the script left it open.
    void runSignIn(const std::function<void()> &script);
    // Presses a button of the login movie and waits for its command to be handled.
    void press(const QString &command);
    QString frame() const { return parts::login::Flash()->GetVariable(QStringLiteral("frame")); }

    void writeDect(const QByteArray &content);
    int storedLearners();

    testsupport::CourseFolder m_course;
    QString m_dect;
};

void TestLogin::writeDect(const QByteArray &content)
{
    QFile::remove(m_dect);
    QFile f(m_dect);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

int TestLogin::storedLearners()
{
    learners::CourseData saved(m_dect);
    saved.LoadCourseData();
    return saved.learnerCount();
}

void TestLogin::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(QFile::link(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), m_course.filePath("pictures")));
    QVERIFY(QFile::link(QStringLiteral(TARVEL_COURSE_DIR "/lections"), m_course.filePath("lections")));
    QVERIFY(m_course.enter());
    m_dect = m_course.filePath("dect.chh");
    m_course.catchMessages();
    TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
    TfrmIntro::setProgramStarter([](const QString &) { return true; });
}

void TestLogin::init()
{
    QDir(m_dect).removeRecursively();
    QFile::remove(m_dect);
    QVERIFY(QFile::copy(kData + "dect-utf8.chh", m_dect));
    QFile::setPermissions(m_dect, QFile::ReadOwner | QFile::WriteOwner);
    m_course.clearCaught();
    createWindowSet();
}

void TestLogin::cleanup()
{
    destroyWindowSet();
    QVERIFY2(m_course.errors.isEmpty(), qPrintable(m_course.errors.join('\n')));
}

void TestLogin::runSignIn(const std::function<void()> &script)
{
    bool ran = false;
    OnShow driver(frmLogin, [&] {
        script();
        ran = true;
        frmLogin->closeScreen();
    });
    frmLogin->showModal();
    QVERIFY(ran);
    QVERIFY(!frmLogin->isShowingModal());
}

void TestLogin::press(const QString &command)
{
    QSignalSpy handled(parts::login::Flash(), &movie::MovieControl::fsCommand);
    QVERIFY2(parts::login::Flash()->click(command), qPrintable(command));
    QTRY_COMPARE(handled.count(), 1);
    QCOMPARE(handled.at(0).at(0).toString(), command);
}

void TestLogin::emptyListAndFirstRegistration()
{
    QFile::remove(m_dect);
    QFile empty(m_dect);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.write("<d><first/><course><lectures/></course><users/></d>");
    empty.close();

    runSignIn([this] {
        QCOMPARE(parts::login::Flash()->movie(), movie::MovieControl::moviePath("login"));
        QVERIFY(parts::login::Flash()->rootItem());
        QCOMPARE(parts::login::LBNames()->count(), 0);
        QCOMPARE(parts::login::LBNames()->currentIndex(), -1);
        QVERIFY(parts::login::LBNames()->isVisible());
        QVERIFY(!frmMain->state().CurrentUser().isValid()); // nobody to choose yet
        QCOMPARE(frmMain->history().size(), size_t(1));
        QCOMPARE(frmMain->history().back().GetKind(), int(hkHome));

        // Commands that need a learner send the movie to frame 41 and do nothing.
        for (const char *command : {"ChangeUser", "DeleteUser", "Enter"}) {
            press(command);
            QCOMPARE(frame(), QStringLiteral("41"));
        }
        QVERIFY(m_course.questions.isEmpty());
        QVERIFY(parts::login::LBNames()->isVisible());
        QVERIFY(!frmMain->state().CurrentUser().isValid()); // nobody to choose yet

        press("AddNewUser");
        QVERIFY(!parts::login::LBNames()->isVisible());
        QCOMPARE(parts::login::Flash()->GetVariable("radioGroup.m"), QStringLiteral("true"));
        QCOMPARE(parts::login::Flash()->GetVariable("eName"), QString());
        // The first name keeps only what the 8-bit code page holds: the form
        // says so first, and a second "Сохранить" keeps it that way.
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Пётр😀"));
        parts::login::Flash()->SetVariable("eSourname", QStringLiteral("Ωмега"));
        parts::login::Flash()->SetVariable("eGroup", QStringLiteral("ИВТ-11"));
        press("OkPress");
        QVERIFY(!parts::login::Flash()->GetVariable("formNote").isEmpty());
        QCOMPARE(parts::login::LBNames()->count(), 0);
        press("OkPress");
        QVERIFY(parts::login::LBNames()->isVisible());
        QCOMPARE(entries(parts::login::LBNames()), QStringList{"Пётр?"});
        QCOMPARE(parts::login::LBNames()->currentIndex(), 0);
        QVERIFY(!frmMain->state().CurrentUser().isValid()); // nobody to choose yet

        // An empty first name is stored as "неизвестен".
        press("AddNewUser");
        parts::login::Flash()->SetVariable("eGroup", QStringLiteral("ИВТ-12"));
        press("OkPress");
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Пётр?", "неизвестен"}));
        QCOMPARE(parts::login::LBNames()->currentIndex(), 1);
    });
    QVERIFY(m_course.messages.isEmpty());

    learners::CourseData saved(m_dect);
    saved.LoadCourseData();
    QCOMPARE(saved.learnerNames(), (QStringList{"Пётр?", "неизвестен"}));
    QCOMPARE(saved.learnerFields(0).sourname, QStringLiteral("Ωмега"));
    QCOMPARE(saved.learnerFields(0).group, QStringLiteral("ИВТ-11"));
}

// The full first showing: reader window -> sign-in -> home screen -> back.
void TestLogin::changeKeepsSelectionAndEnterSignsInThatLearner()
{
    bool homeShown = false;
    OnShow home(frmIntro, [&] {
        frmIntro->closeScreen();
        homeShown = true;
        QCOMPARE(frmMain->state().CurrentUser(), learnerAt(0));
        QVERIFY(frmLogin->isShowingModal()); // the sign-in screen stays open under it
    });
    bool signedIn = false;
    const auto script = [&] {
        // The first learner is picked before anything is touched.
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Борис", "Вера"}));
        QCOMPARE(parts::login::LBNames()->currentIndex(), 0);
        QCOMPARE(frmMain->state().CurrentUser(), learnerAt(0));

        // Cancel after ChangeUser leaves everything as it was.
        const QByteArray before = readBytes(m_dect);
        press("ChangeUser");
        QVERIFY(!parts::login::LBNames()->isVisible());
        QCOMPARE(parts::login::Flash()->GetVariable("eName"), QStringLiteral("Анна"));
        QCOMPARE(parts::login::Flash()->GetVariable("eSourname"), QStringLiteral("Ёлкина"));
        QCOMPARE(parts::login::Flash()->GetVariable("eGroup"), QStringLiteral("ИВТ-11"));
        QCOMPARE(parts::login::Flash()->GetVariable("eMail"), QString());
        press("CancelPress");
        QVERIFY(parts::login::LBNames()->isVisible());
        QVERIFY(frmLogin->editMode());
        QCOMPARE(readBytes(m_dect), before);

        press("ChangeUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Анюта"));
        parts::login::Flash()->SetVariable("eMail", QStringLiteral("anna@example.org"));
        press("OkPress");
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анюта", "Борис", "Вера"}));
        // The changed learner stays selected: "Войти" signs in as her, not
        // as whoever is last in the list.
        QCOMPARE(parts::login::LBNames()->currentIndex(), 0);
        QCOMPARE(frmMain->state().CurrentUser(), learnerAt(0));

        press("Enter");
        signedIn = true;
    };
    OnShow signIn(frmLogin, [&] {
        script();
        frmLogin->closeScreen(); // also when a check above failed
    });
    frmMain->FormShow();
    QVERIFY(signedIn);
    QVERIFY(homeShown);
    QVERIFY(!frmLogin->isVisible());
    QCOMPARE(frmMain->state().CurrentUser(), learnerAt(0));
    QCOMPARE(frmLogin->rememberedUser(), learnerAt(0)); // the return step ran
    QCOMPARE(parts::login::Flash()->GetVariable("frame"), QStringLiteral("1"));

    learners::CourseData saved(m_dect);
    saved.LoadCourseData();
    const learners::CourseData::Learner anna = saved.learnerFields(0);
    QCOMPARE(anna.name, QStringLiteral("Анюта"));
    QCOMPARE(anna.sourname, QStringLiteral("Ёлкина"));
    QCOMPARE(anna.mail, QStringLiteral("anna@example.org"));
    QCOMPARE(anna.date, QStringLiteral("Mon Mar 07 09:00:00 2005\n"));
    QCOMPARE(saved.testRecords(0).size(), 1);
}

// The form shows a stored name the 8-bit code page cannot hold as it is, and
// saving it unchanged keeps it; a changed name still passes the code page.
void TestLogin::changeShowsWhatIsStored()
{
    QFile::remove(m_dect);
    QFile f(m_dect);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<d><first/><course><lectures/></course><users>"
            "<u><name>Müller ☺</name><study_info><tests/><bookmarks/></study_info>"
            "<date>x</date><sourname>Ünal ☺</sourname><group>7Б</group><mail>m@ü.de</mail></u>"
            "<u><name>Ян</name></u></users></d>");
    f.close();
    runSignIn([this] {
        parts::login::LBNames()->setCurrentIndex(0);
        emit parts::login::LBNames()->activated(0);
        press("ChangeUser");
        QCOMPARE(parts::login::Flash()->GetVariable("eName"), QStringLiteral("Müller ☺"));
        QCOMPARE(parts::login::Flash()->GetVariable("eSourname"), QStringLiteral("Ünal ☺"));
        QCOMPARE(parts::login::Flash()->GetVariable("eMail"), QStringLiteral("m@ü.de"));
        press("OkPress");
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Müller ☺", "Ян"}));

        parts::login::LBNames()->setCurrentIndex(1);
        emit parts::login::LBNames()->activated(1);
        press("ChangeUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Jürgen"));
        press("OkPress"); // the form names «ü» first
        QVERIFY(parts::login::Flash()->GetVariable("formNote").contains(QStringLiteral("ü")));
        press("OkPress");
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Müller ☺", "J?rgen"}));
    });
    learners::CourseData saved(m_dect);
    saved.LoadCourseData();
    const learners::CourseData::Learner first = saved.learnerFields(0);
    QCOMPARE(first.name, QStringLiteral("Müller ☺"));
    QCOMPARE(first.sourname, QStringLiteral("Ünal ☺"));
    QCOMPARE(first.group, QStringLiteral("7Б"));
    QCOMPARE(first.mail, QStringLiteral("m@ü.de"));
}

// A learner whose fields cannot be read: say why and stay, so that another
// learner can still be chosen (closing led to an empty reader window).
void TestLogin::unreadableLearnerFieldsKeepTheScreen()
{
    QFile::remove(m_dect);
    QFile f(m_dect);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<d><first/><course/><users><u><name>Оля</name><sourname><b/></sourname></u>"
            "<u><name>Ян</name></u></users></d>");
    f.close();
    runSignIn([this] {
        press("ChangeUser");
        QCOMPARE(m_course.messages.size(), 1);
        QVERIFY(frmLogin->isShowingModal());
        QVERIFY(parts::login::LBNames()->isVisible());
        QVERIFY(!frmLogin->editMode());
        // The form the movie opened by itself closes again, and its
        // "Сохранить" registers nobody.
        QVERIFY(!parts::login::Flash()->rootItem()->property("formShown").toBool());
        press("OkPress");
        QCOMPARE(parts::login::LBNames()->count(), 2);
        parts::login::LBNames()->setCurrentIndex(1);
        emit parts::login::LBNames()->activated(1);
        press("ChangeUser");
        QCOMPARE(parts::login::Flash()->GetVariable("eName"), QStringLiteral("Ян"));
    });
}

void TestLogin::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestLogin::deleteAsksFirst()
{
    QFETCH(bool, yes);
    m_course.answer = yes;
    const QByteArray before = readBytes(m_dect);
    runSignIn([&] {
        // The learner picks Борис.
        parts::login::LBNames()->setCurrentIndex(1);
        emit parts::login::LBNames()->activated(1);
        const learners::LearnerId boris = learnerAt(1);
        QVERIFY(boris.isValid());
        QCOMPARE(frmMain->state().CurrentUser(), boris);

        press("DeleteUser");
        QCOMPARE(m_course.questions.size(), 1);
        QVERIFY(m_course.questions[0].startsWith("Вы точно хотите удалить данного ученика ?"));
        QVERIFY(m_course.questions[0].contains("результаты тестов и закладки"));
        if (!yes) {
            QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Борис", "Вера"}));
            QCOMPARE(parts::login::LBNames()->currentIndex(), 1);
            QCOMPARE(readBytes(m_dect), before);
            return;
        }
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Вера"}));
        // No selection after the refill; CurrentUser keeps its value until a pick.
        QCOMPARE(parts::login::LBNames()->currentIndex(), -1);
        QCOMPARE(frmMain->state().CurrentUser(), boris);
        press("Enter");
        QCOMPARE(frame(), QStringLiteral("41"));
        QVERIFY(frmLogin->isShowingModal());
    });
    learners::CourseData saved(m_dect);
    saved.LoadCourseData();
    QCOMPARE(saved.learnerCount(), yes ? 2 : 3);
}

// A save that fails tells the learner, and the list shows what is on disk.
void TestLogin::failedSaveIsShownAndListKept()
{
    runSignIn([this] {
        QCOMPARE(parts::login::LBNames()->count(), 3);
        // Something takes the file's place: nothing can be saved any more.
        QVERIFY(QFile::remove(m_dect));
        QVERIFY(QDir().mkdir(m_dect));

        press("AddNewUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Гена"));
        press("OkPress");
        QCOMPARE(m_course.messages.size(), 1);
        QVERIFY2(m_course.messages.at(0).startsWith("Не удалось сохранить данные учеников (dect.chh): "),
                 qPrintable(m_course.messages.at(0)));
        QVERIFY2(testsupport::englishWords(m_course.messages.at(0)).isEmpty(), qPrintable(m_course.messages.at(0)));
        QVERIFY(parts::login::LBNames()->isVisible());
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Борис", "Вера"}));
        QCOMPARE(parts::login::LBNames()->currentIndex(), 0);

        press("ChangeUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Аня"));
        press("OkPress");
        QCOMPARE(m_course.messages.size(), 2);
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Борис", "Вера"}));

        parts::login::LBNames()->setCurrentIndex(2);
        emit parts::login::LBNames()->activated(2);
        press("DeleteUser");
        QCOMPARE(m_course.messages.size(), 3);
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Борис", "Вера"}));
        QCOMPARE(parts::login::LBNames()->currentIndex(), 2);
        QVERIFY(frmLogin->isShowingModal());
    });
}

void TestLogin::unreadableDataClosesSilently_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("missing file") << QByteArray() << QStringList();
    QTest::newRow("not well-formed") << QByteArray("<d><users>") << QStringList();
    QTest::newRow("no learner list") << QByteArray("<d><first/><course/></d>") << QStringList();
    // The entries added before the broken record stay.
    QTest::newRow("broken second record")
        << QByteArray("<d><first/><course/><users><u><name>Оля</name></u><u><name><b/></name></u>"
                      "<u><name>Ян</name></u></users></d>")
        << QStringList{"Оля"};
}

void TestLogin::unreadableDataClosesSilently()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, listed);
    QFile::remove(m_dect);
    if (!content.isNull()) {
        QFile f(m_dect);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QByteArray before = readBytes(m_dect);
    bool shown = false;
    OnShow never(frmLogin, [&] { shown = true; });
    // After the message the learner reaches the home screen, where what
    // needs the learners' records says why it cannot be had.
    QStringList refusals;
    bool homeShown = false;
    OnShow home(frmIntro, [&] {
        homeShown = true;
        const qsizetype before = m_course.messages.size();
        for (const char *command : {"DoStat", "DoReport", "DoBookmark", "DoTests"})
            frmIntro->FlashFSCommand(QString::fromLatin1(command), QString());
        refusals = m_course.messages.mid(before);
        QVERIFY(frmIntro->isShowingModal());
        frmIntro->FlashFSCommand("DoContent", QString());
    });
    frmMain->FormShow();
    QVERIFY(homeShown);
    QCOMPARE(refusals.size(), 4);
    for (const QString &text : refusals)
        QVERIFY2(text.contains("недоступна") && text.contains(frmLogin->loadFailure()),
                 qPrintable(text));
    QVERIFY(!shown);
    QVERIFY(!frmLogin->isShowingModal());
    // The screen itself closes without a word; the reader then says why.
    QCOMPARE(m_course.messages.size(), 5);
    QCOMPARE(m_course.messages[0].left(frmLogin->loadFailure().size()), frmLogin->loadFailure());
    QVERIFY(!frmLogin->loadFailure().isEmpty());
    QCOMPARE(entries(parts::login::LBNames()), listed);
    // The first entry listed is the one chosen, as at every first opening.
    QCOMPARE(frmMain->state().CurrentUser().isValid(), !listed.isEmpty());
    QCOMPARE(frmLogin->rememberedUser(), frmMain->state().CurrentUser());
    QCOMPARE(frmMain->history().back().GetKind(), int(hkContents));
    // The toolbar's bookmark explains too, and nothing is ever written.
    frmMain->FlashButtonsFSCommand("DoBookmark", QString());
    QCOMPARE(m_course.messages.size(), 6);
    QCOMPARE(readBytes(m_dect), before);
}

void TestLogin::closeEndsProgram()
{
    runSignIn([this] {
        press("close");
        QVERIFY(frmMain->isClosing());
        QVERIFY(!frmLogin->isVisible());
    });
    QVERIFY(frmMain->isClosing());
}

// The title bar's close or Alt+F4 under a window manager is "close".
void TestLogin::windowManagerCloseEndsProgram()
{
    runSignIn([this] {
        frmLogin->close();
        QVERIFY(frmMain->isClosing());
    });
    QVERIFY(frmMain->isClosing());
}

// Once the form has been stored it is gone: neither Enter, nor a second
// click on its fading "Сохранить", nor assistive technology stores it again.
void TestLogin::closedFormStoresNothing()
{
    runSignIn([this] {
        press("AddNewUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Гена"));
        // A double click: both clicks reach the movie before either is handled.
        QSignalSpy handled(parts::login::Flash(), &movie::MovieControl::fsCommand);
        QVERIFY(parts::login::Flash()->click("OkPress"));
        QVERIFY(parts::login::Flash()->click("OkPress"));
        QTRY_COMPARE(handled.count(), 2);
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Анна", "Борис", "Вера", "Гена"}));

        // The hidden form keeps no keyboard focus and takes no clicks.
        auto *form = qobject_cast<QQuickItem *>(parts::login::Flash()->findControl("learnerForm"));
        auto *ok = qobject_cast<QQuickItem *>(parts::login::Flash()->findControl("OkPress"));
        QVERIFY(form && ok);
        QTRY_VERIFY(!form->isVisible());
        QVERIFY(!form->isEnabled());
        QVERIFY(!ok->hasActiveFocus());
        QVERIFY(parts::login::LBNames()->hasFocus() || !frmLogin->isActiveWindow());
        // Enter held down on the screen now: nobody is registered again.
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(parts::login::Flash(), Qt::Key_Return);
        press("OkPress");
        QCOMPARE(parts::login::LBNames()->count(), 4);
    });
    QCOMPARE(storedLearners(), 4);
}

void TestLogin::emptyFormIsRefused()
{
    const QByteArray before = readBytes(m_dect);
    runSignIn([this] {
        press("AddNewUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("   "));
        press("OkPress");
        // Said in the form, which stays open with its texts.
        QCOMPARE(parts::login::Flash()->GetVariable("formNote"), TfrmLogin::kEmptyFormNote);
        QCOMPARE(frame(), QStringLiteral("10"));
        QVERIFY(!parts::login::LBNames()->isVisible());
        QCOMPARE(parts::login::LBNames()->count(), 3);
        press("CancelPress");
        QVERIFY(parts::login::Flash()->GetVariable("formNote").isEmpty());
    });
    QCOMPARE(readBytes(m_dect), before);
}

void TestLogin::codePageLettersAreNamedBeforeSaving_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sourname");
    QTest::addColumn<QStringList>("said");   // parts of the note; none: saved at once
    QTest::addColumn<QString>("stored");     // the first name as kept
    QTest::newRow("all in the code page") << "Пётр" << "Ёлкин" << QStringList() << "Пётр";
    QTest::newRow("first name") << "Гөлназ" << "Сафина" << QStringList{"имени", "ө"} << "Г?лназ";
    QTest::newRow("surname") << "Ян" << "Müller" << QStringList{"фамилии", "ü"} << "Ян";
    QTest::newRow("both") << "Jürgen😀" << "Ωмега"
                          << QStringList{"имени", "ü", "😀", "фамилии", "Ω"} << "J?rgen?";
}

void TestLogin::codePageLettersAreNamedBeforeSaving()
{
    QFETCH(QString, name);
    QFETCH(QString, sourname);
    QFETCH(QStringList, said);
    QFETCH(QString, stored);
    runSignIn([&] {
        press("AddNewUser");
        parts::login::Flash()->SetVariable("eName", name);
        parts::login::Flash()->SetVariable("eSourname", sourname);
        press("OkPress");
        const QString note = parts::login::Flash()->GetVariable("formNote");
        for (const QString &part : said)
            QVERIFY2(note.contains(part), qPrintable(note));
        if (!said.isEmpty()) {
            // Nothing kept yet; the form is still there to correct.
            QCOMPARE(parts::login::LBNames()->count(), 3);
            QCOMPARE(frame(), QStringLiteral("10"));
            press("OkPress");
        }
        QCOMPARE(parts::login::LBNames()->count(), 4);
        QVERIFY(parts::login::Flash()->GetVariable("formNote").isEmpty());
    });
    learners::CourseData saved(m_dect);
    saved.LoadCourseData();
    QCOMPARE(saved.learnerFields(3).name, stored);
    QCOMPARE(saved.learnerFields(3).sourname, sourname);
}

// Namesakes are told apart by surname and group; the records stay as they
// are (nothing is added to a record that has no surname).
void TestLogin::namesakesAreToldApart()
{
    writeDect("<d><first/><course/><users>"
              "<u><name>Анна</name><sourname>Ёлкина</sourname><group>ИВТ-11</group></u>"
              "<u><name>Анна</name><sourname>Петрова</sourname><group>ИВТ-11</group></u>"
              "<u><name>Анна</name><sourname><b/></sourname></u>"
              "<u><name>Ян</name><sourname>Ким</sourname></u>"
              "<u><name>Борис</name></u><u><name>Борис</name></u></users></d>");
    runSignIn([this] {
        QCOMPARE(entries(parts::login::LBNames()),
                 (QStringList{"Анна (Ёлкина, ИВТ-11)", "Анна (Петрова, ИВТ-11)", "Анна", "Ян",
                              "Борис — 1", "Борис — 2"}));
        press("AddNewUser");
        parts::login::Flash()->SetVariable("eName", QStringLiteral("Вера"));
        press("OkPress");
        QCOMPARE(parts::login::LBNames()->count(), 7);
    });
    const QByteArray saved = readBytes(m_dect);
    QVERIFY2(saved.contains("<u><name>Борис</name></u><u><name>Борис</name></u>"), saved.constData());
    QVERIFY(saved.contains("<u><name>Анна</name><sourname><b/></sourname></u>"));
}

// A note left in the learner list is no learner: the list reads past it,
// and it stays in the file.
void TestLogin::commentsInTheListAreSkipped()
{
    writeDect("<d><first/><course/><users><!-- класс 7Б -->"
              "<u><name>Оля</name></u><?note x?><u><name>Ян</name></u></users></d>");
    runSignIn([this] {
        QCOMPARE(entries(parts::login::LBNames()), (QStringList{"Оля", "Ян"}));
        parts::login::LBNames()->setCurrentIndex(1);
        emit parts::login::LBNames()->activated(1);
        m_course.answer = true;
        press("DeleteUser");
        QCOMPARE(entries(parts::login::LBNames()), QStringList{"Оля"});
    });
    QVERIFY(m_course.messages.isEmpty());
    const QByteArray saved = readBytes(m_dect);
    QVERIFY2(saved.contains("<!-- класс 7Б --><u><name>Оля</name></u><?note x?></users>"),
             saved.constData());
}

// "Сменить ученика": the place is kept, then the next learner signs in
// with nothing of the learner before: no selection, history, zoom or place.
void TestLogin::handOverToTheNextLearner()
{
    learners::LearnerId anna, boris;
    bool done = false;
    // The first sign-in of the run: the home screen over the sign-in screen.
    OnShow firstHome(frmIntro, [&] {
        anna = frmMain->state().CurrentUser();
        frmIntro->FlashFSCommand("DoContent", QString());
    });
    OnShow signIn(frmLogin, [&] {
        QCOMPARE(parts::login::LBNames()->currentIndex(), 0);
        press("Enter");
    });
    frmMain->FormShow();
    QVERIFY(anna.isValid());
    frmMain->OpenPage(3);
    QVERIFY(frmMain->state().zoomIn());
    learners::LearnerStore &store = frmMain->state().learnerStore();

    // Back home, and the seat goes to Борис. Each window's next showing is
    // caught once; the watchers outlive the queued clicks that show them.
    std::unique_ptr<OnShow> next, borisHome;
    OnShow home(frmIntro, [&] {
        next = std::make_unique<OnShow>(frmLogin, [&] {
            QCOMPARE(store.place(anna).page, 3); // kept before the hand-over
            QVERIFY(!frmMain->state().CurrentUser().isValid());
            QCOMPARE(parts::login::LBNames()->currentIndex(), -1);
            QCOMPARE(frmMain->state().zoom(), 0);
            QCOMPARE(frmMain->history().size(), size_t(1)); // the sign-in's own home record
            press("Enter"); // nobody picked: Enter signs nobody in
            QCOMPARE(frame(), QStringLiteral("41"));
            parts::login::LBNames()->setCurrentIndex(1);
            emit parts::login::LBNames()->activated(1);
            boris = frmMain->state().CurrentUser();
            borisHome = std::make_unique<OnShow>(frmIntro, [&] {
                // Nothing remembered for Борис: Анна's place is not offered.
                QVERIFY(parts::home::Flash()->GetVariable("resumeText").isEmpty());
                frmIntro->FlashFSCommand("DoContent", QString());
                done = true;
            });
            press("Enter");
        });
        QVERIFY(parts::home::Flash()->click("DoChangeUser"));
    });
    frmMain->FlashButtonsFSCommand("DoHome", QString());
    QVERIFY(done);
    QVERIFY(boris.isValid() && boris != anna);
    QCOMPARE(frmMain->state().CurrentUser(), boris);
    QVERIFY(!frmLogin->isShowingModal());
    QVERIFY(!frmIntro->isShowingModal());
    // What happens now is Борис's.
    const int annaBookmarks = store.bookmarks(anna).size();
    const int borisBookmarks = store.bookmarks(boris).size();
    frmMain->OpenPage(5);
    frmMain->FlashButtonsFSCommand("DoBookmark", QString());
    QCOMPARE(store.bookmarks(boris).size(), borisBookmarks + 1);
    QCOMPARE(store.bookmarks(anna).size(), annaBookmarks);
    QCOMPARE(store.place(anna).page, 3);
}

QTEST_MAIN(TestLogin)
#include "tst_signin.moc"
