#include "teacher/ClassSources.h"

#include "lab/LabError.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

namespace teacher {

namespace {

// Rows appear this often while a folder is read: often enough to look
// alive, seldom enough that rebuilding the table costs little.
constexpr int kBatchMs = 150;

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

FolderReader::FolderReader(QObject *parent) : QObject(parent)
{
    registerTypes();
}

FolderReader::~FolderReader()
{
    stopThread();
}

void FolderReader::stopThread()
{
    if (m_cancelled)
        m_cancelled->store(true);
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    m_running = false;
}

void FolderReader::cancel()
{
    ++m_generation;
    stopThread();
}

void FolderReader::start(const QStringList &files)
{
    cancel();
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_running = true;
    const int generation = m_generation;
    const auto cancelled = m_cancelled;
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
    m_thread = QThread::create([files, cancelled, deliver] {
        QVector<Report> batch;
        QElapsedTimer clock;
        clock.start();
        const int total = int(files.size());
        for (int i = 0; i < total; ++i) {
            if (cancelled->load())
                return;
            batch << readReport(files[i]);
            if (clock.elapsed() >= kBatchMs) {
                deliver(std::exchange(batch, {}), i + 1, total, false);
                clock.restart();
            }
        }
        deliver(std::move(batch), total, total, true);
    });
    m_thread->start();
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
