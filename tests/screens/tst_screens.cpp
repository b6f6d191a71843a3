#include "common/ReaderParts.h"
#include "common/CourseFolder.h"
#include "common/ScreenParts.h"
#include "ui/ModalScreen.h"
#include "app/WindowSet.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "screens/AboutScreen.h"
#include "screens/FontScreen.h"
#include "ui/FontDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
using testsupport::copyTree;


// Shows a screen modally and runs `during` inside its loop, with the queued
// movie commands it raised delivered; closes the screen if it is still open.
// Returns whether it was still open.
bool runModal(ui::ModalScreen *screen, const std::function<void()> &during)
{
    bool openAfter = false;
    auto active = std::make_shared<bool>(true);
    QTimer::singleShot(0, screen, [&, active] {
        if (!*active)
            return;
        during();
        QCoreApplication::sendPostedEvents();
        openAfter = screen->isVisible();
        if (openAfter)
            screen->closeScreen();
    });
    screen->showModal();
    *active = false;
    return openAfter;
}

// Runs `inDialog` once the font dialog is up, from inside its own loop.
void whenFontDialogOpens(const std::function<void(ui::FontDialog *)> &inDialog)
{
    QTimer::singleShot(0, parts::font::dlgFont(), [inDialog] {
        ui::FontDialog *dlg = parts::font::dlgFont();
        QVERIFY(dlg->isVisible());
        inDialog(dlg);
        if (dlg->isVisible())
            dlg->reject();
    });
}

struct StyleLook
{
    QString face;
    int size;
    bool bold;
    bool italic;
    bool underline;
    bool strikeOut;
    QColor color;
    friend bool operator==(const StyleLook &, const StyleLook &) = default;
};
} // namespace

Q_DECLARE_METATYPE(QList<StyleLook>)

namespace {

StyleLook look(int style)
{
    const richtext::RVTextStyle &s = parts::RVStyle1()->TextStyles(style);
    return {s.fontName, s.size, s.bold, s.italic, s.underline, s.strikeOut, s.color};
}

QList<StyleLook> sheetLook()
{
    QList<StyleLook> all;
    for (int i = 0; i < parts::RVStyle1()->TextStyleCount(); ++i)
        all.append(look(i));
    return all;
}

QList<int> sizes()
{
    QList<int> list;
    for (int i = 0; i < parts::RVStyle1()->TextStyleCount(); ++i)
        list.append(parts::RVStyle1()->TextStyles(i).size);
    return list;
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void fontScreenShowsTheDictionary();
    void applyChangesTheReaderSheet_data();
    void applyChangesTheReaderSheet();
    void defaultSizesKeepTheAppliedFace();
    void okWithoutApplyChangesNothing();
    void fontDialogOffersWhatTheLearnerNeeds();
    void fontDialogOpensOnTheReadingFontBesideThePreview();

    void aboutPlaysItsMovieAndLeavesTheEmptyOne();

private:
    testsupport::CourseFolder m_course;
};

void TestScreens::initTestCase()
{
    QVERIFY(m_course.isValid());
    QVERIFY(copyTree(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), m_course.filePath("pictures")));
    QVERIFY(
        copyTree(QStringLiteral(TARVEL_TEST_DATA "/screens/lections"), m_course.filePath("lections")));
    QVERIFY(m_course.enter());
}

void TestScreens::cleanupTestCase()
{
}

void TestScreens::init()
{
    createWindowSet();
}

void TestScreens::cleanup()
{
    destroyWindowSet();
    ui::FontDialog::setColorHook({});
}

