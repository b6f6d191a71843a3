#include "teacher/TeacherWindow.h"

#include "teacher/ClassChart.h"
#include "teacher/ClassExport.h"
#include "teacher/ClassSources.h"
#include "teacher/Theme.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
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

// What the window asks for, where the screen has room.
const QSize kPreferredSize(1240, 800);
// The window system's frame and title bar around the client area.
const QSize kFrameAllowance(16, 48);
// A damaged file's message takes the test, date and share cells.
constexpr int kProblemSpan = ClassTable::Percent - ClassTable::Test + 1;
// Room the style leaves around a cell's text.
constexpr int kCellMargin = 4;
constexpr int kNarrowestWrap = 160;
constexpr int kBodyMargin = 24;
// The test column's bounds: a lecture's number and the start of its title,
// and no wider than the title needs.
constexpr int kNarrowestTest = 130;
constexpr int kWidestTest = 260;

// The part of a cell in view; never narrower than a long word, so that a
// message scrolled almost out of view still wraps sensibly.
QRect visiblePart(const QRect &cell, const QRect &viewport)
{
    QRect part =
        cell.intersected(QRect(viewport.left(), cell.top(), viewport.width(), cell.height()));
    if (part.width() < kNarrowestWrap)
        part =
            QRect(cell.left(), cell.top(), std::min(cell.width(), kNarrowestWrap), cell.height());
    return part;
}

// The class table; it says when the part of it in view changes, so that the
// columns are fitted and the damaged files' messages wrapped afresh.
class ClassView : public QTableView
{
public:
    using QTableView::QTableView;
    std::function<void()> onResized;
    // What a column's cells and heading need, whatever width it has now.
    int contentWidth(int column) const
    {
        return std::max(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
    }
    std::function<void()> onScrolled;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QTableView::resizeEvent(event);
        if (onResized)
            onResized();
    }
    void scrollContentsBy(int dx, int dy) override
    {
        QTableView::scrollContentsBy(dx, dy);
        if (dx != 0 && onScrolled)
            onScrolled();
    }
};

// Rows of damaged files stand out in the danger colours of the screens.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // While the columns are fitted to their contents each text of a column
    // is laid out once: a class repeats its names, groups, tests and shares
    // in row after row.
    void beginMeasuring() { m_measuring = true; }
    void endMeasuring()
    {
        m_measuring = false;
        m_sizes.clear();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // A damaged file's message wraps within its span: measured as it is.
        if (!m_measuring ||
            index.data(ClassTable::KindRole).toInt() == ClassTable::Row::Problem)
            return QStyledItemDelegate::sizeHint(option, index);
        const QString key = QString::number(index.column()) + u'\x1F' + index.data().toString();
        auto at = m_sizes.constFind(key);
        if (at == m_sizes.cend())
            at = m_sizes.insert(key, QStyledItemDelegate::sizeHint(option, index));
        return *at;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(ClassTable::KindRole).toInt() == ClassTable::Row::Problem) {
            option->backgroundBrush = theme::dangerSoft();
            option->palette.setColor(QPalette::Text, theme::danger());
            // The message is read in full: it wraps within the part of its
            // span that is in view.
            if (index.column() == ClassTable::Test) {
                option->features |= QStyleOptionViewItem::WrapText;
                option->textElideMode = Qt::ElideNone;
                if (const auto *view = qobject_cast<const QAbstractItemView *>(option->widget))
                    option->rect = visiblePart(option->rect, view->viewport()->rect());
            }
        } else if (index.data(ClassTable::KindRole).toInt() == ClassTable::Row::NoResults &&
                   index.column() == ClassTable::Test) {
            option->palette.setColor(QPalette::Text, theme::muted());
        }
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        // Damaged files one under another share a colour: a rule keeps
        // their messages apart.
        if (index.data(ClassTable::KindRole).toInt() == ClassTable::Row::Problem) {
            painter->save();
            painter->setPen(theme::line());
            painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
            painter->restore();
        }
    }

