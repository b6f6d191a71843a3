#pragma once

#include "reader/SearchIndex.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;

namespace reader {

// The reader's search: a field and the hits of every page, each with its
// page, section and a snippet. Choosing a hit hands it to the reader and
// hides the window; the query and the hits stay for the next opening.
class SearchWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SearchWindow(QWidget *parent = nullptr);

    // A hit row's text with the found words marked, as rich text: what the
    // list draws (the row's plain text stays for screen readers).
    static constexpr int MarkedTextRole = Qt::UserRole + 1;
    static QString markedText(const reader::SearchIndex::Hit &hit);

    // Shows the window over the index, the field ready for typing.
    void showFor(const reader::SearchIndex &index);
    // Fills the list with the hits of a query.
    void search(const QString &query);
    // Chooses the hit in that row.
    void choose(int row);

    const QVector<reader::SearchIndex::Hit> &hits() const { return m_hits; }

signals:
    void hitChosen(const reader::SearchIndex::Hit &hit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *edQuery = nullptr;
    QLabel *lblStatus = nullptr;
    QListWidget *lstHits = nullptr;

    const reader::SearchIndex *m_index = nullptr;
    QVector<reader::SearchIndex::Hit> m_hits;
};

} // namespace reader
