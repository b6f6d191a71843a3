#include "movie/ScriptWatchdog.h"

#include <QDateTime>
#include <QQmlEngine>
#include <QTimer>

namespace movie {

namespace {
ScriptWatchdog *&watchdogSlot()
{
    static ScriptWatchdog *watchdog = nullptr;
    return watchdog;
}
} // namespace

qint64 ScriptWatchdog::now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

ScriptWatchdog *ScriptWatchdog::current()
{
    return watchdogSlot();
}

void ScriptWatchdog::startFor(QQmlEngine *engine, std::function<void()> stopped)
{
    auto *watchdog = new ScriptWatchdog(engine);
    watchdogSlot() = watchdog;
    auto *heart = new QTimer(engine);
    heart->setInterval(200);
    QObject::connect(heart, &QTimer::timeout, engine, [watchdog, stopped = std::move(stopped)] {
        watchdog->beat();
        if (watchdog->takeFired())
            stopped();
    });
    heart->start();
    QObject::connect(engine, &QObject::destroyed, [watchdog] {
        watchdogSlot() = nullptr;
        watchdog->stop();
        delete watchdog;
    });
    watchdog->start(QThread::LowPriority);
}

void ScriptWatchdog::beat()
{
    QMutexLocker lock(&m_judgeMutex);
    m_lastBeat = now();
}

void ScriptWatchdog::restart()
{
    QMutexLocker lock(&m_judgeMutex);
    m_lastBeat = now();
    if (m_fired.exchange(false))
        m_engine->setInterrupted(false);
}

void ScriptWatchdog::stop()
{
    {
        QMutexLocker lock(&m_stopMutex);
        m_stop.store(true);
    }
    // Woken at once: the program's exit does not wait out a nap.
    m_stopped.wakeAll();
    wait();
}

void ScriptWatchdog::run()
{
    while (!m_stop.load()) {
        {
            QMutexLocker lock(&m_stopMutex);
            if (!m_stop.load())
                m_stopped.wait(&m_stopMutex, 100);
        }
        if (m_stop.load())
            break;
        // Judged and interrupted under the lock: a restart never leaves an
        // interruption that predates it.
        QMutexLocker lock(&m_judgeMutex);
        const qint64 idle = now() - m_lastBeat;
        if (m_armed.load() && idle > kScriptSeconds * 1000 && !m_engine->isInterrupted()) {
            m_fired.store(true);
            m_engine->setInterrupted(true);
        }
    }
}

} // namespace movie
