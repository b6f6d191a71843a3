#pragma once

#include "lab/LabSettings.h"
#include "teacher/ClassTable.h"
#include "teacher/ClassViews.h"

#include <QMainWindow>
#include <functional>

class QComboBox;
class QLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSplitter;
class QStackedWidget;
class QTableView;
class QTabWidget;
class QTextBrowser;

namespace teacher {

class ClassChart;
class ClassWatcher;
class FolderReader;

// The teacher's window: the reports of a folder (or of dropped files), or the
// class database of a computer lab watched live, as one table of the class,
// filters by group and test, the class's chart, one learner's sheet, how
// each question was answered (from the database), each learner's best and
// last result per test, CSV export and the sheet on paper or in PDF. It only
// reads; nothing is ever written into the reports' folder or the database.
// Reading happens off the window's thread: the window stays responsive and
// rows appear as they are read.
class TeacherWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit TeacherWindow(const CourseTopics &topics, QWidget *parent = nullptr);

    // Shows the reports of a folder, read in the background; false, with a
    // message, when the folder cannot be listed.
    bool openFolder(const QString &dir);
    // Adds files, or every report of a folder among them.
    void openPaths(const QStringList &paths);
    // Reads the folder (or the files, or the database) again.
    void reload();
    // Shows the class database and follows it as results arrive. The first
    // connection's failure is told in a message; false then.
    bool openDatabase(const lab::ConnectionSettings &settings, int pollMs = 3000);
    // Whether reports or the database are still being read.
    bool isLoading() const { return m_loading; }
    // Waits, handling events, until nothing is being read (or ms passed).
    bool waitUntilLoaded(int ms = 60000);

    // The table as shown: filtered and sorted. False, with a message, on failure.
    bool exportCsv(const QString &fileName);
    // The selected learner's sheet as a PDF file.
    bool saveSheetPdf(const QString &fileName);

    ClassTable *table() const { return m_table; }
    ClassFilter *filter() const { return m_filter; }
    QuestionTable *questions() const { return m_questions; }
    // Up to date once its tab has been shown.
    LectureGrid *grid() const { return m_grid; }
    QString selectedLearner() const { return m_learner; }
    void selectLearner(const QString &learnerKey);

    // Test seam: while set, it takes the window's messages in place of a
    // message box.
    static void setMessageHook(std::function<void(const QString &)> hook);

    // The window's size on a desktop whose free area (without panels) is
    // available: what it wants, within that area, its frame included.
    static QSize fittedSize(const QSize &wanted, const QRect &available);

signals:
    // Reading ended (a folder read, or a database round that changed the table).
    void loaded();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QWidget *createHeader(QWidget *page);
    QLayout *createCommandBar(QWidget *page);
    QLayout *createFilterBar(QWidget *parent);
    QWidget *createTableArea(QWidget *parent);
    QWidget *createSidePanel(QWidget *parent);
    QWidget *createQuestionsPage(QWidget *parent);
    QWidget *createGridPage(QWidget *parent);
    void connectModels();
    void stopSources();
    void batchRead(const QVector<Report> &reports, int done, int total);
    void readingDone();
    void snapshotReady(const ClassSnapshot &snapshot);
    void databaseFailed(const QString &text);
    void chooseDatabase();
    void updateNote();
    void refreshTab();
    void fitToScreen();
    void fitTestColumn();
    void spanProblemRows();
    void fitProblemRows();
    void chooseFolder();
    void chooseFiles();
    void chooseCsv();
    void choosePdf();
    void printSheet();
    void tableChanged();
    void filterChanged();
    void currentRowChanged();
    void showSheet();
    void message(const QString &text);
    // Where the teacher's own files go by default: never the reports folder.
    static QString documentsFolder();

    ClassTable *m_table = nullptr;
    ClassFilter *m_filter = nullptr;
    QTableView *m_view = nullptr;
    ClassChart *m_chart = nullptr;
    QTextBrowser *m_sheet = nullptr;
    QComboBox *m_groupBox = nullptr;
    QComboBox *m_topicBox = nullptr;
    QLabel *m_note = nullptr;
    QLabel *m_sheetTitle = nullptr;
    QStackedWidget *m_tableStack = nullptr;
    QSplitter *m_splitter = nullptr;
    QPushButton *m_reloadButton = nullptr;
    QPushButton *m_csvButton = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_pdfButton = nullptr;
    QTabWidget *m_tabs = nullptr;
    QProgressBar *m_progress = nullptr;
    QuestionTable *m_questions = nullptr;
    QSortFilterProxyModel *m_questionOrder = nullptr;
    QTableView *m_questionView = nullptr;
    QLabel *m_questionHint = nullptr;
    QStackedWidget *m_questionStack = nullptr;
    LectureGrid *m_grid = nullptr;
    QSortFilterProxyModel *m_gridOrder = nullptr;
    QTableView *m_gridView = nullptr;
    FolderReader *m_reader = nullptr;
    ClassWatcher *m_watcher = nullptr;

    QString m_folder;           // the folder shown, if one was opened
    QStringList m_files;        // files added one by one
    QVector<Report> m_read;     // what the folder reader gave so far
    bool m_loading = false;
    bool m_tabsStale = true; // the grid and question tabs lag the table
    bool m_keepUntilRead = false; // a reload: the old table until the new is read
    QString m_database;         // the class database shown, if one is
    QString m_databaseProblem;  // why it cannot be read now
    QDateTime m_databaseRead;   // when it was last read
    QString m_learner;          // the learner whose sheet is shown
    QString m_sheetHtml;        // what the sheet shows
    int m_testColumnWidth = 0;  // what the test titles in view need
    int m_fileColumnWidth = 0;  // and the file names
    QVector<int> m_problemRows; // the damaged files' rows in view
};

} // namespace teacher
