#include "reader/SearchWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace reader {

namespace {
// The designed screens' palette and type (the movies' Theme).
const char kStyle[] = R"(
reader--SearchWindow { background: #F6F3EC; }
QLabel#caption { color: #1E2733; font-size: 17px; font-weight: bold; }
QLabel#lblStatus { color: #5B6472; font-size: 12px; }
QLineEdit { font-size: 15px; padding: 6px 10px; border: 1px solid #C3CCD8; border-radius: 8px;
            background: #FFFFFF; color: #1E2733; }
QLineEdit:focus { border: 2px solid #D9822B; }
QListWidget { font-size: 14px; border: 1px solid #DDD6C8; border-radius: 8px; background: #FFFFFF;
              color: #1E2733; }
QListWidget::item { padding: 6px 8px; border-bottom: 1px solid #EEE9DF; }
QListWidget::item:selected { background: #E7EDF6; color: #15294A; }
QListWidget:focus { border: 2px solid #D9822B; }
)";
constexpr int kMaxHits = 200;
} // namespace

SearchWindow::SearchWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("Поиск"));
    setStyleSheet(QString::fromUtf8(kStyle));
    resize(620, 480);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 16);
    layout->setSpacing(8);
    auto *caption = new QLabel(QStringLiteral("Поиск по учебнику"));
    caption->setObjectName(QStringLiteral("caption"));
    edQuery = new QLineEdit;
    edQuery->setObjectName(QStringLiteral("edQuery"));
    edQuery->setPlaceholderText(QStringLiteral("Слово или несколько слов"));
    edQuery->setAccessibleName(QStringLiteral("Что найти"));
    edQuery->setClearButtonEnabled(true);
    lblStatus = new QLabel(QStringLiteral("Лекции, введение, справка и словарь"));
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lstHits = new QListWidget;
    lstHits->setObjectName(QStringLiteral("lstHits"));
    lstHits->setAccessibleName(QStringLiteral("Найденное"));
    lstHits->setWordWrap(true);
    lstHits->setTextElideMode(Qt::ElideNone);
    lstHits->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    lstHits->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Wrapped rows are measured again when the width changes.
    lstHits->setResizeMode(QListView::Adjust);
    caption->setBuddy(edQuery);
    layout->addWidget(caption);
    layout->addWidget(edQuery);
    layout->addWidget(lblStatus);
    layout->addWidget(lstHits, 1);

    connect(edQuery, &QLineEdit::textChanged, this, &SearchWindow::search);
    connect(lstHits, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { choose(lstHits->row(item)); });
    edQuery->installEventFilter(this);
}

void SearchWindow::showFor(const reader::SearchIndex &index)
{
    m_index = &index;
    if (QWidget *p = parentWidget())
        move(p->geometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    edQuery->setFocus();
    edQuery->selectAll();
}

void SearchWindow::search(const QString &query)
{
    lstHits->clear();
    m_hits.clear();
    if (!m_index || reader::SearchIndex::queryWords(query).isEmpty()) {
        lblStatus->setText(QStringLiteral("Лекции, введение, справка и словарь"));
        return;
    }
    m_hits = m_index->find(query, kMaxHits);
    for (const reader::SearchIndex::Hit &hit : m_hits) {
        QString where = hit.pageTitle;
        if (!hit.section.isEmpty())
            where += QStringLiteral(" — ") + hit.section;
        auto *item = new QListWidgetItem(where + QLatin1Char('\n') + hit.snippet, lstHits);
        item->setToolTip(hit.snippet);
    }
    if (m_hits.isEmpty())
        lblStatus->setText(QStringLiteral("Ничего не найдено"));
    else if (m_hits.size() >= kMaxHits)
        lblStatus->setText(QStringLiteral("Найдено больше %1 мест; уточните запрос").arg(kMaxHits));
    else
        lblStatus->setText(QStringLiteral("Найдено мест: %1").arg(m_hits.size()));
    lstHits->setCurrentRow(m_hits.isEmpty() ? -1 : 0);
}

void SearchWindow::choose(int row)
{
    if (row < 0 || row >= m_hits.size())
        return;
    const reader::SearchIndex::Hit hit = m_hits[row];
    hide();
    emit hitChosen(hit);
}

bool SearchWindow::eventFilter(QObject *watched, QEvent *event)
{
    // From the field: Enter opens the selected hit, the arrows move in the list.
    if (watched == edQuery && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose(lstHits->currentRow());
            return true;
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            QCoreApplication::sendEvent(lstHits, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace reader
