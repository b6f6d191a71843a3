#include "progress/BookmarksScreen.h"

#include "learners/LearnerStore.h"
#include "movie/MovieControl.h"
#include "reader/ReaderIntents.h"
#include "reader/ReaderState.h"
#include "richtext/RVStyle.h"
#include "ui/Dialogs.h"
#include "ui/Navigator.h"

#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>

namespace {

constexpr int kRowHeight = 21;

// Rows of a fixed height, whatever the font asks for.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight);
    }
};

} // namespace

TfrmBookmark *frmBookmark = nullptr;

TfrmBookmark::TfrmBookmark(reader::ReaderState &state, reader::ReaderIntents &reader,
                           ui::Navigator &navigator, QWidget *parent)
    : movie::MovieScreen({QStringLiteral("frmBookmark"), QStringLiteral("Закладки"),
                          QSize(550, 400), QPoint(270, 187)},
                         parent),
      m_state(state), m_reader(reader), m_navigator(navigator)
{
    setEscapeCloses(true);
    // An ordinary list laid over the movie, in the place its face leaves free.
    LBBookmarks = new QListWidget(this);
    LBBookmarks->setObjectName(QStringLiteral("LBBookmarks"));
    LBBookmarks->setGeometry(27, 100, 502, 277);
    LBBookmarks->setFrameShape(QFrame::NoFrame);
    QFont font(rvResolveFontFamily(QStringLiteral("Times New Roman")));
    font.setItalic(true);
    font.setPixelSize(19);
    LBBookmarks->setFont(font);
    LBBookmarks->setItemDelegate(new RowDelegate(LBBookmarks));
    LBBookmarks->setUniformItemSizes(true);
    LBBookmarks->setSelectionMode(QAbstractItemView::SingleSelection);
    LBBookmarks->raise();
    lblNoBookmarks = new QLabel(QStringLiteral("Закладок пока нет"), this);
    lblNoBookmarks->setObjectName(QStringLiteral("lblNoBookmarks"));
    lblNoBookmarks->setGeometry(LBBookmarks->geometry());
    lblNoBookmarks->setAlignment(Qt::AlignCenter);
    lblNoBookmarks->setFont(font);
    lblNoBookmarks->hide();
    connect(LBBookmarks, &QListWidget::itemDoubleClicked, this,
            [this] { ui::guarded(this, [this] { LBBookmarksDblClick(); }); });
}

void TfrmBookmark::FormActivate()
{
    Flash->setGeometry(rect());
    Flash->setMovie(movie::MovieControl::moviePath(QStringLiteral("bookmark")));
    LBBookmarks->raise();
    fillList();
}

void TfrmBookmark::selectRow(int row)
{
    // The row in focus is also the selected one, so "Перейти" acts on the
    // row the learner sees marked.
    const int count = LBBookmarks->count();
    if (count > 0)
        LBBookmarks->setCurrentRow(std::clamp(row, 0, count - 1));
    const bool empty = count == 0;
    lblNoBookmarks->setVisible(empty);
    if (empty)
        lblNoBookmarks->raise();
}

void TfrmBookmark::FormDeactivate()
{
    m_table.clear();
}

void TfrmBookmark::FlashFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("close"))
        closeScreen();
    else if (command == QLatin1String("DoJump"))
        openSelected();
    else if (command == QLatin1String("DoDel"))
        deleteSelected();
}

void TfrmBookmark::LBBookmarksDblClick()
{
    openSelected();
}

void TfrmBookmark::fillList()
{
    LBBookmarks->clear();
    m_table.clear();
    try {
        m_state.learnerStore().readBookmarks(
            m_state.CurrentUser(),
            [&](const QString &title) {
                m_table.push_back({title, 0, 0});
                LBBookmarks->addItem(title);
            },
            [&](int page, int increment) {
                m_table.back().page = page;
                m_table.back().increment = increment;
            },
            [&](const QString &section) {
                // The section beside "Лекция N" tells bookmarks of one page apart.
                QListWidgetItem *item = LBBookmarks->item(LBBookmarks->count() - 1);
                item->setText(item->text() + QStringLiteral(" — ") + section);
            });
        const QVector<int> anchors = m_state.learnerStore().bookmarkAnchors(m_state.CurrentUser());
        for (size_t i = 0; i < m_table.size() && qsizetype(i) < anchors.size(); ++i)
            m_table[i].anchor = anchors[qsizetype(i)];
    } catch (const std::exception &) {
        // Only reads the course data: a record that cannot be read ends the screen.
        closeScreen();
    }
    selectRow(0);
}

void TfrmBookmark::openSelected()
{
    const int row = LBBookmarks->currentRow();
    if (row < 0 || row >= static_cast<int>(m_table.size()) || !LBBookmarks->item(row)->isSelected())
        return;
    const BookmarkEntry entry = m_table[static_cast<size_t>(row)];
    if (!m_reader.openBookmark(entry.page, entry.increment, entry.anchor))
        return;
    closeScreen();
    m_navigator.closeHome();
}

void TfrmBookmark::deleteSelected()
{
    const int row = LBBookmarks->currentRow();
    if (row < 0 || !LBBookmarks->item(row)->isSelected())
        return;
    // A failed save is not caught here: the learner sees its reason in the
    // error box and the list stays as it was.
    m_state.learnerStore().deleteBookmark(m_state.CurrentUser(), row);
    fillList();
    selectRow(row);
}
