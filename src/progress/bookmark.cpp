#include "progress/bookmark.h"

#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "app/intro.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/MainForm.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"

#include <QListWidget>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>
#include <limits>

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

int parseDecimal(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok)
        throw CourseDataError(QStringLiteral("«%1» не является целым числом").arg(text));
    return v;
}

} // namespace

TfrmBookmark::TfrmBookmark(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmBookmark"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Закладки"));
    setFixedSize(550, 400);
    move(270, 187);

    Flash = new MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 550, 400);
    connect(Flash, &MovieControl::fsCommand, this, &TfrmBookmark::FlashFSCommand);

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
    connect(LBBookmarks, &QListWidget::itemDoubleClicked, this,
            [this] { dialogs::guarded(this, [this] { LBBookmarksDblClick(); }); });
}

void TfrmBookmark::FormActivate()
{
    Flash->setGeometry(rect());
    Flash->setMovie(MovieControl::moviePath(QStringLiteral("bookmark")));
    LBBookmarks->raise();
    fillList();
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
    using CD = CourseData;
    LBBookmarks->clear();
    m_table.clear();
    try {
        const pugi::xml_node list = frmMain->XML().bookmarksOf(frmMain->CurrentUser);
        m_table.resize(static_cast<size_t>(CD::childCount(list)));
        size_t i = 0;
        for (pugi::xml_node n = list.first_child(); n; n = n.next_sibling(), ++i) {
            BookmarkEntry &entry = m_table[i];
            entry.title = CD::value(CD::child(n, "title"));
            LBBookmarks->addItem(entry.title);
            entry.page = parseDecimal(CD::value(CD::child(n, "id")));
            entry.increment = parseDecimal(CD::value(CD::child(n, "increment")));
        }
    } catch (const std::exception &) {
        // Only reads the course data: a record that cannot be read ends the screen.
        closeScreen();
    }
}

void TfrmBookmark::openSelected()
{
    const int row = LBBookmarks->currentRow();
    if (row < 0 || row >= static_cast<int>(m_table.size()) || !LBBookmarks->item(row)->isSelected())
        return;
    const BookmarkEntry entry = m_table[static_cast<size_t>(row)];
    frmMain->OpenPage(entry.page);
    if (frmMain->isClosing())
        return;
    // The percentage of the page's height; a hand-edited value too large for
    // a position is held at the edge rather than wrapped round, and ScrollTo
    // keeps it within the document.
    const qint64 y = qint64(entry.increment) * (frmMain->RichView1->DocumentHeight() / 100);
    frmMain->RichView1->ScrollTo(int(
        std::clamp<qint64>(y, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    frmMain->PushHistory(hkHome, false, 0);
    closeScreen();
    frmIntro->closeScreen();
}

void TfrmBookmark::deleteSelected()
{
    const int row = LBBookmarks->currentRow();
    if (row < 0 || !LBBookmarks->item(row)->isSelected())
        return;
    // A failed save is not caught here: the learner sees its reason in the
    // error box and the list stays as it was.
    frmMain->XML().deleteBookmark(frmMain->CurrentUser, row);
    fillList();
}
