#pragma once

#include "lab/LabSettings.h"
#include "teacher/ClassDatabase.h"
#include "teacher/ReportFile.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

class QThread;
class QThreadPool;

// Where the teacher's window gets the class from, off the window's thread:
// a folder's report files, read in batches so that rows appear as they are
// read, or the class database, watched for new results.

namespace teacher {

class FolderReader : public QObject
{
    Q_OBJECT
public:
    explicit FolderReader(QObject *parent = nullptr);
    ~FolderReader() override;

    // Reads the files, several at once on a pool of threads that outlives a
    // single read; a read still going is abandoned and its batches dropped.
    void start(const QStringList &files);
    void cancel();
    bool isRunning() const { return m_running; }
    // Lets go of what a read gave on a reading thread: a large class is
    // hundreds of thousands of strings, too many to free between two frames.
    void dispose(QVector<Report> reports);

signals:
    // Reports read since the last batch, in the order of the files; done of
    // total files read so far.
    void batchRead(const QVector<teacher::Report> &reports, int done, int total);
    void finished();

private:
    struct Job;
    void stopJob();

    QThreadPool *m_pool = nullptr;
    std::shared_ptr<Job> m_job;
    int m_generation = 0;
    bool m_running = false;
};

class ClassWatcher : public QObject
{
    Q_OBJECT
public:
    // Asks the database every interval whether anything changed, and reads
    // the class when it did.
    explicit ClassWatcher(const lab::ConnectionSettings &settings, int intervalMs = 3000,
                          QObject *parent = nullptr);
    ~ClassWatcher() override;

    const lab::ConnectionSettings &settings() const { return m_settings; }
    // Reads the class now, changed or not.
    void refreshNow();

signals:
    void snapshotReady(const teacher::ClassSnapshot &snapshot);
    // The server cannot be read: why, in Russian. Said again only when the
    // reason changes; a later snapshot means the server is back.
    void failed(const QString &message);

private:
    class Worker;
    lab::ConnectionSettings m_settings;
    QThread *m_thread = nullptr;
    Worker *m_worker = nullptr;
};

} // namespace teacher

Q_DECLARE_METATYPE(teacher::Report)
Q_DECLARE_METATYPE(teacher::ClassSnapshot)