private:
    bool m_measuring = false;
    mutable QHash<QString, QSize> m_sizes;
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

    m_table = new ClassTable(this);
    m_table->setTopics(topics);
    m_filter = new ClassFilter(this);
    m_filter->setSourceModel(m_table);
    m_questions = new QuestionTable(this);
    m_questions->setTopics(topics);
    m_grid = new LectureGrid(this);
    m_reader = new FolderReader(this);
    connect(m_reader, &FolderReader::batchRead, this, &TeacherWindow::batchRead);
    connect(m_reader, &FolderReader::finished, this, &TeacherWindow::readingDone);

    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("page"));
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    pageLayout->addWidget(createHeader(page));
    pageLayout->addLayout(createCommandBar(page));
    m_splitter = new QSplitter(Qt::Horizontal, page);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(createTableArea(m_splitter));
    m_splitter->addWidget(createSidePanel(m_splitter));
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);
    auto *body = new QHBoxLayout;
    body->setContentsMargins(kBodyMargin, 4, kBodyMargin, 20);
    body->addWidget(m_splitter);
    pageLayout->addLayout(body, 1);
    setCentralWidget(page);

    connectModels();
    auto *quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);

    tableChanged();
    fitToScreen();
}

// The header band of the designed screens: the title and what is open.
QWidget *TeacherWindow::createHeader(QWidget *page)
{
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
    // A long folder path must not widen the window.
    m_note->setMinimumWidth(1);
    m_note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    headerLayout->addWidget(title);
    headerLayout->addWidget(m_note);
    return header;
}

// Opening reports and exporting the table.
QLayout *TeacherWindow::createCommandBar(QWidget *page)
{
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(24, 12, 24, 8);
    bar->setSpacing(8);
    auto *openButton = new QPushButton(QStringLiteral("Открыть папку…"), page);
    openButton->setObjectName(QStringLiteral("primary"));
    openButton->setShortcut(QKeySequence::Open);
    auto *filesButton = new QPushButton(QStringLiteral("Добавить файлы…"), page);
    m_reloadButton = new QPushButton(QStringLiteral("Обновить"), page);
    m_reloadButton->setShortcut(QKeySequence::Refresh);
    m_reloadButton->setObjectName(QStringLiteral("reloadButton"));
    auto *databaseButton = new QPushButton(QStringLiteral("Открыть базу класса…"), page);
    databaseButton->setObjectName(QStringLiteral("databaseButton"));
    databaseButton->setToolTip(QStringLiteral(
        "Результаты компьютерного класса прямо из его базы данных (файл lab.ini), "
        "с обновлением по мере того, как ученики проходят тесты"));
    m_csvButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), page);
    m_csvButton->setObjectName(QStringLiteral("csvButton"));
    m_progress = new QProgressBar(page);
    m_progress->setObjectName(QStringLiteral("readProgress"));
    m_progress->setAccessibleName(QStringLiteral("Чтение отчётов"));
    m_progress->setFormat(QStringLiteral("Прочитано %v из %m"));
    m_progress->setMaximumWidth(260);
    m_progress->hide();
    bar->addWidget(openButton);
    bar->addWidget(filesButton);
    bar->addWidget(databaseButton);
    bar->addWidget(m_reloadButton);
    bar->addSpacing(8);
    bar->addWidget(m_progress);
    bar->addStretch(1);
    bar->addWidget(m_csvButton);
    connect(databaseButton, &QPushButton::clicked, this, &TeacherWindow::chooseDatabase);

    connect(openButton, &QPushButton::clicked, this, &TeacherWindow::chooseFolder);
    connect(filesButton, &QPushButton::clicked, this, &TeacherWindow::chooseFiles);
    connect(m_reloadButton, &QPushButton::clicked, this, &TeacherWindow::reload);
    connect(m_csvButton, &QPushButton::clicked, this, &TeacherWindow::chooseCsv);
    return bar;
}

// The filters that narrow the table, above it.
QLayout *TeacherWindow::createFilterBar(QWidget *parent)
{
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(8);
    auto *groupLabel = new QLabel(QStringLiteral("&Группа:"), parent);
    m_groupBox = new QComboBox(parent);
    m_groupBox->setObjectName(QStringLiteral("groupBox"));
    groupLabel->setBuddy(m_groupBox);
    auto *topicLabel = new QLabel(QStringLiteral("&Тест:"), parent);
    m_topicBox = new QComboBox(parent);
    m_topicBox->setObjectName(QStringLiteral("topicBox"));
    topicLabel->setBuddy(m_topicBox);
    // A lecture's full title would widen the window past a small screen:
    // the boxes keep a modest width, their lists open as wide as needed.
    for (QComboBox *box : {m_groupBox, m_topicBox})
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_groupBox->setMinimumContentsLength(8);
    m_topicBox->setMinimumContentsLength(14);
    bar->addWidget(groupLabel);
    bar->addWidget(m_groupBox, 1);
    bar->addSpacing(8);
    bar->addWidget(topicLabel);
    bar->addWidget(m_topicBox, 2);

    connect(m_groupBox, &QComboBox::currentIndexChanged, this, &TeacherWindow::filterChanged);
    connect(m_topicBox, &QComboBox::currentIndexChanged, this, &TeacherWindow::filterChanged);
    return bar;
}

