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
#include "richtext/RichViewAccessible.h"
#include "richtext/RvfFile.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {
constexpr int kScrollStep = 10; // pixels per scroll step
} // namespace

// What the view keeps beside the laid-out text: its interaction state.
struct TRichView::Layout
{
    richtext::RichLayout text;
    TRVStyle fallback{TRVStyle::Sheet::Plain};

    bool dirty = true; // the model changed since the last build
    int height = 0;    // formatted height, margins included

    int hoverLink = -1;
    int pressLink = -1;
    int focusLink = -1;
    int selAnchor = -1, selPos = -1;
    bool selecting = false;
    int settleDepth = 0;
    int generation = 0;

    bool hasSelection() const { return selAnchor >= 0 && selPos >= 0 && selAnchor != selPos; }
    void clearSelection() { selAnchor = selPos = -1; selecting = false; }
};

TRichView::TRichView(QWidget *parent)
    : QAbstractScrollArea(parent), m_layout(new Layout)
{
    m_style = &m_layout->fallback;
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(kScrollStep);
    horizontalScrollBar()->setSingleStep(kScrollStep);
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
    RVDocument loaded;
    m_loadError.clear();
    if (!loadRvf(QDir::current().absoluteFilePath(fileName), loaded, &m_loadError))
        return false;
    m_doc = std::move(loaded);
    m_highlights.clear();
    m_layout->clearSelection();
    m_layout->hoverLink = m_layout->pressLink = m_layout->focusLink = -1;
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
    return m_layout->text.doc.documentLayout()->hitTest(p, Qt::FuzzyHit);
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
    vb->setSingleStep(kScrollStep);
    vb->setPageStep(std::max(1, viewport()->height()));
    vb->setRange(0, std::max(0, m_layout->height - viewport()->height()));
    QScrollBar *hb = horizontalScrollBar();
    const int contentWidth = m_layout->text.isBuilt() ? int(std::ceil(m_layout->text.doc.size().width())) : 0;
    hb->setSingleStep(kScrollStep);
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
    if (topPos >= 0 && topPos < L.text.doc.characterCount()) {
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
        throw RichViewError("Parameter can't be NIL");
    const auto &cps = m_doc.checkpoints;
    if (cps.empty())
        return nullptr;
    const RVCheckpoint *first = cps.data();
    const RVCheckpoint *last = first + cps.size() - 1;
    // A handle of another document (or a stale one) has no successor here.
    if (std::less<const RVCheckpoint *>()(cp, first) || std::less<const RVCheckpoint *>()(last, cp))
        return nullptr;
    return cp == last ? nullptr : cp + 1;
}

void TRichView::GetCheckpointInfo(Checkpoint cp, int &tag, QString &name, bool &raiseEvent) const
{
    if (!cp)
        throw RichViewError("Parameter can't be NIL");
    tag = cp->tag;
    name = cp->name;
    raiseEvent = cp->raiseEvent;
}

void TRichView::GetCheckpointXY(Checkpoint cp, int &x, int &y) const
{
    if (!cp)
        throw RichViewError("Parameter can't be NIL");
    if (!isFormatted())
        throw RichViewError("RichView must be formatted for this operation");
    const Layout &L = *m_layout;
    if (cp->itemIndex < 0 || cp->itemIndex >= int(L.text.itemPos.size())) {
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
    if (!isFormatted() || item < 0 || item >= int(L.text.itemPos.size()))
        return -1;
    const int pos = L.text.itemPos[size_t(item)] +
                    std::clamp(offset, 0, std::max(0, L.text.itemLen[size_t(item)] - 1));
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
    Layout &L = *m_layout;
    const TRVStyle &st = sheet();
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
        p.fillRect(vr, st.Color.isValid() ? st.Color : palette().color(QPalette::Base));
    }
    if (!L.text.isBuilt())
        return;

    p.translate(m_left - hs, m_top - vs);
    const QRectF clip(hs - m_left, vs - m_top, vr.width(), vr.height());

    // Paragraph frames and backgrounds, under the text.
    for (const richtext::RichLayout::Group &g : L.text.decorated) {
        const QTextBlock first = L.text.doc.findBlockByNumber(g.firstBlock);
        const QTextBlock last = L.text.doc.findBlockByNumber(g.lastBlock);
        const QTextLayout *fl = first.layout();
        const QTextLayout *ll = last.layout();
        if (!fl || !ll || fl->lineCount() == 0 || ll->lineCount() == 0)
            continue;
        const RVParaStyle &ps = st.ParaStyles(g.para);
        qreal top = fl->position().y() + fl->lineAt(0).y();
        const QTextLine lastLine = ll->lineAt(ll->lineCount() - 1);
        qreal bottom = ll->position().y() + lastLine.y() + lastLine.height();
        // Raised and lowered text stays inside the frame.
        if (auto room = L.text.shiftRoom.find(g.firstBlock); room != L.text.shiftRoom.end())
            top -= room->second.above;
        if (auto room = L.text.shiftRoom.find(g.lastBlock); room != L.text.shiftRoom.end())
            bottom += room->second.below;
        const QRectF text(ps.leftIndent, top, std::max<qreal>(0, L.text.width() - ps.leftIndent - ps.rightIndent),
                          bottom - top);
        if (!text.adjusted(-50, -50, 50, 50).intersects(clip))
            continue;
        if (ps.backColor.isValid())
            p.fillRect(text.marginsAdded(QMarginsF(ps.backOffsets)), ps.backColor);
        if (ps.border == RVBorderStyle::None)
            continue;
        const QRectF b = text.marginsAdded(QMarginsF(ps.borderOffsets));
        const qreal w = std::max(1, ps.borderWidth);
        const QColor bc = ps.borderColor.isValid() ? ps.borderColor : L.text.ruleColor;
        // The line lies outside the framed rectangle.
        if (ps.borderSides & Qt::LeftEdge)
            p.fillRect(QRectF(b.left() - w, b.top() - w, w, b.height() + 2 * w), bc);
        if (ps.borderSides & Qt::RightEdge)
            p.fillRect(QRectF(b.right(), b.top() - w, w, b.height() + 2 * w), bc);
        if (ps.borderSides & Qt::TopEdge)
            p.fillRect(QRectF(b.left() - w, b.top() - w, b.width() + 2 * w, w), bc);
        if (ps.borderSides & Qt::BottomEdge)
            p.fillRect(QRectF(b.left() - w, b.bottom(), b.width() + 2 * w, w), bc);
    }

    // Break lines: 1 pixel across the text width, in the middle of their line.
    for (const int b : L.text.breakBlocks) {
        const QTextBlock block = L.text.doc.findBlockByNumber(b);
        const QRectF r = L.text.doc.documentLayout()->blockBoundingRect(block);
        if (!r.intersects(clip))
            continue;
        const qreal y = std::floor(r.center().y());
        p.fillRect(QRectF(0, y, L.text.width(), 1), L.text.ruleColor);
    }

    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.palette = palette();
    ctx.palette.setColor(QPalette::Text, L.text.ruleColor);

    if (L.hoverLink >= 0 && L.hoverLink < int(L.text.linkItems.size())) {
        const int item = L.text.linkItems[size_t(L.hoverLink)];
        const RVItem &it = m_doc.items[item];
        QTextCharFormat hf;
        if (it.kind == RVItem::Kind::Text) {
            const RVTextStyle &ts = st.TextStyles(it.styleNo);
            const QColor fg = ts.hoverColor.isValid() ? ts.hoverColor : st.HoverColor;
            if (fg.isValid())
                hf.setForeground(fg);
            if (ts.hoverBackColor.isValid())
                hf.setBackground(ts.hoverBackColor);
        }
        if (!hf.properties().isEmpty())
            ctx.selections.append({L.text.itemCursor(item), hf});
    }
    for (const Highlight &h : m_highlights) {
        if (h.item < 0 || h.item >= int(L.text.itemPos.size()))
            continue;
        const int last = L.text.doc.characterCount() - 1;
        const int from = L.text.itemPos[size_t(h.item)] + std::max(0, h.offset);
        QTextCursor c(&L.text.doc);
        c.setPosition(std::clamp(from, 0, last));
        c.setPosition(std::clamp(from + std::max(0, h.length), 0, last), QTextCursor::KeepAnchor);
        QTextCharFormat mark;
        mark.setBackground(QColor(0xFF, 0xE0, 0x8A));
        ctx.selections.append({c, mark});
    }
    if (L.hasSelection()) {
        QTextCursor c(&L.text.doc);
        c.setPosition(std::clamp(L.selAnchor, 0, L.text.doc.characterCount() - 1));
        c.setPosition(std::clamp(L.selPos, 0, L.text.doc.characterCount() - 1), QTextCursor::KeepAnchor);
        QTextCharFormat sf;
        sf.setBackground(st.SelColor);
        sf.setForeground(st.SelTextColor);
        ctx.selections.append({c, sf});
    }
    L.text.doc.documentLayout()->draw(&p, ctx);

    if (L.focusLink >= 0 && hasFocus()) {
        p.resetTransform();
        const QRect r = linkRect(L.focusLink);
        if (!r.isEmpty()) {
            // A keyboard learner must see at a glance where Enter acts: a
            // solid ring in the highlight colour over a light wash.
            p.setRenderHint(QPainter::Antialiasing);
            QColor wash = palette().color(QPalette::Highlight);
            wash.setAlpha(40);
            p.setPen(QPen(palette().color(QPalette::Highlight), 2));
            p.setBrush(wash);
            p.drawRoundedRect(QRectF(r).adjusted(-3, -2, 3, 2), 3, 3);
        }
    }
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
// Mouse and keyboard

void TRichView::mousePressEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    if (event->button() == Qt::RightButton) {
        L.clearSelection();
        viewport()->update();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    L.pressLink = linkAt(event->position().toPoint());
    L.clearSelection();
    if (m_selectionEnabled && L.text.isBuilt()) {
        const int pos = L.text.doc.documentLayout()->hitTest(toDocument(event->position().toPoint()), Qt::FuzzyHit);
        L.selAnchor = L.selPos = pos;
        L.selecting = pos >= 0;
    }
    viewport()->update();
}

void TRichView::mouseMoveEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    const QPoint pos = event->position().toPoint();
    if (L.selecting && (event->buttons() & Qt::LeftButton) && L.text.isBuilt()) {
        const int p = L.text.doc.documentLayout()->hitTest(toDocument(pos), Qt::FuzzyHit);
        if (p >= 0 && p != L.selPos) {
            L.selPos = p;
            viewport()->update();
        }
        // Dragging past an edge scrolls.
        if (pos.y() < 0)
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (pos.y() > viewport()->height())
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    setHoverLink(linkAt(pos));
}

void TRichView::mouseReleaseEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    L.selecting = false;
    const int link = linkAt(event->position().toPoint());
    const int pressed = L.pressLink;
    L.pressLink = -1;
    if (link >= 0 && link == pressed && !L.hasSelection()) {
        L.clearSelection();
        L.focusLink = link;
        // The handler may reload, reformat or even destroy this view.
        emit jump(link);
    }
}

void TRichView::mouseDoubleClickEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    if (event->button() != Qt::LeftButton || !m_selectionEnabled || !L.text.isBuilt()) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const int pos = L.text.doc.documentLayout()->hitTest(toDocument(event->position().toPoint()), Qt::FuzzyHit);
    if (pos < 0)
        return;
    QTextCursor c(&L.text.doc);
    c.setPosition(pos);
    c.select(QTextCursor::WordUnderCursor);
    L.selAnchor = c.anchor();
    L.selPos = c.position();
    L.selecting = false;
    L.pressLink = -1;
    viewport()->update();
}

