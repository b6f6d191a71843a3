#include "teacher/ClassSources.h"

#include "lab/LabError.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace teacher {

namespace {

// The first rows appear soon; each later batch waits twice as long, so that
// a large folder rebuilds the table a handful of times, not once per file.
constexpr int kFirstBatchMs = 100;
// Files a reading thread takes at once: few enough to share the work out
// evenly, enough to keep the threads from queueing at each other.
constexpr int kChunkFiles = 16;

void registerTypes()
{
    static const bool done = [] {
        qRegisterMetaType<QVector<teacher::Report>>();
        qRegisterMetaType<teacher::ClassSnapshot>();
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

// One read of a list of files, shared by the threads that read it. Each
// thread takes the next chunk of files; the reports are handed over in the
// order of the files, as far as every earlier chunk is read.
struct FolderReader::Job
{
    using Deliver = std::function<void(QVector<Report>, int done, int total, bool last)>;

    Job(const QStringList &names, Deliver give)
        : files(names), reports(size_t(names.size())),
          chunks(int((names.size() + kChunkFiles - 1) / kChunkFiles)), deliver(std::move(give)),
          chunkRead(size_t(chunks), 0)
    {
    }

    // Const: several threads read it, and a write access would detach it
    // under their feet.
    const QStringList files;
    std::vector<Report> reports; // a thread writes only the files of its chunk
    const int chunks;
    const Deliver deliver;
    std::atomic<bool> cancelled{false};
    std::atomic<int> nextChunk{0};

    std::mutex mutex; // guards what follows
    std::condition_variable idle;
    int threads = 0;             // still reading
    std::vector<char> chunkRead; // by chunk
    int readChunks = 0;          // read from the first without a gap
    int delivered = 0;           // files handed over
    QElapsedTimer clock;
    qint64 wait = kFirstBatchMs;

    void run()
    {
        const int total = int(files.size());
        while (!cancelled.load()) {
            const int chunk = nextChunk.fetch_add(1);
            if (chunk >= chunks)
                break;
            const int last = std::min(total, (chunk + 1) * kChunkFiles);
            for (int i = chunk * kChunkFiles; i < last && !cancelled.load(); ++i)
                reports[size_t(i)] = readReport(files[i], ReportLines::Drop);
            if (cancelled.load())
                break;
            std::lock_guard lock(mutex);
            chunkRead[size_t(chunk)] = 1;
            while (readChunks < chunks && chunkRead[size_t(readChunks)])
                ++readChunks;
            const int ready = std::min(total, readChunks * kChunkFiles);
            const bool all = ready == total;
            if (!all && (ready == delivered || clock.elapsed() < wait))
                continue;
            QVector<Report> batch;
            batch.reserve(ready - delivered);
            for (int i = delivered; i < ready; ++i)
                batch.append(std::move(reports[size_t(i)]));
            delivered = ready;
            clock.restart();
            wait *= 2;
            deliver(std::move(batch), ready, total, all);
        }
        std::lock_guard lock(mutex);
        --threads;
        idle.notify_all();
    }
};

FolderReader::FolderReader(QObject *parent) : QObject(parent)
{
    registerTypes();
    m_pool = new QThreadPool(this);
    // The threads stay for the next read: starting them anew cost more than
    // reading a small folder.
    m_pool->setExpiryTimeout(-1);
    m_pool->setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

FolderReader::~FolderReader()
{
    stopJob();
    m_pool->waitForDone();
}

void FolderReader::stopJob()
{
    if (m_job) {
        m_job->cancelled.store(true);
        std::unique_lock lock(m_job->mutex);
        m_job->idle.wait(lock, [job = m_job.get()] { return job->threads == 0; });
    }
    m_job.reset();
    m_running = false;
}

void FolderReader::cancel()
{
    ++m_generation;
    stopJob();
}

void FolderReader::dispose(QVector<Report> reports)
{
    if (reports.isEmpty())
        return;
    m_pool->start([doomed = std::move(reports)]() mutable { QVector<Report>().swap(doomed); });
}

void FolderReader::start(const QStringList &files)
{
    cancel();
    m_running = true;
    const int generation = m_generation;
    QPointer<FolderReader> self(this);
    // Each batch is handed to this object's thread; one from an abandoned
    // read is dropped there.
    const auto deliver = [self, generation](QVector<Report> batch, int done, int total, bool last) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, batch = std::move(batch), done, total, last] {
                if (!self || self->m_generation != generation)
                    return;
                if (!batch.isEmpty() || done == total)
                    emit self->batchRead(batch, done, total);
                if (last) {
                    self->m_running = false;
                    emit self->finished();
                }
            },
            Qt::QueuedConnection);
    };
    const int total = int(files.size());
    if (total == 0) {
        deliver({}, 0, 0, true);
        return;
    }
    auto job = std::make_shared<Job>(files, deliver);
    job->threads = std::min(job->chunks, m_pool->maxThreadCount());
    job->clock.start();
    m_job = job;
    for (int i = 0, n = job->threads; i < n; ++i)
        m_pool->start([job] { job->run(); });
}

// Lives on the watcher's thread, where its connection was made.
class ClassWatcher::Worker : public QObject
{
public:
    Worker(ClassWatcher *owner, const lab::ConnectionSettings &settings, int intervalMs)
        : m_owner(owner), m_db(settings), m_interval(intervalMs)
    {
    }

    void begin()
    {
        m_timer = new QTimer(this);
        m_timer->setInterval(m_interval);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { poll(false); });
        m_timer->start();
        poll(true);
    }

    void poll(bool force)
    {
        try {
            if (!m_db.isOpen()) {
                m_db.open();
                force = true;
            }
            const QString stamp = m_db.changeStamp();
            if (!force && stamp == m_stamp)
                return;
            const ClassSnapshot snapshot = m_db.read();
            m_stamp = stamp;
            m_failure.clear();
            emit m_owner->snapshotReady(snapshot);
        } catch (const lab::LabError &e) {
            m_db.close();
            m_stamp.clear();
            if (e.message() != m_failure) {
                m_failure = e.message();
                emit m_owner->failed(e.message());
            }
        }
    }

private:
    ClassWatcher *m_owner;
    ClassDatabase m_db;
    int m_interval;
    QTimer *m_timer = nullptr;
    QString m_stamp;
    QString m_failure;
};

ClassWatcher::ClassWatcher(const lab::ConnectionSettings &settings, int intervalMs,
                           QObject *parent)
    : QObject(parent), m_settings(settings)
{
    registerTypes();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("classWatcher"));
    m_worker = new Worker(this, settings, intervalMs);
    m_worker->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->begin(); }, Qt::QueuedConnection);
}

ClassWatcher::~ClassWatcher()
{
    // The connection belongs to the worker's thread: it goes there.
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { delete w; },
                              Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void ClassWatcher::refreshNow()
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->poll(true); }, Qt::QueuedConnection);
}

} // namespace teacher