// The filters and the table, or a hint while there is nothing to show.
QWidget *TeacherWindow::createTableArea(QWidget *parent)
{
    auto *area = new QWidget(parent);
    auto *areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    areaLayout->setSpacing(8);
    areaLayout->addLayout(createFilterBar(area));
    m_tabs = new QTabWidget(area);
    m_tabs->setObjectName(QStringLiteral("classTabs"));
    m_tableStack = new QStackedWidget(m_tabs);
    areaLayout->addWidget(m_tabs, 1);
    auto *hint =
        new QLabel(QStringLiteral("Откройте папку, куда ученики сдали отчёты (файлы *.rep),\n"
                                  "или перетащите файлы отчётов в это окно."),
                   m_tableStack);
    hint->setObjectName(QStringLiteral("hint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    auto *view = new ClassView(m_tableStack);
    view->onResized = [this] {
        fitTestColumn();
        fitProblemRows();
    };
    view->onScrolled = [this] { fitProblemRows(); };
    m_view = view;
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
    m_tabs->addTab(m_tableStack, QStringLiteral("&Результаты"));
    m_tabs->addTab(createQuestionsPage(m_tabs), QStringLiteral("&Вопросы"));
    m_tabs->addTab(createGridPage(m_tabs), QStringLiteral("Ученики и &лекции"));
    connect(m_tabs, &QTabWidget::currentChanged, this, &TeacherWindow::refreshTab);
    return area;
}

namespace {

QTableView *plainTable(QWidget *parent, QSortFilterProxyModel *order, const char *name,
                       const QString &accessible)
{
    auto *view = new QTableView(parent);
    view->setObjectName(QLatin1String(name));
    view->setAccessibleName(accessible);
    view->setModel(order);
    view->setSortingEnabled(true);
    view->sortByColumn(-1, Qt::AscendingOrder);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setResizeContentsPrecision(200);
    return view;
}

} // namespace

// How each question of the tests in view was answered: the class database
// keeps every answer, report files do not.
QWidget *TeacherWindow::createQuestionsPage(QWidget *parent)
{
    m_questionStack = new QStackedWidget(parent);
    m_questionHint = new QLabel(QStringLiteral("Ответы на отдельные вопросы хранит только база "
                                               "компьютерного класса: откройте её кнопкой "
                                               "«Открыть базу класса…»."),
                                m_questionStack);
    m_questionHint->setObjectName(QStringLiteral("hint"));
    m_questionHint->setAlignment(Qt::AlignCenter);
    m_questionHint->setWordWrap(true);
    m_questionOrder = new QSortFilterProxyModel(this);
    m_questionOrder->setSourceModel(m_questions);
    m_questionOrder->setSortRole(QuestionTable::SortRole);
    m_questionView = plainTable(m_questionStack, m_questionOrder, "questionTable",
                                QStringLiteral("Ответы на вопросы"));
    m_questionView->horizontalHeader()->setStretchLastSection(true);
    m_questionStack->addWidget(m_questionHint);
    m_questionStack->addWidget(m_questionView);
    return m_questionStack;
}

// Each learner's best and last result in every test.
QWidget *TeacherWindow::createGridPage(QWidget *parent)
{
    m_gridOrder = new QSortFilterProxyModel(this);
    m_gridOrder->setSourceModel(m_grid);
    m_gridOrder->setSortRole(LectureGrid::SortRole);
    m_gridView = plainTable(parent, m_gridOrder, "lectureGrid",
                            QStringLiteral("Лучший и последний результат по лекциям"));
    m_gridView->setToolTip(QStringLiteral("В клетке: лучший результат / последний, %"));
    connect(m_gridView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                const QString key = current.data(LectureGrid::LearnerRole).toString();
                if (!key.isEmpty() && key != m_learner)
                    selectLearner(key);
            });
    return m_gridView;
}

// The class's chart above the learner's sheet and its commands.
QWidget *TeacherWindow::createSidePanel(QWidget *parent)
{
    auto *side = new QWidget(parent);
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->setSpacing(8);
    m_chart = new ClassChart(side);
    sideLayout->addWidget(m_chart, 3);
    m_sheetTitle = new QLabel(QStringLiteral("Лист ученика"), side);
    m_sheetTitle->setObjectName(QStringLiteral("sectionTitle"));
    sideLayout->addWidget(m_sheetTitle);
    m_sheet = new QTextBrowser(side);
    m_sheet->setObjectName(QStringLiteral("learnerSheet"));
    m_sheet->setAccessibleName(QStringLiteral("Лист ученика"));
    m_sheet->setOpenLinks(false);
    m_sheet->setMinimumHeight(120);
    sideLayout->addWidget(m_sheet, 4);
    // Under the sheet they act on: the panel stays narrow enough to leave the
    // table its room on a small screen.
    auto *sheetBar = new QHBoxLayout;
    m_printButton = new QPushButton(QStringLiteral("Печать…"), side);
    m_printButton->setObjectName(QStringLiteral("printButton"));
    m_printButton->setShortcut(QKeySequence::Print);
    m_pdfButton = new QPushButton(QStringLiteral("Сохранить в PDF…"), side);
    m_pdfButton->setObjectName(QStringLiteral("pdfButton"));
    sheetBar->addStretch(1);
    sheetBar->addWidget(m_printButton);
    sheetBar->addWidget(m_pdfButton);
    sideLayout->addLayout(sheetBar);

    connect(m_printButton, &QPushButton::clicked, this, &TeacherWindow::printSheet);
    connect(m_pdfButton, &QPushButton::clicked, this, &TeacherWindow::choosePdf);
    return side;
}

void TeacherWindow::connectModels()
{
    connect(m_table, &QAbstractItemModel::modelReset, this, &TeacherWindow::tableChanged);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TeacherWindow::currentRowChanged);
    // A damaged file's message spans the cells its row leaves free; the
    // spans follow the rows through sorting and filtering.
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &TeacherWindow::spanProblemRows);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &TeacherWindow::spanProblemRows);
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &TeacherWindow::spanProblemRows);
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &TeacherWindow::spanProblemRows);
    connect(m_view->horizontalHeader(), &QHeaderView::sectionResized, this,
            &TeacherWindow::fitProblemRows);
}

