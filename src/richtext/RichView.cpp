#include "richtext/RichView.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include "richtext/RichLayout.h"
#include "richtext/RichView_p.h"
#include "richtext/RichViewAccessible.h"
#include "richtext/RvfFile.h"

#include <algorithm>
#include <cmath>
#include <functional>

TRichView::TRichView(QWidget *parent)
    : QAbstractScrollArea(parent), m_layout(new Layout)
{
    m_style = &m_layout->fallback;
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(richtext::kScrollStep);
    horizontalScrollBar()->setSingleStep(richtext::kScrollStep);
    setFocusPolicy(Qt::StrongFocus);
    richtext::installAccessibility();
}

TRichView::~TRichView()
{
    delete m_layout;
}

TRVStyle &TRichView::sheet() const
{
    return m_style ? *m_style : m_layout->fallback;
}

void TRichView::setRVStyle(TRVStyle *style)
{
    m_style = style ? style : &m_layout->fallback;
}

void TRichView::setMargins(int left, int right, int top, int bottom)
{
    m_left = std::max(0, left);
    m_right = std::max(0, right);
    m_top = std::max(0, top);
    m_bottom = std::max(0, bottom);
    if (m_layout->text.isBuilt())
        relayout(true);
    viewport()->update();
}

void TRichView::setSelectionEnabled(bool on)
{
    m_selectionEnabled = on;
    if (!on)
        m_layout->clearSelection();
    updateCursorShape();
    viewport()->update();
}

void TRichView::setBackgroundTile(const QPixmap &tile)
{
    m_tile = tile;
    viewport()->update();
}

// ---------------------------------------------------------------------------
// Building

void TRichView::modelChanged()
{
    m_layout->dirty = true;
}

void TRichView::Clear()
{
    m_doc.clear();
    m_highlights.clear();
    m_layout->clearSelection();
    m_layout->hoverLink = m_layout->pressLink = m_layout->focusLink = -1;
    resetCaret();
    modelChanged();
}

void TRichView::AddNL(const QString &text, int styleNo, int paraNo)
{
    AddNLTag(text, styleNo, paraNo, 0);
}

void TRichView::AddNLTag(const QString &text, int styleNo, int paraNo, int tag)
{
    m_doc.addText(text, styleNo, paraNo, tag, sheet().SpacesInTab);
    modelChanged();
}

void TRichView::Add(const QString &text, int styleNo)
{
    AddNL(text, styleNo, -1);
}

void TRichView::AddCenterLine(const QString &text, int styleNo)
{
    AddNL(text, styleNo, 1);
}

void TRichView::AddBreak()
{
    m_doc.addBreak();
    modelChanged();
}

bool TRichView::LoadRVF(const QString &fileName)
{
    richtext::RVDocument loaded;
    m_loadError.clear();
    if (!loadRvf(QDir::current().absoluteFilePath(fileName), loaded, &m_loadError))
        return false;
    m_doc = std::move(loaded);
    m_highlights.clear();
    m_layout->clearSelection();
    m_layout->hoverLink = m_layout->pressLink = m_layout->focusLink = -1;
    resetCaret();
    modelChanged();
    return true;
}

bool TRichView::LoadText(const QString &fileName, int styleNo, int paraNo, bool asSingleParagraph)
{
    if (!m_doc.loadText(QDir::current().absoluteFilePath(fileName), styleNo, paraNo, asSingleParagraph,
                        sheet().SpacesInTab))
        return false;
    modelChanged();
    return true;
}

bool TRichView::SaveTextW(const QString &fileName, int lineWidth) const
{
    return m_doc.saveTextW(QDir::current().absoluteFilePath(fileName), lineWidth);
}

int TRichView::GetLineCount() const
{
    return int(m_doc.items.size());
}

QString TRichView::GetItemTextA(int index) const
{
    if (index < 0 || index >= m_doc.items.size())
        return QString();
    return m_doc.items[index].text;
}

void TRichView::buildDocument()
{
    Layout &L = *m_layout;
    L.text.setDevicePixelRatio(devicePixelRatioF());
    const qreal narrow = widthWithComingBar();
    L.text.build(m_doc, sheet(), narrow > 0 ? narrow : currentTextWidth());
    L.dirty = false;
    ++L.generation;
    if (L.focusLink >= L.text.linkCount())
        L.focusLink = -1;
    if (L.hoverLink >= L.text.linkCount())
        L.hoverLink = -1;
    L.caret = std::clamp(L.caret, 0, std::max(0, L.text.characterCount() - 1));
    richtext::notifyTextReplaced(this);
}

qreal TRichView::currentTextWidth() const
{
    return std::max(1, viewport()->width() - m_left - m_right);
}