void TRichView::leaveEvent(QEvent *event)
{
    setHoverLink(-1);
    QAbstractScrollArea::leaveEvent(event);
}

QString TRichView::selectedText() const
{
    const Layout &L = *m_layout;
    if (!L.hasSelection())
        return QString();
    QTextCursor c(const_cast<QTextDocument *>(&L.text.doc));
    c.setPosition(std::clamp(L.selAnchor, 0, L.text.doc.characterCount() - 1));
    c.setPosition(std::clamp(L.selPos, 0, L.text.doc.characterCount() - 1), QTextCursor::KeepAnchor);
    QString s = c.selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.replace(QChar::LineSeparator, QLatin1Char('\n'));
    s.remove(QChar::ObjectReplacementCharacter);
    return s;
}

bool TRichView::moveLinkFocus(bool next)
{
    Layout &L = *m_layout;
    const int count = int(L.text.linkItems.size());
    if (count == 0)
        return false;
    const int to = L.focusLink < 0 ? (next ? 0 : count - 1) : L.focusLink + (next ? 1 : -1);
    if (to < 0 || to >= count) {
        L.focusLink = -1;
        viewport()->update();
        return false;
    }
    L.focusLink = to;
    ensureLinkVisible(to);
    viewport()->update();
    richtext::notifyLinkFocus(this, to);
    return true;
}