void TestScreens::fontScreenShowsTheDictionary()
{
    QCOMPARE(frmFont->windowTitle(), QStringLiteral("Выбор шрифта"));
    QCOMPARE(frmFont->size(), QSize(550, 400));
    QCOMPARE(frmFont->pos(), QPoint(278, 193));
    QCOMPARE(parts::font::RView1()->geometry(), QRect(16, 24, 401, 345));
    QCOMPARE(parts::font::RView1()->frameShape(), QFrame::NoFrame);
    QCOMPARE(parts::font::RView1()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(parts::font::RView1()->rvStyle(), parts::RVStyle1());

    int items = 0;
    QString movie;
    QVERIFY(runModal(frmFont, [&] {
        items = parts::font::RView1()->GetLineCount();
        movie = parts::font::Flash()->movie();
    }));
    QCOMPARE(parts::font::RView1()->GetItemTextA(0), QStringLiteral("Словарь терминов"));
    QVERIFY(items > 3);
    QCOMPARE(movie, QDir::currentPath() + QStringLiteral("/pictures/font.qml"));

    // Without the dictionary the preview stays as it was.
    QVERIFY(
        QFile::rename(QStringLiteral("lections/dict.rvf"), QStringLiteral("lections/dict.bak")));
    int itemsWithout = 0;
    QVERIFY(runModal(frmFont, [&] { itemsWithout = parts::font::RView1()->GetLineCount(); }));
    QVERIFY(
        QFile::rename(QStringLiteral("lections/dict.bak"), QStringLiteral("lections/dict.rvf")));
    QCOMPARE(itemsWithout, items);
}

void TestScreens::applyChangesTheReaderSheet_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("style"); // 0 regular, 1 italic, 2 bold, 3 bold italic
    QTest::addColumn<QList<StyleLook>>("expected");
    const QColor navy(0x00, 0x00, 0x80);
    QTest::newRow("Times New Roman 12 bold")
        << "Times New Roman" << 12 << 2
        << QList<StyleLook>{
               {"Times New Roman", 12, true, false, false, false, QColor(0x11, 0x22, 0x33)},
               {"Arial", 22, true, false, false, false, QColor(0x00, 0x00, 0xFF)},
               {"Arial", 16, true, false, false, false, navy},
               {"Courier New", 12, false, true, false, false, QColor(0x80, 0x00, 0x00)},
               {"Arial", 14, false, false, false, false, rvDesktopBackgroundColor()}};
    QTest::newRow("72 points")
        << "Courier New" << 72 << 1
        << QList<StyleLook>{
               {"Courier New", 72, false, true, false, false, QColor(0x11, 0x22, 0x33)},
               {"Arial", 82, true, false, false, false, QColor(0x00, 0x00, 0xFF)},
               {"Arial", 76, true, false, false, false, navy},
               {"Courier New", 72, false, true, false, false, QColor(0x80, 0x00, 0x00)},
               {"Arial", 74, false, false, false, false, rvDesktopBackgroundColor()}};
}

void TestScreens::applyChangesTheReaderSheet()
{
    QFETCH(QString, face);
    QFETCH(int, size);
    QFETCH(int, style);
    QFETCH(QList<StyleLook>, expected);
    const QList<StyleLook> before = sheetLook();
    ui::FontDialog::setColorHook([](const QColor &) { return QColor(0x11, 0x22, 0x33); });

    QList<StyleLook> applied;
    QList<StyleLook> afterCancel;
    QVERIFY(runModal(frmFont, [&] {
        QVERIFY(parts::font::Flash()->click("DoChange"));
        whenFontDialogOpens([&](ui::FontDialog *dlg) {
            dlg->faceBox->setEditText(face);
            dlg->sizeBox->setValue(size);
            dlg->styleBox->setCurrentIndex(style);
            dlg->underlineBox->setChecked(true);
            dlg->colorButton->click();
            // Underline is chosen and then taken back before Apply.
            dlg->underlineBox->setChecked(false);
            dlg->applyButton->click();
            for (int i = 0; i < 5; ++i)
                applied.append(look(i));
            dlg->cancelButton->click();
        });
        QCoreApplication::sendPostedEvents();
        afterCancel = sheetLook();
    }));
    QCOMPARE(applied, expected);
    // Cancel after Apply keeps what was applied; styles 5 to 11 were not
    // touched, and the contents' section lines (12) follow the text size.
    QCOMPARE(afterCancel.mid(0, 5), expected);
    QCOMPARE(afterCancel.mid(5, 7), before.mid(5, 7));
    QCOMPARE(afterCancel.at(12).size, size);
    QCOMPARE(afterCancel.mid(13), before.mid(13));
    // The next showing starts from the applied font.
    QCOMPARE(parts::font::dlgFont()->chosenFont().family(), face);
    QCOMPARE(parts::font::dlgFont()->chosenFont().pointSize(), size);
}