qreal TRichView::widthWithComingBar() const
{
    // A new document is laid out as it goes in. Should it be taller than the
    // view, the vertical bar comes in and narrows the viewport, and a long
    // document would be laid out a second time; so, with the bar out, it is
    // built at the narrower width from the start. Only a short document,
    // cheap to lay out, then takes a second layout at the full width.
    const QScrollBar *bar = verticalScrollBar();
    if (verticalScrollBarPolicy() != Qt::ScrollBarAsNeeded || !isVisible() || bar->isVisibleTo(this))
        return -1;
    int extent = bar->sizeHint().width();
    if (style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, this))
        extent += style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, this);
    return std::max(1, viewport()->width() - extent - m_left - m_right);
}

int TRichView::topPosition() const
{
    if (!m_layout->text.isBuilt())
        return -1;
    // Just under the top edge: a line that ends exactly there is not at the top.
    const QPointF p(0, verticalScrollBar()->value() - m_top + 1);
    return m_layout->text.positionAt(p);
}

void TRichView::applyWidth()
{
    Layout &L = *m_layout;
    qreal width = currentTextWidth();
    const qreal narrow = widthWithComingBar();
    // Laid out for the bar, and tall enough to bring it in: keep that layout.
    if (narrow > 0 && L.text.width() == narrow &&
        m_top + L.text.layOut(narrow) + m_bottom > viewport()->height())
        width = narrow;
    L.height = m_top + L.text.layOut(width) + m_bottom;
    updateScrollBars();
}

void TRichView::updateScrollBars()
{
    // Showing or hiding a bar resizes the viewport at once, which may lay the
    // document out again from inside here; so every value is read afresh.
    QScrollBar *vb = verticalScrollBar();
    vb->setSingleStep(richtext::kScrollStep);
    vb->setPageStep(std::max(1, viewport()->height()));
    vb->setRange(0, std::max(0, m_layout->height - viewport()->height()));
    QScrollBar *hb = horizontalScrollBar();
    const int contentWidth = m_layout->text.isBuilt() ? int(std::ceil(m_layout->text.contentWidth())) : 0;
    hb->setSingleStep(richtext::kScrollStep);
    hb->setPageStep(std::max(1, viewport()->width()));
    hb->setRange(0, std::max(0, m_left + contentWidth + m_right - viewport()->width()));
    vb->setPageStep(std::max(1, viewport()->height()));
    vb->setRange(0, std::max(0, m_layout->height - viewport()->height()));
}

void TRichView::relayout(bool keepTopItem)
{
    Layout &L = *m_layout;
    // Character positions depend on the items alone, not on the sheet or the
    // width, so the text at the top can be found again after the layout.
    // At the very top (the margin in view) the view simply stays there.
    const bool atTop = verticalScrollBar()->value() <= m_top;
    const int topPos = keepTopItem && L.text.isBuilt() && !atTop ? topPosition() : -1;
    if (L.dirty || !L.text.isBuilt())
        buildDocument();
    applyWidth();
    // Scroll bars normally come and go through queued calls; callers read
    // positions right after Format, so settle them now. Re-applying a policy
    // lays the bars out at once, and a changed viewport width re-enters here
    // through resizeEvent.
    if (isVisible() && L.settleDepth < 2) {
        ++L.settleDepth;
        setVerticalScrollBarPolicy(verticalScrollBarPolicy());
        setHorizontalScrollBarPolicy(horizontalScrollBarPolicy());
        --L.settleDepth;
    }
    if (topPos >= 0 && topPos < L.text.characterCount()) {
        const int y = m_top + L.text.lineTopOf(topPos);
        verticalScrollBar()->setValue(std::clamp(y, 0, verticalScrollBar()->maximum()));
    }
    viewport()->update();
}

void TRichView::Format()
{
    // A change to the sheet shows here too, so the document is always rebuilt.
    m_layout->dirty = true;
    relayout(false);
}

void TRichView::Reformat()
{
    m_layout->dirty = true;
    relayout(true);
}

bool TRichView::isFormatted() const
{
    return m_layout->text.isBuilt() && !m_layout->dirty;
}

// ---------------------------------------------------------------------------
// Checkpoints

TRichView::Checkpoint TRichView::GetFirstCheckpoint() const
{
    return m_doc.checkpoints.empty() ? nullptr : &m_doc.checkpoints.front();
}

