#include "teacher/TeacherWindow.h"

#include "teacher/ClassChart.h"
#include "teacher/ClassExport.h"
#include "teacher/Theme.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace teacher {

namespace {

std::function<void(const QString &)> g_messageHook;

const QString kCaption = QStringLiteral("Тарвел — отчёты учеников");

// Rows of damaged files stand out in the danger colours of the screens.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(ClassTable::KindRole).toInt() == ClassTable::Row::Problem) {
            option->backgroundBrush = theme::dangerSoft();
            option->palette.setColor(QPalette::Text, theme::danger());
        } else if (index.data(ClassTable::KindRole).toInt() == ClassTable::Row::NoResults &&
                   index.column() == ClassTable::Test) {
            option->palette.setColor(QPalette::Text, theme::muted());
        }
    }
};

void fillChoices(QComboBox *box, const QString &all, const QList<QPair<QString, QString>> &choices)
{
    // Keep the teacher's choice across a reload when it is still there.
    const QVariant kept = box->currentData();
    box->blockSignals(true);
    box->clear();
    box->addItem(all, QVariant());
    for (const auto &c : choices)
        box->addItem(c.second, c.first);
    const int at = kept.isValid() ? box->findData(kept) : 0;
    box->setCurrentIndex(at < 0 ? 0 : at);
    box->blockSignals(false);
}

} // namespace

void TeacherWindow::setMessageHook(std::function<void(const QString &)> hook)
{
    g_messageHook = std::move(hook);
}

TeacherWindow::TeacherWindow(const CourseTopics &topics, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("teacherWindow"));
    setWindowTitle(kCaption);
    setAcceptDrops(true);
    setStyleSheet(theme::styleSheet());
    resize(1240, 800);

    m_table = new ClassTable(this);
    m_table->setTopics(topics);
    m_filter = new ClassFilter(this);
    m_filter->setSourceModel(m_table);

    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("page"));
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);

    // The header band of the designed screens.
    auto *header = new QWidget(page);
    header->setObjectName(QStringLiteral("header"));
    header->setAttribute(Qt::WA_StyledBackground);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(24, 14, 24, 14);
    headerLayout->setSpacing(2);
    auto *title = new QLabel(QStringLiteral("Отчёты учеников"), header);
    title->setObjectName(QStringLiteral("headerTitle"));
    m_note = new QLabel(header);
    m_note->setObjectName(QStringLiteral("headerNote"));
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    headerLayout->addWidget(title);
    headerLayout->addWidget(m_note);
    pageLayout->addWidget(header);

    // Commands and filters.
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(24, 12, 24, 8);
    bar->setSpacing(8);
    auto *openButton = new QPushButton(QStringLiteral("Открыть папку…"), page);
    openButton->setObjectName(QStringLiteral("primary"));
    openButton->setShortcut(QKeySequence::Open);
    auto *filesButton = new QPushButton(QStringLiteral("Добавить файлы…"), page);
    m_reloadButton = new QPushButton(QStringLiteral("Обновить"), page);
    m_reloadButton->setShortcut(QKeySequence::Refresh);
    auto *groupLabel = new QLabel(QStringLiteral("&Группа:"), page);
    m_groupBox = new QComboBox(page);
    m_groupBox->setObjectName(QStringLiteral("groupBox"));
    groupLabel->setBuddy(m_groupBox);
    auto *topicLabel = new QLabel(QStringLiteral("&Тест:"), page);
    m_topicBox = new QComboBox(page);
    m_topicBox->setObjectName(QStringLiteral("topicBox"));
    m_topicBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    topicLabel->setBuddy(m_topicBox);
    m_csvButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), page);
    bar->addWidget(openButton);
    bar->addWidget(filesButton);
    bar->addWidget(m_reloadButton);
    bar->addSpacing(16);
    bar->addWidget(groupLabel);
    bar->addWidget(m_groupBox);
    bar->addSpacing(8);
    bar->addWidget(topicLabel);
    bar->addWidget(m_topicBox);
    bar->addStretch(1);
    bar->addWidget(m_csvButton);
    pageLayout->addLayout(bar);

    // The table, or a hint while there is nothing to show.
    m_tableStack = new QStackedWidget(page);
    auto *hint =
        new QLabel(QStringLiteral("Откройте папку, куда ученики сдали отчёты (файлы *.rep),\n"
                                  "или перетащите файлы отчётов в это окно."),
                   m_tableStack);
    hint->setObjectName(QStringLiteral("hint"));
    hint->setAlignment(Qt::AlignCenter);
    m_view = new QTableView(m_tableStack);
    m_view->setObjectName(QStringLiteral("classTable"));
    m_view->setAccessibleName(QStringLiteral("Результаты класса"));
    m_view->setModel(m_filter);
    m_view->setItemDelegate(new RowDelegate(m_view));
    m_view->setSortingEnabled(true);
    // Columns fit the rows in view and the next two hundred: measuring every
    // row of a large class took longer than reading its reports.
    m_view->horizontalHeader()->setResizeContentsPrecision(200);
    m_view->sortByColumn(-1, Qt::AscendingOrder);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->setShowGrid(false);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_tableStack->addWidget(hint);
    m_tableStack->addWidget(m_view);

    // The class's chart above the learner's sheet.
    auto *side = new QWidget(page);
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->setSpacing(8);
    m_chart = new ClassChart(side);
    sideLayout->addWidget(m_chart, 3);
    auto *sheetBar = new QHBoxLayout;
    m_sheetTitle = new QLabel(QStringLiteral("Лист ученика"), side);
    m_sheetTitle->setObjectName(QStringLiteral("sectionTitle"));
    m_printButton = new QPushButton(QStringLiteral("Печать…"), side);
    m_printButton->setShortcut(QKeySequence::Print);
    m_pdfButton = new QPushButton(QStringLiteral("Сохранить в PDF…"), side);
    sheetBar->addWidget(m_sheetTitle);
    sheetBar->addStretch(1);
    sheetBar->addWidget(m_printButton);
    sheetBar->addWidget(m_pdfButton);
    sideLayout->addLayout(sheetBar);
    m_sheet = new QTextBrowser(side);
    m_sheet->setObjectName(QStringLiteral("learnerSheet"));
    m_sheet->setAccessibleName(QStringLiteral("Лист ученика"));
    m_sheet->setOpenLinks(false);
    sideLayout->addWidget(m_sheet, 4);

    auto *splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_tableStack);
    splitter->addWidget(side);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({820, 380});
    auto *body = new QHBoxLayout;
    body->setContentsMargins(24, 4, 24, 20);
    body->addWidget(splitter);
    pageLayout->addLayout(body, 1);
    setCentralWidget(page);

    connect(openButton, &QPushButton::clicked, this, &TeacherWindow::chooseFolder);
    connect(filesButton, &QPushButton::clicked, this, &TeacherWindow::chooseFiles);
    connect(m_reloadButton, &QPushButton::clicked, this, &TeacherWindow::reload);
    connect(m_csvButton, &QPushButton::clicked, this, &TeacherWindow::chooseCsv);
    connect(m_printButton, &QPushButton::clicked, this, &TeacherWindow::printSheet);
    connect(m_pdfButton, &QPushButton::clicked, this, &TeacherWindow::choosePdf);
    connect(m_groupBox, &QComboBox::currentIndexChanged, this, &TeacherWindow::filterChanged);
    connect(m_topicBox, &QComboBox::currentIndexChanged, this, &TeacherWindow::filterChanged);
    connect(m_table, &QAbstractItemModel::modelReset, this, &TeacherWindow::tableChanged);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TeacherWindow::currentRowChanged);
    auto *quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);

    tableChanged();
}

