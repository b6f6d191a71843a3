#include "teacher/TeacherWindow.h"

#include "lab/LabError.h"
#include "teacher/ClassSources.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>

// The teacher window's sources: a folder or chosen report files read in the
// background, or the class database watched live. Only one is open at once.

namespace teacher {

namespace {
// A folder this large shows how far its reading has come.
constexpr int kProgressFrom = 100;
} // namespace

void TeacherWindow::stopSources()
{
    m_reader->cancel();
    delete m_watcher;
    m_watcher = nullptr;
    m_database.clear();
    m_databaseProblem.clear();
    m_databaseRead = QDateTime();
    m_questions->setStats({});
    m_questionStack->setCurrentWidget(m_questionHint);
    m_progress->hide();
    m_loading = false;
}

bool TeacherWindow::openFolder(const QString &dir)
{
    QStringList files;
    QString error;
    if (!ClassTable::listFolder(dir, &files, &error)) {
        message(QStringLiteral("Не удалось открыть папку с отчётами: ") + error);
        return false;
    }
    stopSources();
    m_folder = QFileInfo(dir).absoluteFilePath();
    m_files.clear();
    m_learner.clear();
    m_read.clear();
    m_keepUntilRead = false;
    // Reading from here on: the emptied table says so, not that the
    // folder has no reports.
    m_loading = true;
    QVector<Report> old;
    m_table->setReports({}, &old);
    m_progress->setRange(0, int(files.size()));
    m_progress->setValue(0);
    m_progress->setVisible(files.size() >= kProgressFrom);
    m_reader->start(files);
    // After the reading: the old class is freed once a reading thread is
    // free, while this thread puts the new one in.
    m_reader->dispose(std::move(old));
    return true;
}

void TeacherWindow::batchRead(const QVector<Report> &reports, int done, int total)
{
    // The first batch is taken as it is, not copied report by report.
    if (m_read.isEmpty())
        m_read = reports;
    else
        m_read += reports;
    // The bar repaints itself at once when its value changes: the last
    // batch takes it away instead, before the table is rebuilt.
    if (done == total) {
        m_progress->hide();
    } else {
        m_progress->setRange(0, total);
        m_progress->setValue(done);
    }
    // The rows read so far, while the rest is read; a reload shows the old
    // table until the new one is whole.
    if (!m_keepUntilRead || done == total) {
        QVector<Report> old;
        m_table->setReports(m_read, &old);
        m_reader->dispose(std::move(old));
    }
}

void TeacherWindow::readingDone()
{
    m_loading = false;
    m_keepUntilRead = false;
    m_progress->hide();
    m_read.clear();
    updateNote();
    emit loaded();
}

bool TeacherWindow::waitUntilLoaded(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_loading && !deadline.hasExpired()) {
        QEventLoop loop;
        connect(this, &TeacherWindow::loaded, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::clamp<qint64>(deadline.remainingTime(), 1, 200), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
    return !m_loading;
}

void TeacherWindow::openPaths(const QStringList &paths)
{
    if (m_watcher)
        stopSources();
    QVector<Report> reports;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            QVector<Report> inFolder;
            QString error;
            if (paths.size() == 1) {
                openFolder(path);
                return;
            }
            if (ClassTable::readFolder(path, &inFolder, &error)) {
                reports += inFolder;
                for (const Report &r : std::as_const(inFolder))
                    m_files << r.path;
            } else {
                message(QStringLiteral("Не удалось открыть папку с отчётами: ") + error);
            }
            continue;
        }
        // A file that is not a report still gets its row: the teacher must
        // see that it was not taken in.
        reports << readReport(path);
        m_files << info.absoluteFilePath();
    }
    m_files.removeDuplicates();
    m_table->addReports(reports);
}

void TeacherWindow::reload()
{
    if (m_watcher) {
        m_watcher->refreshNow();
        return;
    }
    if (!m_folder.isEmpty()) {
        QStringList files;
        QString error;
        if (!ClassTable::listFolder(m_folder, &files, &error)) {
            message(QStringLiteral("Не удалось открыть папку с отчётами: ") + error);
            return;
        }
        // The table keeps what it shows until the new reading is in.
        m_reader->cancel();
        m_read.clear();
        m_keepUntilRead = true;
        files += m_files;
        m_loading = true;
        m_progress->setRange(0, int(files.size()));
        m_progress->setValue(0);
        m_progress->setVisible(files.size() >= kProgressFrom);
        m_reader->start(files);
        updateNote();
        return;
    }
    QVector<Report> reports;
    for (const QString &f : std::as_const(m_files))
        reports << readReport(f);
    m_table->setReports(reports);
}