TRichView::Checkpoint TRichView::GetNextCheckpoint(Checkpoint cp) const
{
    if (!cp)
        throw richtext::RichViewError("Parameter can't be NIL");
    const auto &cps = m_doc.checkpoints;
    if (cps.empty())
        return nullptr;
    const richtext::RVCheckpoint *first = cps.data();
    const richtext::RVCheckpoint *last = first + cps.size() - 1;
    // A handle of another document (or a stale one) has no successor here.
    if (std::less<const richtext::RVCheckpoint *>()(cp, first) || std::less<const richtext::RVCheckpoint *>()(last, cp))
        return nullptr;
    return cp == last ? nullptr : cp + 1;
}

void TRichView::GetCheckpointInfo(Checkpoint cp, int &tag, QString &name, bool &raiseEvent) const
{
    if (!cp)
        throw richtext::RichViewError("Parameter can't be NIL");
    tag = cp->tag;
    name = cp->name;
    raiseEvent = cp->raiseEvent;
}

void TRichView::GetCheckpointXY(Checkpoint cp, int &x, int &y) const
{
    if (!cp)
        throw richtext::RichViewError("Parameter can't be NIL");
    if (!isFormatted())
        throw richtext::RichViewError("RichView must be formatted for this operation");
    const Layout &L = *m_layout;
    if (cp->itemIndex < 0 || cp->itemIndex >= L.text.itemCount()) {
        x = 0;
        y = DocumentHeight();
        return;
    }
    const QPointF origin = L.text.itemOrigin(cp->itemIndex);
    x = m_left + int(origin.x());
    y = m_top + int(origin.y());
}

// ---------------------------------------------------------------------------
// Scrolling

void TRichView::ScrollTo(int y)
{
    QScrollBar *vb = verticalScrollBar();
    const int step = std::max(1, vb->singleStep());
    const int v = y <= 0 ? 0 : (y / step) * step;
    vb->setValue(std::clamp(v, 0, vb->maximum()));
}

void TRichView::setHighlights(const QVector<Highlight> &spans)
{
    m_highlights = spans;
    viewport()->update();
}

int TRichView::textTop(int item, int offset) const
{
    const Layout &L = *m_layout;
    if (!isFormatted() || item < 0 || item >= L.text.itemCount())
        return -1;
    const int pos = L.text.itemPosition(item) +
                    std::clamp(offset, 0, std::max(0, L.text.itemLength(item) - 1));
    return m_top + L.text.lineTopOf(pos);
}

int TRichView::scrollPosition() const
{
    return verticalScrollBar()->value();
}

int TRichView::DocumentHeight() const
{
    return m_layout->text.isBuilt() ? m_layout->height : 0;
}

void TRichView::scrollContentsBy(int, int)
{
    followViewWithCaret();
    viewport()->update();
}

// ---------------------------------------------------------------------------
// Hit testing

QPointF TRichView::toDocument(const QPoint &viewportPos) const
{
    return QPointF(viewportPos.x() - m_left + horizontalScrollBar()->value(),
                   viewportPos.y() - m_top + verticalScrollBar()->value());
}

int TRichView::linkAt(const QPoint &viewportPos) const
{
    return m_layout->text.linkAt(toDocument(viewportPos));
}

QRect TRichView::linkRect(int id) const
{
    const QRectF r = m_layout->text.linkRect(id);
    if (r.isEmpty())
        return QRect();
    return r.translated(m_left - horizontalScrollBar()->value(), m_top - verticalScrollBar()->value())
        .toAlignedRect();
}

void TRichView::updateCursorShape()
{
    if (m_layout->hoverLink >= 0)
        viewport()->setCursor(Qt::PointingHandCursor);
    else if (m_selectionEnabled)
        viewport()->setCursor(Qt::IBeamCursor);
    else
        viewport()->setCursor(Qt::ArrowCursor);
}

void TRichView::setHoverLink(int id)
{
    if (m_layout->hoverLink == id)
        return;
    m_layout->hoverLink = id;
    updateCursorShape();
    viewport()->update();
}

// ---------------------------------------------------------------------------
// Painting

void TRichView::paintEvent(QPaintEvent *)
{
    const Layout &L = *m_layout;
    QPainter p(viewport());
    // On a scaled screen the pictures are stretched: smooth them, do not repeat pixels.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect vr = viewport()->rect();
    const int hs = horizontalScrollBar()->value();
    const int vs = verticalScrollBar()->value();

    if (!m_tile.isNull()) {
        // The tiles scroll with the text.
        p.setBrushOrigin(-hs, -vs);
        p.fillRect(vr, QBrush(m_tile));
        p.setBrushOrigin(0, 0);
    } else {
        p.fillRect(vr, sheet().Color.isValid() ? sheet().Color : palette().color(QPalette::Base));
    }
    if (!L.text.isBuilt())
        return;

    p.translate(m_left - hs, m_top - vs);
    const QRectF clip(hs - m_left, vs - m_top, vr.width(), vr.height());
    L.text.paint(&p, sheet(), clip, palette(), textMarks());

    p.resetTransform();
    if (L.focusLink >= 0 && hasFocus())
        paintFocusRing(p, linkRect(L.focusLink));
    paintCaret(p);
    paintPageFocus(p);
}

