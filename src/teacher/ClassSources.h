#pragma once

#include "lab/LabSettings.h"
#include "teacher/ClassDatabase.h"
#include "teacher/ReportFile.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

class QThread;
class QTimer;

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

    // Reads the files; a read still going is abandoned and its batches dropped.
    void start(const QStringList &files);
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    // Reports read since the last batch; done of total files read so far.
    void batchRead(const QVector<teacher::Report> &reports, int done, int total);
    void finished();

private:
    void stopThread();

    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
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