QString TeacherWindow::documentsFolder()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

void TeacherWindow::message(const QString &text)
{
    if (g_messageHook) {
        g_messageHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::Ok, this);
    box.exec();
}

bool TeacherWindow::openFolder(const QString &dir)
{
    QVector<Report> reports;
    QString error;
    if (!ClassTable::readFolder(dir, &reports, &error)) {
        message(QStringLiteral("Не удалось открыть папку с отчётами: ") + error);
        return false;
    }
    m_folder = QFileInfo(dir).absoluteFilePath();
    m_files.clear();
    m_learner.clear();
    m_table->setReports(reports);
    return true;
}

void TeacherWindow::openPaths(const QStringList &paths)
{
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
    if (!m_folder.isEmpty()) {
        QVector<Report> reports;
        QString error;
        if (!ClassTable::readFolder(m_folder, &reports, &error)) {
            message(QStringLiteral("Не удалось открыть папку с отчётами: ") + error);
            return;
        }
        for (const QString &f : std::as_const(m_files))
            reports << readReport(f);
        m_table->setReports(reports);
        return;
    }
    QVector<Report> reports;
    for (const QString &f : std::as_const(m_files))
        reports << readReport(f);
    m_table->setReports(reports);
}

void TeacherWindow::tableChanged()
{
    QList<QPair<QString, QString>> groups;
    for (const QString &g : m_table->groups())
        groups.append({g, g.isEmpty() ? QStringLiteral("(без группы)") : g});
    fillChoices(m_groupBox, QStringLiteral("Все группы"), groups);
    QList<QPair<QString, QString>> topics;
    for (const QString &t : m_table->topicList())
        topics.append({t, m_table->topics().title(t)});
    fillChoices(m_topicBox, QStringLiteral("Все тесты"), topics);

    const int reports = int(m_table->reports().size());
    const int problems = m_table->problemCount();
    QString where =
        m_folder.isEmpty() ? QString() : QDir::toNativeSeparators(m_folder) + QStringLiteral(" · ");
    QString note;
    if (reports == 0 && m_folder.isEmpty()) {
        note = QStringLiteral("Папка с отчётами не выбрана");
    } else if (reports == 0) {
        note = where + QStringLiteral("в папке нет файлов отчётов (*.rep)");
    } else {
        note = where +
               QStringLiteral("файлов: %1, учеников: %2").arg(reports).arg(m_table->learnerCount());
        if (problems > 0)
            note += QStringLiteral(", повреждённых или чужих файлов: %1").arg(problems);
    }
    m_note->setText(note);
    m_tableStack->setCurrentIndex(reports == 0 ? 0 : 1);
    m_reloadButton->setEnabled(!m_folder.isEmpty() || !m_files.isEmpty());
    m_csvButton->setEnabled(reports > 0);
    if (reports > 0) {
        m_view->resizeColumnsToContents();
        // Long error texts are read in the tooltip; the table stays readable.
        m_view->setColumnWidth(ClassTable::Test,
                               std::min(m_view->columnWidth(ClassTable::Test), 250));
    }
    filterChanged();
}

