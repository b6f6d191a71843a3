#pragma once

#include "movie/MovieScreen.h"

#include <QString>
#include <vector>

namespace reader {
class ReaderIntents;
class ReaderState;
}
namespace ui {
class Navigator;
}

namespace movie {
class MovieControl;
}
class QLabel;
class QListWidget;

// The signed-in learner's bookmarks: open one in the reader or delete one.
class TfrmBookmark : public movie::MovieScreen
{
    Q_OBJECT
public:
    TfrmBookmark(reader::ReaderState &state, reader::ReaderIntents &reader,
                 ui::Navigator &navigator, QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args) override;
    void LBBookmarksDblClick();

    movie::MovieControl *const Flash = movieControl();
    QListWidget *LBBookmarks = nullptr;

    // One entry per row of the list, in row order.
    struct BookmarkEntry
    {
        QString title;
        int page = 0;
        int increment = 0; // percent of the page's document height
        int anchor = -1;   // the text position at the top; -1: open at increment
    };
    const std::vector<BookmarkEntry> &bookmarkTable() const { return m_table; }

protected:
    void FormActivate() override;
    void FormDeactivate() override;

private:
    // Fills the rows and the table; a record that cannot be read closes the
    // screen without a message, keeping the rows added before it.
    void fillList();
    void openSelected();
    void deleteSelected();
    // Selects and focuses a row (held within the list); an empty list says so.
    void selectRow(int row);

    reader::ReaderState &m_state;
    reader::ReaderIntents &m_reader;
    ui::Navigator &m_navigator;
    std::vector<BookmarkEntry> m_table;
    QLabel *lblNoBookmarks = nullptr;
};

// The bookmarks screen, program-wide (created by the window set).
extern TfrmBookmark *frmBookmark;
