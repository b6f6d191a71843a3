#pragma once

#include "reader/SearchIndex.h"

#include <QObject>
#include <memory>

class QWidget;

namespace reader {

class SearchWindow;

class ReaderState;

// Search over every page of the course (Поиск, Ctrl+F): the index, built at
// the first search of the run, and the search window over the reader.
class ReaderSearch : public QObject
{
    Q_OBJECT
public:
    ReaderSearch(ReaderState &state, QWidget &window);
    ~ReaderSearch() override;

    // Shows the search window, the index built first if need be.
    void open();
    SearchIndex &index();
    // Closes the search window and drops what was typed and found there.
    void forget();

signals:
    // The learner chose a hit in the search window.
    void hitChosen(const reader::SearchIndex::Hit &hit);

private:
    ReaderState &m_state;
    QWidget &m_window;
    std::unique_ptr<SearchIndex> m_index;
    SearchWindow *m_searchWindow = nullptr;
};

} // namespace reader
