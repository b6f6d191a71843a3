#include "reader/SearchWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

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
constexpr int kPadX = 8;
constexpr int kPadY = 6;

// Draws a hit row from its marked text, wrapped to the list's width.
class HitDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget *view = option.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);

        QTextDocument doc;
        layOut(doc, option, index);
        painter->save();
        painter->translate(option.rect.topLeft() + QPoint(kPadX, kPadY));
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette = option.palette;
        ctx.palette.setColor(QPalette::Text, option.state & QStyle::State_Selected
                                                 ? QColor(0x15, 0x29, 0x4A)
                                                 : QColor(0x1E, 0x27, 0x33));
        ctx.clip = QRectF(0, 0, option.rect.width() - 2 * kPadX, option.rect.height());
        doc.documentLayout()->draw(painter, ctx);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QTextDocument doc;
        layOut(doc, option, index);
        return QSize(int(doc.idealWidth()) + 2 * kPadX, int(std::ceil(doc.size().height())) + 2 * kPadY + 1);
    }

private:
    static void layOut(QTextDocument &doc, const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        doc.setDocumentMargin(0);
        doc.setDefaultFont(option.font);
        const int width = option.widget ? option.widget->width() - 2 * kPadX - 24 : option.rect.width();
        doc.setTextWidth(std::max(80, width));
        doc.setHtml(index.data(SearchWindow::MarkedTextRole).toString());
    }
};
} // namespace

QString SearchWindow::markedText(const reader::SearchIndex::Hit &hit)
{
    QString where = hit.pageTitle;
    if (!hit.section.isEmpty())
        where += QStringLiteral(" — ") + hit.section;
    QString snippet;
    int at = 0;
    for (const reader::SearchIndex::Hit::Mark &m : hit.snippetMarks) {
        if (m.offset < at || m.offset + m.length > hit.snippet.size())
            continue;
        snippet += hit.snippet.mid(at, m.offset - at).toHtmlEscaped();
        snippet += QStringLiteral("<b style=\"background-color:#FCE2A8\">") +
                   hit.snippet.mid(m.offset, m.length).toHtmlEscaped() + QStringLiteral("</b>");
        at = m.offset + m.length;
    }
    snippet += hit.snippet.mid(at).toHtmlEscaped();
    return where.toHtmlEscaped() + QStringLiteral("<br>") + snippet;
}

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
    lstHits->setItemDelegate(new HitDelegate(lstHits));
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
        item->setData(MarkedTextRole, markedText(hit));
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
