#pragma once

// Clicks as the window system delivers them, each at a time of its own, for
// the cases where the time between two clicks is what counts.

#include <QCoreApplication>
#include <QTest>
#include <QWindow>

#include <algorithm>

namespace testsupport {

// A press at `timestamp` (ms), then its release 20 ms later.
inline void clickAt(QWindow *window, const QPoint &at, int timestamp)
{
    const QPointF global = window->mapToGlobal(at);
    qt_handleMouseEvent(window, at, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress,
                        {}, timestamp);
    qt_handleMouseEvent(window, at, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease,
                        {}, timestamp + 20);
    // QTest's own clicks come later still.
    QTest::lastMouseTimestamp = std::max(QTest::lastMouseTimestamp, timestamp + 20);
    QCoreApplication::processEvents();
}

// A time for the next such click, well after every click so far.
inline int nextClickTime() { return QTest::lastMouseTimestamp + 5000; }

// Counts the presses a widget is given (as an event filter on it).
class PressCounter : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            ++presses;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace testsupport