void TestScreens::defaultSizesKeepTheAppliedFace()
{
    // At start and after default sizes the sheet holds the designed sizes,
    // the lecture titles two points above the text.
    QList<int> start = sizes();
    QCOMPARE(start.mid(0, 13), (QList<int>{10, 20, 14, 10, 12, 12, 10, 9, 9, 12, 10, 10, 10}));
    QVERIFY(runModal(frmFont, [] { QVERIFY(parts::font::Flash()->click("DoDefoult")); }));
    QCOMPARE(sizes().mid(0, 13), (QList<int>{10, 20, 14, 10, 12, 12, 10, 9, 9, 12, 10, 10, 10}));

    QFont times(QStringLiteral("Times New Roman"), 12);
    times.setBold(true);
    parts::font::dlgFont()->setChosenFont(times);
    parts::font::dlgFont()->setChosenColor(Qt::darkGreen);
    frmFont->dlgFontApply();
    QCOMPARE(sizes().mid(0, 5), (QList<int>{12, 22, 16, 12, 14}));
    parts::RVStyle1()->TextStyles(7).size = 30;
    frmFont->DoDefoult();
    QCOMPARE(sizes().mid(0, 13), (QList<int>{10, 20, 14, 10, 12, 12, 10, 9, 9, 12, 10, 10, 10}));
    QCOMPARE(look(0),
             (StyleLook{"Times New Roman", 10, true, false, false, false, QColor(Qt::darkGreen)}));
}

void TestScreens::okWithoutApplyChangesNothing()
{
    const QList<StyleLook> before = sheetLook();
    QString previewFace;
    QVERIFY(runModal(frmFont, [&] {
        frmFont->FlashFSCommand(QStringLiteral("dochange"), {}); // not a command: other case
        whenFontDialogOpens([&](ui::FontDialog *dlg) {
            dlg->faceBox->setEditText(QStringLiteral("Liberation Mono"));
            dlg->sizeBox->setValue(40);
            dlg->strikeOutBox->setChecked(true);
            previewFace = dlg->sample->font().family();
            dlg->okButton->click();
        });
        frmFont->FlashFSCommand(QStringLiteral("DoChange"), {});
    }));
    QCOMPARE(sheetLook(), before);
    QCOMPARE(previewFace, QStringLiteral("Liberation Mono"));
    // OK keeps the choice for the next showing.
    QCOMPARE(parts::font::dlgFont()->chosenFont().family(), QStringLiteral("Liberation Mono"));
    QCOMPARE(parts::font::dlgFont()->chosenFont().pointSize(), 40);
    QVERIFY(parts::font::dlgFont()->chosenFont().strikeOut());

    // Cancel keeps nothing.
    whenFontDialogOpens([](ui::FontDialog *dlg) {
        dlg->sizeBox->setValue(9);
        dlg->cancelButton->click();
    });
    QVERIFY(!parts::font::dlgFont()->Execute());
    QCOMPARE(parts::font::dlgFont()->chosenFont().pointSize(), 40);
}

