#include "movie/ScriptWatchdog.h"

#include <QDateTime>
#include <QQmlEngine>
#include <QTimer>
#include <QVector>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <pthread.h>

namespace movie {

namespace {
ScriptWatchdog *&watchdogSlot()
{
    static ScriptWatchdog *watchdog = nullptr;
    return watchdog;
}

// One look at the GUI thread's stack: the watchdog sends it a signal, whose
// handler records the return addresses there.
constexpr int kMaxFrames = 256;
struct StackSample
{
    void *frames[kMaxFrames];
    int depth = 0;
    std::atomic<bool> taken{false};
};
StackSample g_sample;
pthread_t g_guiThread;
bool g_sampling = false; // set once the handler is in place

int sampleSignal()
{
    // Above the real-time signals the C library keeps for itself.
    return SIGRTMIN + 6;
}

void onSampleSignal(int)
{
    const int savedErrno = errno;
    g_sample.depth = backtrace(g_sample.frames, kMaxFrames);
    g_sample.taken.store(true);
    errno = savedErrno;
}

// The executable parts of the script engine's library.
struct CodeRange
{
    std::uintptr_t from, to;
};
QVector<CodeRange> g_engineCode;

int collectEngineCode(dl_phdr_info *info, size_t, void *)
{
    const char *name = info->dlpi_name ? std::strrchr(info->dlpi_name, '/') : nullptr;
    name = name ? name + 1 : info->dlpi_name;
    if (!name || std::strncmp(name, "libQt6Qml.so", 12) != 0)
        return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X)) {
            const std::uintptr_t from = info->dlpi_addr + segment.p_vaddr;
            g_engineCode.append({from, from + segment.p_memsz});
        }
    }
    return 0;
}

void prepareSampling()
{
    if (g_sampling)
        return;
    g_guiThread = pthread_self();
    dl_iterate_phdr(collectEngineCode, nullptr);
    // The first backtrace loads the unwinder: done here, not in the handler.
    void *warm[4];
    backtrace(warm, 4);
    struct sigaction action {};
    action.sa_handler = onSampleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    g_sampling = !g_engineCode.isEmpty() && ::sigaction(sampleSignal(), &action, nullptr) == 0;
}
} // namespace

bool ScriptWatchdog::guiThreadInEngine()
{
    if (!g_sampling)
        return false;
    g_sample.taken.store(false);
    if (pthread_kill(g_guiThread, sampleSignal()) != 0)
        return false;
    for (int waited = 0; !g_sample.taken.load(); ++waited) {
        if (waited > 500)
            return false;
        QThread::msleep(1);
    }
    for (int i = 0; i < g_sample.depth; ++i) {
        const auto at = reinterpret_cast<std::uintptr_t>(g_sample.frames[i]);
        for (const CodeRange &range : std::as_const(g_engineCode))
            if (at >= range.from && at < range.to)
                return true;
    }
    return false;
}

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
    prepareSampling();
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
        // Only a script is interrupted: the program's own work is left to
        // finish, and looked at again on the next round.
        if (m_armed.load() && idle > kScriptSeconds * 1000 && !m_engine->isInterrupted() &&
            guiThreadInEngine()) {
            m_fired.store(true);
            m_engine->setInterrupted(true);
        }
    }
}

} // namespace movie
