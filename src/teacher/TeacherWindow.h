#pragma once

#include "teacher/ClassTable.h"

#include <QMainWindow>
#include <functional>

class QComboBox;
class QLayout;
class QLabel;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QTextBrowser;

namespace teacher {

class ClassChart;

// The teacher's window: the reports of a folder (or of dropped files) as one
// table of the class, filters by group and test, the class's chart, one
// learner's sheet, CSV export and the sheet on paper or in PDF. It only
// reads the reports; nothing is ever written into their folder.
class TeacherWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit TeacherWindow(const CourseTopics &topics, QWidget *parent = nullptr);

    // Shows the reports of a folder; false, with a message, when it cannot be read.
    bool openFolder(const QString &dir);
    // Adds files, or every report of a folder among them.
    void openPaths(const QStringList &paths);
    // Reads the folder (or the files) again.
    void reload();

    // The table as shown: filtered and sorted. False, with a message, on failure.
    bool exportCsv(const QString &fileName);
    // The selected learner's sheet as a PDF file.
    bool saveSheetPdf(const QString &fileName);

    ClassTable *table() const { return m_table; }
    ClassFilter *filter() const { return m_filter; }
    QTableView *view() const { return m_view; }
    ClassChart *chart() const { return m_chart; }
    QTextBrowser *sheet() const { return m_sheet; }
    QComboBox *groupBox() const { return m_groupBox; }
    QComboBox *topicBox() const { return m_topicBox; }
    QString selectedLearner() const { return m_learner; }
    void selectLearner(const QString &learnerKey);

    // Test seam: while set, it takes the window's messages in place of a
    // message box.
    static void setMessageHook(std::function<void(const QString &)> hook);

    // The window's size on a desktop whose free area (without panels) is
    // available: what it wants, within that area, its frame included.
    static QSize fittedSize(const QSize &wanted, const QRect &available);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QWidget *createHeader(QWidget *page);
    QLayout *createCommandBar(QWidget *page);
    QLayout *createFilterBar(QWidget *parent);
    QWidget *createTableArea(QWidget *parent);
    QWidget *createSidePanel(QWidget *parent);
    void connectModels();
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

    QString m_folder;           // the folder shown, if one was opened
    QStringList m_files;        // files added one by one
    QString m_learner;          // the learner whose sheet is shown
    int m_testColumnWidth = 0;  // what the test titles in view need
    int m_fileColumnWidth = 0;  // and the file names
    QVector<int> m_problemRows; // the damaged files' rows in view
};

} // namespace teacher