QSize TeacherWindow::fittedSize(const QSize &wanted, const QRect &available)
{
    // Room for the window's frame and title bar, which the window system
    // adds around the client area.
    const QSize room = available.size() - QSize(kFrameAllowance.width(), kFrameAllowance.height());
    return wanted.boundedTo(room).expandedTo(QSize(1, 1));
}

void TeacherWindow::fitToScreen()
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where) {
        resize(kPreferredSize);
        return;
    }
    const QRect available = where->availableGeometry();
    resize(fittedSize(kPreferredSize, available).expandedTo(minimumSizeHint()));
    // The chart and the sheet take under a third; on a small screen no more than
    // they need, so that the table keeps its date and share in view.
    const int body = width() - 2 * kBodyMargin - m_splitter->handleWidth();
    const int side = std::clamp(body * 3 / 10, m_splitter->widget(1)->minimumSizeHint().width(),
                                std::max(m_splitter->widget(1)->minimumSizeHint().width(), 420));
    m_splitter->setSizes({body - side, side});
    // Centred on the desktop's free area, title bar included.
    const QRect frame(QPoint(), size() + kFrameAllowance);
    move(available.center() - frame.center() + QPoint(0, kFrameAllowance.height() / 2));
}

// The test's title gives way first when the table is narrow, so that every
// column stays in view, or at least the date and the share; the full title
// is in its tooltip.
void TeacherWindow::fitTestColumn()
{
    if (m_testColumnWidth <= 0)
        return;
    int others = 0;
    for (int c = 0; c < ClassTable::ColumnCount; ++c) {
        if (c != ClassTable::Test && c != ClassTable::File)
            others += m_view->columnWidth(c);
    }
    const int room = m_view->viewport()->width() - others;
    const int withFile = room - m_fileColumnWidth;
    const int widest = std::min(m_testColumnWidth, kWidestTest);
    m_view->setColumnWidth(ClassTable::Test,
                           std::clamp(withFile >= kNarrowestTest ? withFile : room, kNarrowestTest,
                                      std::max(widest, kNarrowestTest)));
}

