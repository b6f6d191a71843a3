// The screens reach the reader only through what they are handed: the
// reader's intents and the shared state. With recording stand-ins for both
// and no reader window at all, each command asks one whole intent.
#include "reader/ReaderIntents.h"
#include "reader/ReaderState.h"
#include "reader/ReaderWindow.h"
#include "screens/FontScreen.h"
#include "screens/HomeScreen.h"
#include "ui/Dialogs.h"
#include "ui/FontDialog.h"
#include "ui/Navigator.h"

#include <QTest>

#include <stdexcept>

namespace {

class RecordingReader final : public reader::ReaderIntents
{
public:
    QStringList asked;
    bool failSaves = false;

    void enterHome() override { asked << "enterHome"; }
    void applyLearnerPreferences() override { asked << "applyLearnerPreferences"; }
    void showContentsFromHome() override { asked << "showContentsFromHome"; }
    void openPageFromHome(HomePage page) override
    {
        asked << QStringLiteral("openPageFromHome %1").arg(int(page));
    }
    void showTestTopicsFromHome() override { asked << "showTestTopicsFromHome"; }
    bool continueReadingFromHome() override
    {
        asked << "continueReadingFromHome";
        return true;
    }
    bool openBookmark(int page, int increment, int anchor) override
    {
        // An anchor is passed only for bookmarks that have one.
        asked << QStringLiteral("openBookmark %1 %2").arg(page).arg(increment) +
                     (anchor >= 0 ? QStringLiteral(" @%1").arg(anchor) : QString());
        return true;
    }
    void setNarrowColumn(bool on) override
    {
        asked << QStringLiteral("setNarrowColumn %1").arg(on);
        if (failSaves)
            throw std::runtime_error("save failed");
    }
    void applyReadingFont(const QFont &font, const QColor &color) override
    {
        asked << QStringLiteral("applyReadingFont %1 %2 %3")
                     .arg(font.family())
                     .arg(font.pointSize())
                     .arg(color.name());
    }
    void restoreDefaultSizes() override { asked << "restoreDefaultSizes"; }
    void handOverLearner() override { asked << "handOverLearner"; }
    void closeProgram() override { asked << "closeProgram"; }
};

class RecordingNavigator final : public ui::Navigator
{
public:
    QStringList asked;

    QString showSignIn() override { return QString(); }
    void showHome(bool) override {}
    void closeHome() override { asked << "closeHome"; }
    void showStatistics() override { asked << "showStatistics"; }
    void showReport() override { asked << "showReport"; }
    void showBookmarks() override { asked << "showBookmarks"; }
    void showFontChoice() override { asked << "showFontChoice"; }
    void showAbout() override { asked << "showAbout"; }
    void runTest(const QString &) override {}
    ui::ReviewChoice showReview() override { return {}; }
    void openSection(int, const QString &) override {}
    void closeMainWindow() override { asked << "closeMainWindow"; }
    bool isClosing() const override { return false; }
};

using HomePage = reader::ReaderIntents::HomePage;

} // namespace

class TestReaderRoute : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void homeCommandsAskOneWholeIntent_data();
    void homeCommandsAskOneWholeIntent();
    void readOnlyCourseAsksNothingOfTheReader();
    void fontScreenAsksForTheReadingChoices();

private:
    QStringList m_messages;
};

void TestReaderRoute::init()
{
    // No reader window: a screen that reached for it would crash here.
    QVERIFY(!frmMain);
    m_messages.clear();
    ui::setMessageHook([this](const QString &text) { m_messages << text; });
}

void TestReaderRoute::cleanup()
{
    ui::setMessageHook({});
}

void TestReaderRoute::homeCommandsAskOneWholeIntent_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("intent");
    QTest::newRow("DoContent") << "DoContent"
                               << "showContentsFromHome";
    QTest::newRow("DoEbout")
        << "DoEbout" << QStringLiteral("openPageFromHome %1").arg(int(HomePage::Introduction));
    QTest::newRow("DoBegin") << "DoBegin"
                             << QStringLiteral("openPageFromHome %1").arg(int(HomePage::Help));
    QTest::newRow("DoDict") << "DoDict"
                            << QStringLiteral("openPageFromHome %1").arg(int(HomePage::Dictionary));
    QTest::newRow("DoTests") << "DoTests"
                             << "showTestTopicsFromHome";
    QTest::newRow("DoContinue") << "DoContinue"
                                << "continueReadingFromHome";
    QTest::newRow("exit") << "exit"
                          << "closeProgram";
    QTest::newRow("DoChangeUser") << "DoChangeUser"
                                  << "handOverLearner";
}

void TestReaderRoute::homeCommandsAskOneWholeIntent()
{
    QFETCH(QString, command);
    QFETCH(QString, intent);
    reader::ReaderState state(QStringLiteral("no-such-dir/dect.chh"));
    RecordingReader reader;
    RecordingNavigator navigator;
    TfrmIntro home(state, reader, navigator);
    home.FlashFSCommand(command, QString());
    QCOMPARE(reader.asked, QStringList{intent});
    QVERIFY(navigator.asked.isEmpty());
    // The screen does not change the shared state itself: topic mode is the
    // reader's to set.
    QVERIFY(!state.TopicMode());
    QVERIFY(state.History().empty());
}

void TestReaderRoute::readOnlyCourseAsksNothingOfTheReader()
{
    reader::ReaderState state(QStringLiteral("no-such-dir/dect.chh"));
    state.setLearnerDataFailure(QStringLiteral("не прочитан"));
    RecordingReader reader;
    RecordingNavigator navigator;
    TfrmIntro home(state, reader, navigator);
    for (const char *command : {"DoTests", "DoStat", "DoReport", "DoBookmark"})
        home.FlashFSCommand(QString::fromLatin1(command), QString());
    QVERIFY(reader.asked.isEmpty());
    QVERIFY(navigator.asked.isEmpty());
    QCOMPARE(m_messages.size(), 4);
    QVERIFY(m_messages.first().endsWith(QStringLiteral("не прочитан")));

    // Alt+F4 ends the program through the reader as well.
    home.FormKeyDown(Qt::Key_F4, Qt::AltModifier);
    QCOMPARE(reader.asked, QStringList{"closeProgram"});
}

void TestReaderRoute::fontScreenAsksForTheReadingChoices()
{
    reader::ReaderState state(QStringLiteral("no-such-dir/dect.chh"));
    RecordingReader reader;
    TfrmFont font(state, reader);

    // The column switch asks for the other choice than the state holds.
    font.DoColumn();
    state.setNarrowColumn(true);
    font.DoColumn();
    QCOMPARE(reader.asked, (QStringList{"setNarrowColumn 1", "setNarrowColumn 0"}));
    reader.asked.clear();

    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPointSize(16);
    // The screen keeps its dialog to itself: found by name, as a user sees it.
    auto *dlgFont = font.findChild<ui::FontDialog *>(QStringLiteral("dlgFont"));
    QVERIFY(dlgFont);
    dlgFont->setChosenFont(serif);
    dlgFont->setChosenColor(QColor(0x00, 0x00, 0x80));
    font.dlgFontApply();
    font.DoDefoult();
    QCOMPARE(reader.asked,
             (QStringList{"applyReadingFont Liberation Serif 16 #000080", "restoreDefaultSizes"}));

    // A choice that cannot be kept is reported by the one who asked; the
    // screen lets it through rather than hide it.
    reader.failSaves = true;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, font.DoColumn());
}

QTEST_MAIN(TestReaderRoute)
#include "tst_readerroute.moc"
