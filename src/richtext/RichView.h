#pragma once

// The rich-text document view. This header is the contract the screens code
// against; see RVStyle.h for the style sheets and RVDocument.h for the item
// model it keeps.

#include "richtext/RVDocument.h"
#include "richtext/RVStyle.h"

#include <QAbstractScrollArea>
#include <QAbstractTextDocumentLayout>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <stdexcept>

class QTextDocument;
class QTextCursor;
class QImage;
namespace richtext {
class RichLayout;

// Raised by the operations that the contract lets fail with an error
// ("Parameter can't be NIL", "RichView must be formatted for this operation").
class RichViewError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
} // namespace richtext

class TRichView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // Opaque checkpoint handle; null means "no more".
    using Checkpoint = const richtext::RVCheckpoint *;

    explicit TRichView(QWidget *parent = nullptr);
    ~TRichView() override;

    // The sheet is shared, not owned; several views may use one sheet.
    void setRVStyle(TRVStyle *style);
    TRVStyle *rvStyle() const { return m_style; }

    void setMargins(int left, int right, int top, int bottom);
    void setSelectionEnabled(bool on);
    void setBackgroundTile(const QPixmap &tile);

    // Building a document.
    void Clear();
    void AddNL(const QString &text, int styleNo, int paraNo);
    void AddNLTag(const QString &text, int styleNo, int paraNo, int tag);
    void Add(const QString &text, int styleNo);
    void AddCenterLine(const QString &text, int styleNo);
    void AddBreak();

    // Layout: Format keeps the scroll position, Reformat keeps the item at the top.
    void Format();
    void Reformat();
    bool isFormatted() const;

    // Files.
    bool LoadRVF(const QString &fileName);
    // Why the last LoadRVF failed ("line N: ..." or the file's error).
    QString loadError() const { return m_loadError; }
    bool LoadText(const QString &fileName, int styleNo, int paraNo, bool asSingleParagraph);
    bool SaveTextW(const QString &fileName, int lineWidth) const;

    // Items.
    int GetLineCount() const;
    QString GetItemTextA(int index) const;
    const richtext::RVDocument &document() const { return m_doc; }

    // Checkpoints, in document order, the end checkpoint last.
    Checkpoint GetFirstCheckpoint() const;
    Checkpoint GetNextCheckpoint(Checkpoint cp) const;
    void GetCheckpointInfo(Checkpoint cp, int &tag, QString &name, bool &raiseEvent) const;
    void GetCheckpointXY(Checkpoint cp, int &x, int &y) const;

    // Scrolling.
    void ScrollTo(int y);
    int scrollPosition() const;
    int DocumentHeight() const;

    // Link hit testing in viewport coordinates: the link number, or -1.
    int linkAt(const QPoint &viewportPos) const;
    // The viewport rectangle of link number id (first fragment), for tests
    // and keyboard activation; empty when there is no such link.
    QRect linkRect(int id) const;
    // The selected text, paragraphs and lines separated by "\n".
    QString selectedText() const;

    // Marked runs of text (search hits), kept until the document changes.
    struct Highlight
    {
        int item, offset, length;
    };
    void setHighlights(const QVector<Highlight> &spans);
    const QVector<Highlight> &highlights() const { return m_highlights; }
    // The top of the line that holds a character of an item, in ScrollTo's
    // coordinates; -1 when there is no such item or nothing is laid out.
    int textTop(int item, int offset) const;
    // What assistive technology reads and drives (the view's accessible
    // interface). The laid-out text, or null before the first Format; its
    // character positions are the accessible text offsets.
    const richtext::RichLayout *textLayout() const;
    // Counts the layouts built: what was read of an older one is stale.
    int layoutGeneration() const;
    // Where the document's origin lies in viewport coordinates.
    QPoint documentOrigin() const;
    // The link Tab and Enter act on, or -1.
    int focusedLink() const;
    void setFocusedLink(int id);
    // The selection as text positions, start <= end; both -1 without one.
    void selectionRange(int &start, int &end) const;
    void setSelectionRange(int start, int end);
    // The reading caret, a text position: arrows, Home/End, Ctrl+Home/End,
    // PgUp/PgDn and H (Shift+H) for the next (previous) heading move it.
    // Setting it clears the selection, focuses the link it lands in and
    // scrolls it into view.
    int caretPosition() const;
    void setCaretPosition(int pos);

signals:
    // A hypertext item was clicked: its ordinal among the document's links.
    void jump(int id);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool focusNextPrevChild(bool next) override;

    TRVStyle &sheet() const;
    void modelChanged();
    void buildDocument();
    qreal currentTextWidth() const;
    // The text width once the vertical bar is in, while it is out and may
    // come; -1 when it cannot come or is already in.
    qreal widthWithComingBar() const;
    int topPosition() const;
    void applyWidth();
    void updateScrollBars();
    void relayout(bool keepTopItem);
    QPointF toDocument(const QPoint &viewportPos) const;
    void updateCursorShape();
    void setHoverLink(int id);
    bool moveLinkFocus(bool next);
    void ensureLinkVisible(int id);
    // What is drawn over the text: the hovered link, the search hits, the
    // selection, in that order.
    QList<QAbstractTextDocumentLayout::Selection> textMarks() const;
    void paintFocusRing(QPainter &painter, const QRect &link) const;

    // The reading caret (RichViewCaret.cpp).
    bool caretKey(QKeyEvent *event);
    void moveCaretTo(int pos, bool select);
    void moveCaretBy(int operation, bool select);
    void moveCaretByPage(bool down, bool select);
    bool moveToHeading(bool next);
    // After a move by key: the link under the caret is the focused one, the
    // caret is in view and assistive technology is told.
    void caretMoved();
    void ensureCaretVisible();
    // The caret's line in viewport coordinates; empty before a layout.
    QRect caretRect() const;
    // A scroll not made for the caret leaves it in sight: out of view, it
    // goes to the top line in view.
    void followViewWithCaret();
    int linkAtPosition(int pos) const;
    // A new document is read from its start.
    void resetCaret();
    void paintCaret(QPainter &painter) const;
    void paintPageFocus(QPainter &painter) const;

    struct Layout;
    richtext::RVDocument m_doc;
    QString m_loadError;
    QPointer<TRVStyle> m_style;
    Layout *m_layout = nullptr;
    int m_left = 5, m_right = 5, m_top = 5, m_bottom = 5;
    bool m_selectionEnabled = true;
    QPixmap m_tile;
    QVector<Highlight> m_highlights;
};
