// Every screen lies whole inside the available desktop, down to the smallest
// one the textbook runs on (800 x 600, and less where a panel takes room),
// with the buttons a learner needs in view.
#include "common/ReaderFixture.h"
#include "progress/BookmarksScreen.h"
#include "progress/ReportScreen.h"
#include "progress/StatisticsScreen.h"
#include "screens/AboutScreen.h"
#include "screens/FontScreen.h"
#include "screens/HomeScreen.h"
#include "screens/SignInScreen.h"
#include "testing/ReviewWindow.h"
#include "testing/TestWindow.h"
#include "ui/ModalScreen.h"

#include <QQuickItem>
#include <QTest>
#include <QTimer>

namespace {

// Where a control of a window is, in the window's own coordinates; a movie's
// control as it is drawn (the scene may be scaled to its place).
QRect placeOf(QWidget *window, const QString &name)
{
    if (auto *widget = window->findChild<QWidget *>(name); widget && !qobject_cast<movie::MovieControl *>(widget))
        return widget->isVisibleTo(window) ? QRect(widget->mapTo(window, QPoint(0, 0)), widget->size())
                                           : QRect();
    for (auto *movie : window->findChildren<movie::MovieControl *>()) {
        auto *item = qobject_cast<QQuickItem *>(movie->findControl(name));
        if (!item || !item->isVisible())
            continue;
        const QRectF scene = item->mapRectToScene(item->boundingRect());
        return QRect(movie->mapTo(window, scene.topLeft().toPoint()), scene.size().toSize());
    }
    return QRect();
}

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void everyScreenFits_data();
    void everyScreenFits();
};

void TestPlacement::everyScreenFits_data()
{
    QTest::addColumn<QRect>("desktop");
    QTest::newRow("800x600") << QRect(0, 0, 800, 600);
    QTest::newRow("800x600, panel at the top") << QRect(0, 32, 800, 568);
    QTest::newRow("1024x768") << QRect(0, 0, 1024, 768);
}

void TestPlacement::everyScreenFits()
{
    QFETCH(QRect, desktop);
    ui::ModalScreen::setAvailableDesktopSource([desktop] { return desktop; });
    TfrmIntro::setDesktopSizeSource([desktop] { return QSize(desktop.right() + 1, desktop.bottom() + 1); });
    testsupport::ReaderFixture reader;
    QVERIFY(reader.open());

    struct Screen
    {
        ui::ModalScreen *window;
        QStringList controls;
    };
    const Screen screens[] = {
        {frmLogin, {"LBNames", "AddNewUser", "Enter", "close"}},
        {frmIntro, {"DoBegin", "DoTests", "DoChangeUser", "exit"}},
        {frmStat, {"btnClose", "LectureChart"}},
        {frmFont, {"DoChange", "DoDefoult", "DoColumn", "close"}},
        {frmBookmark, {"DoJump", "DoDel", "close"}},
        {frmOtcher, {"Generate", "close"}},
        {frmAbout, {"close"}},
        {frmReview, {}},
    };
    for (const Screen &screen : screens) {
        const QString name = screen.window->objectName();
        bool checked = false;
        QTimer::singleShot(0, screen.window, [&] {
            QWidget *w = screen.window;
            QCoreApplication::processEvents();
            const QRect frame(w->pos(), w->frameGeometry().size());
            QVERIFY2(desktop.contains(frame), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                                              .arg(name)
                                                              .arg(frame.x())
                                                              .arg(frame.y())
                                                              .arg(frame.width())
                                                              .arg(frame.height())));
            for (const QString &control : screen.controls) {
                const QRect at = placeOf(w, control);
                QVERIFY2(!at.isEmpty() && w->rect().contains(at),
                         qPrintable(name + QStringLiteral(": ") + control));
            }
            checked = true;
            screen.window->closeScreen();
        });
        screen.window->showModal();
        QVERIFY2(checked, qPrintable(name));
    }
    // The test window is no movie screen, and follows the same rule.
    frmTest->resize(709, 498);
    frmTest->move(desktop.x() + 200, desktop.y() - 20);
    frmTest->keepOnScreen();
    QVERIFY(desktop.contains(QRect(frmTest->pos(), frmTest->frameGeometry().size())));
    ui::ModalScreen::setAvailableDesktopSource({});
    TfrmIntro::setDesktopSizeSource({});
}

QTEST_MAIN(TestPlacement)
#include "tst_placement.moc"