void TeacherWindow::filterChanged()
{
    m_filter->setGroup(m_groupBox->currentData().isValid() ? m_groupBox->currentData().toString()
                                                           : QString());
    m_filter->setTopic(m_topicBox->currentData().isValid() ? m_topicBox->currentData().toString()
                                                           : QString());
    m_chart->setSummaries(summariseByTopic(*m_filter, m_table->topics()));
    // The sheet stays on its learner while that learner is still in the table.
    if (m_table->learnerReports(m_learner).isEmpty())
        m_learner.clear();
    showSheet();
}

void TeacherWindow::currentRowChanged()
{
    const QModelIndex current = m_view->currentIndex();
    const QString key =
        current.isValid() ? current.data(ClassTable::LearnerRole).toString() : QString();
    if (!key.isEmpty() && key != m_learner) {
        m_learner = key;
        showSheet();
    }
}

void TeacherWindow::selectLearner(const QString &learnerKey)
{
    m_learner = learnerKey;
    showSheet();
}

void TeacherWindow::showSheet()
{
    const QString html = m_learner.isEmpty() ? QString() : learnerSheetHtml(*m_table, m_learner);
    if (html.isEmpty()) {
        m_learner.clear();
        m_sheet->setHtml(QStringLiteral("<p style=\"color:#5B6472\">Выберите строку таблицы, "
                                        "чтобы увидеть лист ученика.</p>"));
    } else {
        m_sheet->setHtml(html);
    }
    m_printButton->setEnabled(!m_learner.isEmpty());
    m_pdfButton->setEnabled(!m_learner.isEmpty());
}

bool TeacherWindow::exportCsv(const QString &fileName)
{
    QList<int> rows;
    for (int i = 0; i < m_filter->rowCount(); ++i)
        rows << m_filter->mapToSource(m_filter->index(i, 0)).row();
    const QByteArray data = classCsv(*m_table, rows);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        message(QStringLiteral("Не удалось сохранить таблицу в %1: %2")
                    .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    return true;
}

bool TeacherWindow::saveSheetPdf(const QString &fileName)
{
    if (m_learner.isEmpty())
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("Лист ученика"));
    QTextDocument document;
    document.setHtml(learnerSheetHtml(*m_table, m_learner));
    document.print(&printer);
    // QPrinter reports no write errors: look at what reached the disk.
    QFile written(fileName);
    if (!written.open(QIODevice::ReadOnly) || !written.read(5).startsWith("%PDF")) {
        message(QStringLiteral("Не удалось сохранить лист ученика в ") +
                QDir::toNativeSeparators(fileName));
        return false;
    }
    return true;
}

void TeacherWindow::chooseFolder()
{
    const QString dir =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Папка с отчётами учеников"),
                                          m_folder.isEmpty() ? documentsFolder() : m_folder);
    if (!dir.isEmpty())
        openFolder(dir);
}

void TeacherWindow::chooseFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Файлы отчётов"), m_folder.isEmpty() ? documentsFolder() : m_folder,
        QStringLiteral("Отчёты учеников (*.rep);;Все файлы (*)"));
    if (!files.isEmpty())
        openPaths(files);
}

void TeacherWindow::chooseCsv()
{
    QString name = documentsFolder() + QStringLiteral("/Результаты класса.csv");
    name = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт таблицы в CSV"), name,
                                        QStringLiteral("Таблица CSV (*.csv)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        name += QStringLiteral(".csv");
    exportCsv(name);
}

void TeacherWindow::choosePdf()
{
    if (m_learner.isEmpty())
        return;
    const QStringList parts = m_learner.split(QChar(0x1F));
    QString base = QStringList{parts.value(0), parts.value(1)}.join(u' ').simplified();
    base.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
    if (base.isEmpty())
        base = QStringLiteral("Лист ученика");
    QString name =
        QFileDialog::getSaveFileName(this, QStringLiteral("Лист ученика в PDF"),
                                     documentsFolder() + u'/' + base + QStringLiteral(".pdf"),
                                     QStringLiteral("Документ PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QStringLiteral(".pdf");
    saveSheetPdf(name);
}

void TeacherWindow::printSheet()
{
    if (m_learner.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать листа ученика"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setHtml(learnerSheetHtml(*m_table, m_learner));
    document.print(&printer);
}

void TeacherWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TeacherWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (!paths.isEmpty()) {
        openPaths(paths);
        event->acceptProposedAction();
    }
}

} // namespace teacher