void TeacherWindow::spanProblemRows()
{
    m_view->clearSpans();
    // Rows that held a message before a sort or a filter hold a result now.
    const int plain = m_view->verticalHeader()->defaultSectionSize();
    const int rows = m_filter->rowCount();
    for (int i : std::as_const(m_problemRows)) {
        if (i < rows)
            m_view->setRowHeight(i, plain);
    }
    m_problemRows.clear();
    // Found in the table, not asked of every row in view: a class has
    // tens of thousands of rows and a few damaged files.
    const QVector<ClassTable::Row> &all = m_table->rows();
    for (int r = 0; r < all.size(); ++r) {
        if (all[r].kind != ClassTable::Row::Problem)
            continue;
        const int i = m_filter->mapFromSource(m_table->index(r, ClassTable::Test)).row();
        if (i >= 0) {
            m_view->setSpan(i, ClassTable::Test, 1, kProblemSpan);
            m_problemRows << i;
        }
    }
    std::sort(m_problemRows.begin(), m_problemRows.end());
    fitProblemRows();
}

void TeacherWindow::fitProblemRows()
{
    if (m_problemRows.isEmpty())
        return;
    const QFontMetrics metrics(m_view->font());
    const int plain = m_view->verticalHeader()->defaultSectionSize();
    int width = 0;
    for (int c = ClassTable::Test; c < ClassTable::Test + kProblemSpan; ++c)
        width += m_view->columnWidth(c);
    const QRect cell(m_view->columnViewportPosition(ClassTable::Test), 0, width, 1 << 20);
    const QRect part =
        visiblePart(cell, m_view->viewport()->rect()).adjusted(kCellMargin, 0, -kCellMargin, 0);
    for (int i : std::as_const(m_problemRows)) {
        // The whole message, wrapped as the delegate draws it.
        const QString message = m_filter->index(i, ClassTable::Test).data().toString();
        const QRect text = metrics.boundingRect(part, Qt::TextWordWrap, message);
        m_view->setRowHeight(i, std::max(plain, text.height() + 2 * kCellMargin));
    }
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
    updateNote();
    m_reloadButton->setEnabled(!m_folder.isEmpty() || !m_files.isEmpty() || m_watcher);
    m_csvButton->setEnabled(reports > 0);
    if (reports > 0) {
        auto *rows = static_cast<RowDelegate *>(m_view->itemDelegate());
        rows->beginMeasuring();
        m_view->resizeColumnsToContents();
        m_testColumnWidth = m_view->columnWidth(ClassTable::Test);
        // The last column stretches: what its names need is asked apart.
        m_fileColumnWidth = static_cast<ClassView *>(m_view)->contentWidth(ClassTable::File);
        rows->endMeasuring();
        fitTestColumn();
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
    m_questions->setFilter(m_filter->group(), m_filter->topic());
    // The other tabs are brought up to date when they are looked at.
    m_tabsStale = true;
    refreshTab();
    // The sheet stays on its learner while that learner is still in the table.
    if (m_table->learnerReports(m_learner).isEmpty())
        m_learner.clear();
    showSheet();
}

void TeacherWindow::refreshTab()
{
    if (!m_tabsStale || m_tabs->currentIndex() == 0)
        return;
    m_tabsStale = false;
    m_grid->rebuild(*m_table, m_filter->group());
    m_gridView->resizeColumnsToContents();
    m_questionView->resizeColumnsToContents();
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
    QString html = m_learner.isEmpty() ? QString() : learnerSheetHtml(*m_table, m_learner);
    if (html.isEmpty()) {
        m_learner.clear();
        html = QStringLiteral("<p style=\"color:#5B6472\">Выберите строку таблицы, "
                              "чтобы увидеть лист ученика.</p>");
    }
    // Laid out again only when it changed: the table changes far more often
    // than the sheet.
    if (html != m_sheetHtml) {
        m_sheetHtml = html;
        m_sheet->setHtml(html);
    }
    m_printButton->setEnabled(!m_learner.isEmpty());
    m_pdfButton->setEnabled(!m_learner.isEmpty());
}

} // namespace teacher