void TRichView::ensureLinkVisible(int id)
{
    const QRect r = linkRect(id);
    if (r.isEmpty())
        return;
    QScrollBar *vb = verticalScrollBar();
    if (r.top() < 0)
        vb->setValue(vb->value() + r.top() - m_top);
    else if (r.bottom() > viewport()->height())
        vb->setValue(vb->value() + r.bottom() - viewport()->height() + m_bottom);
}

void TRichView::focusInEvent(QFocusEvent *event)
{
    // Tab into the view lands on the page itself; the next Tab walks its
    // links from the first (Shift+Tab from the last).
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        m_layout->focusLink = -1;
    QAbstractScrollArea::focusInEvent(event);
}

bool TRichView::focusNextPrevChild(bool next)
{
    // Tab walks the links first, then leaves the view.
    if (hasFocus() && moveLinkFocus(next))
        return true;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void TRichView::keyPressEvent(QKeyEvent *event)
{
    Layout &L = *m_layout;
    QScrollBar *vb = verticalScrollBar();
    QScrollBar *hb = horizontalScrollBar();
    if (event == QKeySequence::Copy) {
        if (L.hasSelection())
            QGuiApplication::clipboard()->setText(selectedText());
        return;
    }
    if (event == QKeySequence::SelectAll && m_selectionEnabled && L.text.isBuilt()) {
        L.selAnchor = 0;
        L.selPos = L.text.doc.characterCount() - 1;
        viewport()->update();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up: vb->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: vb->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: vb->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: vb->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Left: hb->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: hb->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home:
        vb->setValue(vb->minimum());
        hb->setValue(hb->minimum());
        break;
    case Qt::Key_End: vb->setValue(vb->maximum()); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (L.focusLink >= 0 && L.focusLink < int(L.text.linkItems.size())) {
            emit jump(L.focusLink);
            return;
        }
        if (event->key() == Qt::Key_Space)
            vb->triggerAction(QAbstractSlider::SliderPageStepAdd);
        else
            event->ignore();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
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
    if (L.focusLink >= 0)
        ensureLinkVisible(L.focusLink);
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
    const int last = L.text.doc.characterCount() - 1;
    L.selAnchor = std::clamp(start, 0, last);
    L.selPos = std::clamp(end, 0, last);
    L.selecting = false;
    viewport()->update();
}
