#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>

class QQmlEngine;

namespace movie {

// Stops a script that never returns (while (true) {}): the program's event
// loop beats; when it has not beaten for kScriptSeconds while scenes are
// alive (armed), and the GUI thread is found inside the script engine at
// that moment, the engine is interrupted from this thread. The next beat
// clears the interruption and tells the movie controls. The program's own
// long work (a page laid out, a save on a slow share) is never taken for a
// movie's: the GUI thread is then outside the engine.
class ScriptWatchdog : public QThread
{
public:
    static constexpr int kScriptSeconds = 5;

    explicit ScriptWatchdog(QQmlEngine *engine) : m_engine(engine) { beat(); }

    // Starts the program's watchdog for the engine: a heart timer in the
    // event loop that calls stopped() after an interruption; the watchdog
    // ends with the engine.
    static void startFor(QQmlEngine *engine, std::function<void()> stopped);
    // The program's watchdog, or null before an engine or after it ended.
    static ScriptWatchdog *current();

    void beat();
    // Counts afresh from now, for scripts the program is about to run itself
    // (a scene's start-up). The time the program spent on its own work
    // before is not theirs: an interruption that came in it is withdrawn, or
    // a scene created after a long page layout would be given up unrun.
    void restart();
    void setArmed(bool armed) { m_armed.store(armed); }
    // Whether the engine was interrupted since last asked.
    bool takeFired() { return m_fired.exchange(false); }
    void stop();

    // Whether the GUI thread is running code of the script engine right
    // now (a script, a binding, a scene being built). Asked from another
    // thread; false when it cannot be told.
    static bool guiThreadInEngine();

protected:
    void run() override;

private:
    static qint64 now();

    QQmlEngine *m_engine;
    QMutex m_judgeMutex;
    qint64 m_lastBeat = 0; // under m_judgeMutex
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_fired{false};
    std::atomic<bool> m_stop{false};
    QMutex m_stopMutex;
    QWaitCondition m_stopped;
};

} // namespace movie