QList<QAbstractTextDocumentLayout::Selection> TRichView::textMarks() const
{
    const Layout &L = *m_layout;
    const TRVStyle &st = sheet();
    QList<QAbstractTextDocumentLayout::Selection> marks;
    if (L.hoverLink >= 0 && L.hoverLink < L.text.linkCount()) {
        const int item = L.text.linkItem(L.hoverLink);
        const richtext::RVItem &it = m_doc.items[item];
        QTextCharFormat hf;
        if (it.kind == richtext::RVItem::Kind::Text) {
            const richtext::RVTextStyle &ts = st.TextStyles(it.styleNo);
            const QColor fg = ts.hoverColor.isValid() ? ts.hoverColor : st.HoverColor;
            if (fg.isValid())
                hf.setForeground(fg);
            if (ts.hoverBackColor.isValid())
                hf.setBackground(ts.hoverBackColor);
        }
        if (!hf.properties().isEmpty())
            marks.append({L.text.itemCursor(item), hf});
    }
    for (const Highlight &h : m_highlights) {
        if (h.item < 0 || h.item >= L.text.itemCount())
            continue;
        const int from = L.text.itemPosition(h.item) + std::max(0, h.offset);
        QTextCharFormat mark;
        mark.setBackground(QColor(0xFF, 0xE0, 0x8A));
        marks.append({L.text.rangeCursor(from, from + std::max(0, h.length)), mark});
    }
    if (L.hasSelection()) {
        QTextCharFormat sf;
        sf.setBackground(st.SelColor);
        sf.setForeground(st.SelTextColor);
        marks.append({L.text.rangeCursor(L.selAnchor, L.selPos), sf});
    }
    return marks;
}

void TRichView::paintFocusRing(QPainter &p, const QRect &link) const
{
    if (link.isEmpty())
        return;
    // A keyboard learner must see at a glance where Enter acts: a solid ring
    // in the highlight colour over a light wash.
    p.setRenderHint(QPainter::Antialiasing);
    QColor wash = palette().color(QPalette::Highlight);
    wash.setAlpha(40);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(wash);
    p.drawRoundedRect(QRectF(link).adjusted(-3, -2, 3, 2), 3, 3);
}

void TRichView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // A new text width lays the document out again, keeping the top item.
    if (currentTextWidth() != m_layout->text.width())
        relayout(true);
    else if (m_layout->text.isBuilt())
        updateScrollBars();
}

void TRichView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    // A document formatted while the view was hidden was laid out before the
    // view had its final size and its scroll bars: lay it out again now that
    // both are known, keeping the top item.
    if (m_layout->text.isBuilt())
        relayout(true);
}

// ---------------------------------------------------------------------------
// Assistive technology

const richtext::RichLayout *TRichView::textLayout() const
{
    return m_layout->text.isBuilt() ? &m_layout->text : nullptr;
}

int TRichView::layoutGeneration() const
{
    return m_layout->generation;
}

QPoint TRichView::documentOrigin() const
{
    return QPoint(m_left - horizontalScrollBar()->value(), m_top - verticalScrollBar()->value());
}

int TRichView::focusedLink() const
{
    return m_layout->focusLink;
}

void TRichView::setFocusedLink(int id)
{
    Layout &L = *m_layout;
    L.focusLink = id >= 0 && id < L.text.linkCount() ? id : -1;
    if (L.focusLink >= 0) {
        // The caret goes with the keyboard's focus, as in a browser.
        L.caret = L.text.itemPosition(L.text.linkItem(L.focusLink));
        L.caretX = -1;
        L.caretFollowedView = false;
        L.clearSelection();
        ensureLinkVisible(L.focusLink);
    }
    viewport()->update();
}

void TRichView::selectionRange(int &start, int &end) const
{
    const Layout &L = *m_layout;
    if (!L.hasSelection()) {
        start = end = -1;
        return;
    }
    start = std::min(L.selAnchor, L.selPos);
    end = std::max(L.selAnchor, L.selPos);
}

void TRichView::setSelectionRange(int start, int end)
{
    Layout &L = *m_layout;
    if (!m_selectionEnabled || !L.text.isBuilt())
        return;
    const int last = L.text.characterCount() - 1;
    L.selAnchor = std::clamp(start, 0, last);
    L.selPos = std::clamp(end, 0, last);
    L.selecting = false;
    viewport()->update();
}