bool TeacherWindow::openDatabase(const lab::ConnectionSettings &settings, int pollMs)
{
    // The first connection is made here, so that a wrong setting is told
    // at once and the table stays as it was.
    try {
        ClassDatabase probe(settings);
        probe.open();
    } catch (const lab::LabError &e) {
        message(QStringLiteral("Не удалось открыть базу класса. ") + e.message());
        return false;
    }
    stopSources();
    m_folder.clear();
    m_files.clear();
    m_learner.clear();
    m_table->clear();
    m_database = ClassDatabase::label(settings);
    m_loading = true;
    m_questionStack->setCurrentWidget(m_questionView);
    m_watcher = new ClassWatcher(settings, pollMs, this);
    connect(m_watcher, &ClassWatcher::snapshotReady, this, &TeacherWindow::snapshotReady);
    connect(m_watcher, &ClassWatcher::failed, this, &TeacherWindow::databaseFailed);
    updateNote();
    return true;
}

void TeacherWindow::snapshotReady(const ClassSnapshot &snapshot)
{
    m_databaseProblem.clear();
    m_databaseRead = QDateTime::currentDateTime();
    m_questions->setStats(snapshot.questions);
    // The sheet stays on its learner across a refresh.
    const QString learner = m_learner;
    m_table->setReports(snapshot.reports);
    if (!learner.isEmpty() && !m_table->learnerReports(learner).isEmpty())
        selectLearner(learner);
    m_loading = false;
    updateNote();
    emit loaded();
}

void TeacherWindow::databaseFailed(const QString &text)
{
    m_databaseProblem = text;
    m_loading = false;
    updateNote();
    emit loaded();
}

void TeacherWindow::chooseDatabase()
{
    QString start = documentsFolder();
    const QStringList courses = CourseTopics::candidatePaths();
    if (!m_table->topics().loadedFrom().isEmpty())
        start = QFileInfo(m_table->topics().loadedFrom()).absolutePath();
    else if (!courses.isEmpty())
        start = QFileInfo(courses.first()).absolutePath();
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Файл базы компьютерного класса"), start,
        QStringLiteral("Файл компьютерного класса (lab.ini);;Все файлы (*)"));
    if (file.isEmpty())
        return;
    try {
        openDatabase(lab::LabSettings::readFile(file));
    } catch (const lab::LabError &e) {
        message(e.message());
    }
}

void TeacherWindow::updateNote()
{
    const int reports = int(m_table->reports().size());
    // The hint while there is nothing to show; while reports are read the
    // table stays, for their rows to come into.
    m_tableStack->setCurrentIndex(reports == 0 && !m_loading ? 0 : 1);
    QString note;
    if (!m_database.isEmpty()) {
        note = QStringLiteral("База класса %1").arg(m_database);
        if (!m_databaseProblem.isEmpty()) {
            note += QStringLiteral(" · %1 Показано то, что было прочитано%2; новая попытка — "
                                   "через несколько секунд.")
                        .arg(m_databaseProblem,
                             m_databaseRead.isValid()
                                 ? QStringLiteral(" в ") + m_databaseRead.toString(QStringLiteral("HH:mm:ss"))
                                 : QString());
        } else if (m_databaseRead.isValid()) {
            note += QStringLiteral(" · учеников: %1 · обновлено в %2")
                        .arg(m_table->learnerCount())
                        .arg(m_databaseRead.toString(QStringLiteral("HH:mm:ss")));
        } else {
            note += QStringLiteral(" · чтение…");
        }
        m_note->setText(note);
        return;
    }
    const int problems = m_table->problemCount();
    const QString where =
        m_folder.isEmpty() ? QString() : QDir::toNativeSeparators(m_folder) + QStringLiteral(" · ");
    if (reports == 0 && m_folder.isEmpty()) {
        note = QStringLiteral("Папка с отчётами не выбрана");
    } else if (reports == 0 && m_loading) {
        note = where + QStringLiteral("чтение отчётов…");
    } else if (reports == 0) {
        note = where + QStringLiteral("в папке нет файлов отчётов (*.rep)");
    } else {
        note = where +
               QStringLiteral("файлов: %1, учеников: %2").arg(reports).arg(m_table->learnerCount());
        if (problems > 0)
            note += QStringLiteral(", повреждённых или чужих файлов: %1").arg(problems);
        if (m_loading)
            note += QStringLiteral(" · чтение продолжается…");
    }
    m_note->setText(note);
}

} // namespace teacher
