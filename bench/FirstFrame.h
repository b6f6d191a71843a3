#pragma once

// Ends a start-up benchmark once a QQuickWidget has rendered a scene and
// painted that frame in a visible window, and reports the peak memory up to
// then.

#include <QApplication>
#include <QEvent>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

class FirstFrame : public QObject
{
public:
    explicit FirstFrame(std::function<void()> done) : m_done(std::move(done))
    {
        qApp->installEventFilter(this);
    }

    static long peakRssKb()
    {
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *view = qobject_cast<QQuickWidget *>(watched);
        if (!view || m_seen)
            return false;
        if (!m_watched.contains(view)) {
            // From the view's first event on, note every render that had a
            // scene in it (an item under the content item, however it was
            // put there); it may render before it is first shown.
            m_watched.insert(view);
            QQuickWindow *window = view->quickWindow();
            connect(
                window, &QQuickWindow::afterRendering, this,
                [this, view, window] {
                    if (!window->contentItem()->childItems().isEmpty())
                        m_rendered.insert(view);
                },
                Qt::DirectConnection);
        }
        if (event->type() == QEvent::Paint && m_rendered.contains(view) &&
                   view->window()->isVisible()) {
            m_seen = true;
            // After this paint has been delivered.
            QTimer::singleShot(0, qApp, [this] {
                std::printf("peak_rss_kb %ld\n", peakRssKb());
                std::fflush(stdout);
                m_done();
            });
        }
        return false;
    }

private:
    std::function<void()> m_done;
    QSet<QQuickWidget *> m_watched, m_rendered;
    bool m_seen = false;
};
