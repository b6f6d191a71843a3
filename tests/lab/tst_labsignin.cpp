// The program in lab mode: the sign-in screen over the class database tells
// namesakes apart, says where a learner already works and moves her here
// once asked; a server that is down at start is named, and the course is
// then read only.

#include "common/CourseFolder.h"
#include "common/HomeParts.h"
#include "common/SignInParts.h"
#include "LabServer.h"
#include "app/WindowSet.h"
#include "lab/LabStore.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "screens/HomeScreen.h"
#include "screens/SignInScreen.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

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

QStringList entries(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

void press(const QString &command)
{
    QSignalSpy handled(parts::login::Flash(), &movie::MovieControl::fsCommand);
    QVERIFY2(parts::login::Flash()->click(command), qPrintable(command));
    QTRY_COMPARE(handled.count(), 1);
}

} // namespace

class TestLabSignIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("PGPASSFILE", "/nonexistent/pgpass");
        QVERIFY(m_course.isValid());
        for (const char *entry : {"pictures", "lections"})
            QVERIFY(QFile::link(QStringLiteral(TARVEL_COURSE_DIR "/") + QLatin1String(entry),
                                m_course.filePath(QLatin1String(entry))));
        QVERIFY(m_course.copyFile(QStringLiteral(TARVEL_COURSE_DIR "/dect.chh"), "dect.chh"));
        QVERIFY(m_course.enter());
        m_course.catchMessages();
        TfrmIntro::setDesktopSizeSource([] { return QSize(1024, 768); });
        TfrmIntro::setProgramStarter([](const QString &) { return true; });
    }
    void init()
    {
        m_course.clearCaught();
        createWindowSet();
    }
    void cleanup()
    {
        destroyWindowSet();
        QVERIFY2(m_course.errors.isEmpty(), qPrintable(m_course.errors.join('\n')));
    }

    void takeOverAfterAsking()
    {
        lab::ConnectionSettings s = labtest::freshDatabase();
        {
            lab::LabDatabase admin(s);
            admin.open();
            admin.migrate();
        }
        lab::LabStore elsewhere(s);
        elsewhere.open();
        elsewhere.registerLearner({QStringLiteral("Иван"), QStringLiteral("Петров"), QStringLiteral("9А"), {}, {}});
        elsewhere.registerLearner({QStringLiteral("Иван"), QStringLiteral("Сидоров"), QStringLiteral("9Б"), {}, {}});
        const learners::LearnerId maria =
            elsewhere.registerLearner({QStringLiteral("Мария"), QStringLiteral("Ким"), {}, {}, {}});
        elsewhere.claimLearner(maria);

        frmMain->state().setLearnerStore(std::make_unique<lab::LabStore>(s));
        bool homeShown = false;
        QString seat;
        OnShow home(frmIntro, [&] {
            homeShown = true;
            seat = parts::home::Flash()->GetVariable("seatText");
            frmIntro->closeScreen();
        });
        OnShow signIn(frmLogin, [&] {
            [&] {
                QCOMPARE(entries(parts::login::LBNames()),
                         (QStringList{"Иван (Петров, 9А)", "Иван (Сидоров, 9Б)", "Мария"}));
                parts::login::LBNames()->setCurrentIndex(2);
                m_course.answer = false;
                press("Enter");
                QCOMPARE(m_course.questions.size(), 1);
                QVERIFY2(m_course.questions[0].contains(QStringLiteral("«Мария Ким» уже работает за компьютером «%1»")
                                                     .arg(lab::LabDatabase::computerName())),
                         qPrintable(m_course.questions[0]));
                QVERIFY(frmLogin->isShowingModal()); // still choosing
                QVERIFY(!homeShown);
                m_course.answer = true;
                press("Enter");
                QCOMPARE(m_course.questions.size(), 2);
            }();
            frmLogin->closeScreen();
        });
        frmMain->FormShow();
        QVERIFY(homeShown);
        QCOMPARE(frmMain->state().CurrentUser(), maria);
        // The home screen says, quietly, where this seat keeps its records.
        QVERIFY2(seat.contains(QStringLiteral("сервер")), qPrintable(seat));
        // The other seat's next change is refused, not written over hers.
        QVERIFY_THROWS_EXCEPTION(learners::StoreError, elsewhere.addBookmark(maria, 1));
        QVERIFY(m_course.messages.isEmpty());
    }

    void serverDownAtStart()
    {
        frmMain->state().setLearnerStore(std::make_unique<lab::LabStore>(
            lab::LabSettings::parseConnectionString(QStringLiteral("host=/nonexistent/socket dbname=tarvel"))));
        bool homeShown = false;
        OnShow home(frmIntro, [&] {
            homeShown = true;
            frmIntro->closeScreen();
        });
        frmMain->FormShow();
        QVERIFY(homeShown);
        QCOMPARE(m_course.messages.size(), 1);
        QVERIFY2(m_course.messages[0].contains(QStringLiteral("Нет связи с сервером компьютерного класса «/nonexistent/socket»")),
                 qPrintable(m_course.messages[0]));
        QVERIFY(!frmMain->state().learnerDataWritable());
    }

private:
    testsupport::CourseFolder m_course;
};

QTEST_MAIN(TestLabSignIn)
#include "tst_labsignin.moc"