// The dialog starts from the font the pages are read in and leaves most of
// the preview it updates in view.
void TestScreens::fontDialogOpensOnTheReadingFontBesideThePreview()
{
    frmMain->applyReadingFont(QFont(QStringLiteral("Times New Roman"), 14), Qt::darkBlue);
    QString face;
    int size = 0;
    QRect dialog;
    QRect preview;
    QVERIFY(runModal(frmFont, [&] {
        frmFont->move(0, 0);
        whenFontDialogOpens([&](ui::FontDialog *dlg) {
            face = dlg->faceBox->currentText();
            size = dlg->sizeBox->value();
            dialog = dlg->frameGeometry();
            preview = QRect(parts::font::RView1()->mapToGlobal(QPoint(0, 0)), parts::font::RView1()->size());
        });
        frmFont->FlashFSCommand(QStringLiteral("DoChange"), {});
    }));
    QCOMPARE(face, QStringLiteral("Times New Roman"));
    QCOMPARE(size, 14);
    const QRect covered = dialog.intersected(preview);
    const qint64 coveredArea = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
    QVERIFY2(coveredArea * 4 < qint64(preview.width()) * preview.height(),
             qPrintable(QStringLiteral("dialog %1,%2 %3x%4 over preview %5,%6 %7x%8")
                            .arg(dialog.x()).arg(dialog.y()).arg(dialog.width()).arg(dialog.height())
                            .arg(preview.x()).arg(preview.y()).arg(preview.width()).arg(preview.height())));
}

void TestScreens::fontDialogOffersWhatTheLearnerNeeds()
{
    ui::FontDialog *dlg = parts::font::dlgFont();
    // It starts with the classic dialog font in the window text colour.
    QCOMPARE(dlg->chosenFont().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(dlg->chosenFont().pointSize(), 8);
    QCOMPARE(dlg->chosenColor(), dlg->palette().color(QPalette::WindowText));
    QCOMPARE(dlg->faceBox->currentText(), QStringLiteral("MS Sans Serif"));
    // Screen fonts are listed; sizes are not limited to the list.
    QVERIFY(dlg->faceBox->findText(QStringLiteral("Liberation Serif")) >= 0);
    QVERIFY(dlg->sizeBox->maximum() >= 1000);
    QCOMPARE(dlg->applyButton->text(), QStringLiteral("Применить"));
    // The sample follows the selection, colour included.
    dlg->sizeBox->setValue(20);
    dlg->styleBox->setCurrentIndex(3);
    ui::FontDialog::setColorHook([](const QColor &) { return QColor(Qt::red); });
    dlg->colorButton->click();
    QCOMPARE(dlg->sample->font().pointSize(), 20);
    QVERIFY(dlg->sample->font().bold());
    QVERIFY(dlg->sample->font().italic());
    QCOMPARE(dlg->sample->palette().color(QPalette::WindowText), QColor(Qt::red));
    // A cancelled colour dialog keeps the colour.
    ui::FontDialog::setColorHook([](const QColor &) { return QColor(); });
    dlg->colorButton->click();
    QCOMPARE(dlg->selectedColor(), QColor(Qt::red));
}

void TestScreens::aboutPlaysItsMovieAndLeavesTheEmptyOne()
{
    QCOMPARE(frmAbout->windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(frmAbout->size(), QSize(551, 400));
    const QString pictures = QDir::currentPath() + QStringLiteral("/pictures/");
    for (int showing = 0; showing < 2; ++showing) {
        QString during;
        const bool open = runModal(frmAbout, [&] {
            during = parts::about::FlashEbout()->movie();
            frmAbout->FlashEboutFSCommand(QStringLiteral("Close"), {}); // other case: nothing
            QCOMPARE(parts::about::FlashEbout()->movie(), during);
            QVERIFY(parts::about::FlashEbout()->click("close"));
        });
        QVERIFY(!open);
        QCOMPARE(during, pictures + QStringLiteral("about.qml"));
        QCOMPARE(parts::about::FlashEbout()->movie(), pictures + QStringLiteral("zero.qml"));
    }
    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(frmAbout->geometry().center(), screen.center());
}


QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
