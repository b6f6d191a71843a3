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
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include "richtext/RvfFile.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kScrollStep = 10;     // pixels per scroll step
constexpr int kMaxPlaceholder = 4096;

// What QTextDocument would read as structure (block and frame breaks, object
// markers) or cannot draw is shown as a blank; the item text keeps it.
QString displayText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t') || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC)
            c = QLatin1Char(' ');
    }
    return out;
}

} // namespace

struct TRichView::Layout
{
    struct Group
    {
        int firstBlock, lastBlock, para;
    };

    QTextDocument doc;
    TRVStyle fallback{TRVStyle::Sheet::Plain};

    std::vector<int> itemPos, itemLen, itemLink;
    std::vector<int> linkItems; // link id -> item index
    std::vector<Group> decorated; // runs of blocks with a border or background
    std::vector<int> breakBlocks;
    QColor ruleColor;
    QHash<QString, QImage> images;

    bool built = false; // the text document was built at least once
    bool dirty = true;  // the model changed since the last build
    qreal textWidth = -1;
    int height = 0;     // formatted height, margins included

    int hoverLink = -1;
    int pressLink = -1;
    int focusLink = -1;
    int selAnchor = -1, selPos = -1;
    bool selecting = false;
    int settleDepth = 0;

    bool hasSelection() const { return selAnchor >= 0 && selPos >= 0 && selAnchor != selPos; }
    void clearSelection() { selAnchor = selPos = -1; selecting = false; }
};

TRichView::TRichView(QWidget *parent)
    : QAbstractScrollArea(parent), m_layout(new Layout)
{
    m_style = &m_layout->fallback;
    m_layout->doc.setUndoRedoEnabled(false);
    m_layout->doc.setDocumentMargin(0);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(kScrollStep);
    horizontalScrollBar()->setSingleStep(kScrollStep);
    setFocusPolicy(Qt::StrongFocus);
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
    if (m_layout->built)
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
    if (!loadRvf(QDir::current().absoluteFilePath(fileName), loaded))
        return false;
    m_doc = std::move(loaded);
    m_layout->images.clear();
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

QImage TRichView::pictureFor(const RVItem &item)
{
    const QString base = m_doc.baseDir.isEmpty() ? QDir::currentPath() : m_doc.baseDir;
    const QString path = QFileInfo(item.picturePath).isRelative() ? QDir(base).absoluteFilePath(item.picturePath)
                                                                  : item.picturePath;
    auto it = m_layout->images.constFind(path);
    if (it != m_layout->images.constEnd())
        return it.value();
    QImageReader reader(path);
    QImage img = reader.read();
    if (img.isNull()) {
        // An unreadable picture keeps its place as an empty frame.
        const int w = std::clamp(item.pictureWidth > 0 ? item.pictureWidth : 32, 1, kMaxPlaceholder);
        const int h = std::clamp(item.pictureHeight > 0 ? item.pictureHeight : 32, 1, kMaxPlaceholder);
        img = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawRect(0, 0, w - 1, h - 1);
    }
    m_layout->images.insert(path, img);
    return img;
}

void TRichView::buildDocument()
{
    Layout &L = *m_layout;
    const TRVStyle &st = sheet();
    QTextDocument &doc = L.doc;

    doc.clear();
    doc.setDocumentMargin(0);
    doc.setDefaultFont(st.TextStyles(0).font());
    // The content is laid out once, as it goes in, at the width it is shown
    // at; applying another width afterwards would lay it all out again.
    const qreal width = currentTextWidth();
    doc.setTextWidth(width);

    // One format per style; a style number the sheet lacks is style 0.
    std::vector<QTextCharFormat> charFormats(size_t(std::max(1, st.TextStyleCount())));
    for (int i = 0; i < int(charFormats.size()); ++i) {
        const RVTextStyle &ts = st.TextStyles(st.hasTextStyle(i) ? i : 0);
        QTextCharFormat &cf = charFormats[size_t(i)];
        cf.setFont(ts.font(), QTextCharFormat::FontPropertiesAll);
        cf.setForeground(ts.color);
        if (ts.backColor.isValid())
            cf.setBackground(ts.backColor);
        if (ts.vShiftPercent != 0)
            cf.setBaselineOffset(ts.vShiftPercent);
    }
    std::vector<QTextBlockFormat> blockFormats(size_t(std::max(1, st.ParaStyleCount())));
    std::vector<bool> paraDecorated(blockFormats.size());
    for (int i = 0; i < int(blockFormats.size()); ++i) {
        const RVParaStyle &ps = st.ParaStyles(st.hasParaStyle(i) ? i : 0);
        QTextBlockFormat &bf = blockFormats[size_t(i)];
        bf.setTextIndent(ps.firstIndent);
        bf.setLeftMargin(ps.leftIndent);
        bf.setRightMargin(ps.rightIndent);
        bf.setTopMargin(ps.spaceBefore);
        bf.setBottomMargin(ps.spaceAfter);
        bf.setAlignment(ps.alignment);
        paraDecorated[size_t(i)] = ps.border != RVBorderStyle::None || ps.backColor.isValid();
    }
    auto charFormat = [&](int styleNo) -> const QTextCharFormat & {
        return charFormats[size_t(styleNo >= 0 && styleNo < int(charFormats.size()) ? styleNo : 0)];
    };
    auto paraIndex = [&](int paraNo) { return paraNo >= 0 && paraNo < int(blockFormats.size()) ? paraNo : 0; };

    const qsizetype n = m_doc.items.size();
    L.itemPos.assign(size_t(n), 0);
    L.itemLen.assign(size_t(n), 0);
    L.itemLink.assign(size_t(n), -1);
    L.linkItems.clear();
    L.decorated.clear();
    L.breakBlocks.clear();
    L.ruleColor = st.TextStyles(0).color;

    QTextCursor cur(&doc);
    cur.beginEditBlock();
    int block = -1;
    int currentPara = -1;
    bool afterBreak = false;
    for (qsizetype i = 0; i < n; ++i) {
        const RVItem &item = m_doc.items[i];
        const bool isBreak = item.kind == RVItem::Kind::Break;
        const bool newBlock = block < 0 || isBreak || afterBreak || item.start == RVItem::Start::NewParagraph;
        const QTextCharFormat &cf = charFormat(item.styleNo);
        if (newBlock) {
            const int para = isBreak ? 0 : paraIndex(item.paraNo);
            QTextBlockFormat bf = isBreak ? QTextBlockFormat() : blockFormats[size_t(para)];
            if (item.pageBreakBefore)
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            const QTextCharFormat &bcf = isBreak ? charFormat(0) : cf;
            if (block < 0) {
                cur.setBlockFormat(bf);
                cur.setBlockCharFormat(bcf);
            } else {
                cur.insertBlock(bf, bcf);
            }
            ++block;
            if (isBreak) {
                L.breakBlocks.push_back(block);
                currentPara = -1;
            } else if (paraDecorated[size_t(para)]) {
                // Consecutive paragraphs of one decorated style share a frame.
                if (currentPara == para && !L.decorated.empty() && L.decorated.back().lastBlock == block - 1)
                    L.decorated.back().lastBlock = block;
                else
                    L.decorated.push_back({block, block, para});
                currentPara = para;
            } else {
                currentPara = -1;
            }
        } else if (item.start == RVItem::Start::NewLine) {
            cur.insertText(QString(QChar::LineSeparator), cf);
        }
        afterBreak = isBreak;

        const bool link = (item.kind == RVItem::Kind::Picture && item.pictureJump)
                          || (item.kind == RVItem::Kind::Text && st.hasTextStyle(item.styleNo)
                              && st.TextStyles(item.styleNo).jump);
        if (link) {
            L.itemLink[size_t(i)] = int(L.linkItems.size());
            L.linkItems.push_back(int(i));
        }

        L.itemPos[size_t(i)] = cur.position();
        switch (item.kind) {
        case RVItem::Kind::Text:
        case RVItem::Kind::Tab: {
            const QString text = item.kind == RVItem::Kind::Tab ? QStringLiteral("\t") : displayText(item.text);
            if (text.isEmpty())
                break;
            if (link) {
                QTextCharFormat lf = cf;
                lf.setAnchor(true);
                lf.setAnchorHref(QString::number(L.itemLink[size_t(i)]));
                cur.insertText(text, lf);
            } else {
                cur.insertText(text, cf);
            }
            break;
        }
        case RVItem::Kind::Picture: {
            const QImage img = pictureFor(item);
            const QString name = QStringLiteral("rvimg:%1").arg(i);
            doc.addResource(QTextDocument::ImageResource, QUrl(name), img);
            QTextImageFormat imf;
            imf.setName(name);
            qreal w = item.pictureWidth, h = item.pictureHeight;
            if (w <= 0 && h > 0 && img.height() > 0)
                w = h * img.width() / img.height();
            else if (h <= 0 && w > 0 && img.width() > 0)
                h = w * img.height() / img.width();
            if (w > 0)
                imf.setWidth(w);
            if (h > 0)
                imf.setHeight(h);
            if (link) {
                imf.setAnchor(true);
                imf.setAnchorHref(QString::number(L.itemLink[size_t(i)]));
            }
            cur.insertImage(imf);
            break;
        }
        case RVItem::Kind::Break:
            break;
        }
        L.itemLen[size_t(i)] = cur.position() - L.itemPos[size_t(i)];
    }
    cur.endEditBlock();

    L.built = true;
    L.dirty = false;
    L.textWidth = width;
    if (L.focusLink >= int(L.linkItems.size()))
        L.focusLink = -1;
    if (L.hoverLink >= int(L.linkItems.size()))
        L.hoverLink = -1;
}

qreal TRichView::currentTextWidth() const
{
    return std::max(1, viewport()->width() - m_left - m_right);
}

int TRichView::topPosition() const
{
    if (!m_layout->built)
        return -1;
    // Just under the top edge: a line that ends exactly there is not at the top.
    const QPointF p(0, verticalScrollBar()->value() - m_top + 1);
    return m_layout->doc.documentLayout()->hitTest(p, Qt::FuzzyHit);
}

int TRichView::itemAtPosition(int pos) const
{
    const auto &ip = m_layout->itemPos;
    if (ip.empty() || pos < 0)
        return -1;
    auto it = std::upper_bound(ip.begin(), ip.end(), pos);
    if (it == ip.begin())
        return 0;
    return int(it - ip.begin()) - 1;
}

int TRichView::lineTopOf(int pos) const
{
    const QTextDocument &doc = m_layout->doc;
    const QTextBlock block = doc.findBlock(pos);
    if (!block.isValid())
        return 0;
    const QTextLayout *tl = block.layout();
    if (!tl || tl->lineCount() == 0)
        return int(std::floor(doc.documentLayout()->blockBoundingRect(block).top()));
    const QTextLine line = tl->lineForTextPosition(pos - block.position());
    const qreal y = tl->position().y() + (line.isValid() ? line.y() : 0);
    return int(std::floor(y));
}

void TRichView::applyWidth()
{
    Layout &L = *m_layout;
    const qreal w = currentTextWidth();
    if (w != L.textWidth) {
        L.textWidth = w;
        L.doc.setTextWidth(w);
    }
    // Asking for the size lays the whole document out now.
    const QSizeF size = L.doc.documentLayout()->documentSize();
    L.height = m_top + int(std::ceil(size.height())) + m_bottom;
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
    const int contentWidth = m_layout->built ? int(std::ceil(m_layout->doc.size().width())) : 0;
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
    const int topPos = keepTopItem && L.built && !atTop ? topPosition() : -1;
    if (L.dirty || !L.built)
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
    if (topPos >= 0 && topPos < L.doc.characterCount()) {
        const int y = m_top + lineTopOf(topPos);
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
    return m_layout->built && !m_layout->dirty;
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
        throw ERichViewError("Parameter can't be NIL");
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
        throw ERichViewError("Parameter can't be NIL");
    tag = cp->tag;
    name = cp->name;
    raiseEvent = cp->raiseEvent;
}

void TRichView::GetCheckpointXY(Checkpoint cp, int &x, int &y) const
{
    if (!cp)
        throw ERichViewError("Parameter can't be NIL");
    if (!isFormatted())
        throw ERichViewError("RichView must be formatted for this operation");
    const Layout &L = *m_layout;
    if (cp->itemIndex < 0 || cp->itemIndex >= int(L.itemPos.size())) {
        x = 0;
        y = DocumentHeight();
        return;
    }
    const int pos = L.itemPos[size_t(cp->itemIndex)];
    const QTextBlock block = L.doc.findBlock(pos);
    const QTextLayout *tl = block.layout();
    qreal lx = 0;
    if (tl && tl->lineCount() > 0) {
        const QTextLine line = tl->lineForTextPosition(pos - block.position());
        lx = tl->position().x() + (line.isValid() ? line.x() : 0);
    }
    x = m_left + int(std::floor(lx));
    y = m_top + lineTopOf(pos);
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

int TRichView::scrollPosition() const
{
    return verticalScrollBar()->value();
}

int TRichView::DocumentHeight() const
{
    return m_layout->built ? m_layout->height : 0;
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
    if (!m_layout->built)
        return -1;
    const QString href = m_layout->doc.documentLayout()->anchorAt(toDocument(viewportPos));
    if (href.isEmpty())
        return -1;
    bool ok = false;
    const int id = href.toInt(&ok);
    return ok && id >= 0 && id < int(m_layout->linkItems.size()) ? id : -1;
}

QRect TRichView::linkRect(int id) const
{
    const Layout &L = *m_layout;
    if (!L.built || id < 0 || id >= int(L.linkItems.size()))
        return QRect();
    const int item = L.linkItems[size_t(id)];
    const int pos = L.itemPos[size_t(item)];
    const int len = L.itemLen[size_t(item)];
    if (len <= 0)
        return QRect();
    const QTextBlock block = L.doc.findBlock(pos);
    const QTextLayout *tl = block.layout();
    if (!tl || tl->lineCount() == 0)
        return QRect();
    const int rel = pos - block.position();
    const QTextLine line = tl->lineForTextPosition(rel);
    if (!line.isValid())
        return QRect();
    const int lineEnd = line.textStart() + line.textLength();
    const qreal x1 = line.cursorToX(rel);
    const qreal x2 = line.cursorToX(std::min(rel + len, lineEnd));
    QRectF r(std::min(x1, x2), line.y(), std::abs(x2 - x1), line.height());
    r.translate(tl->position());
    r.translate(m_left - horizontalScrollBar()->value(), m_top - verticalScrollBar()->value());
    return r.toAlignedRect();
}

QTextCursor TRichView::itemCursor(int item) const
{
    const Layout &L = *m_layout;
    QTextCursor c(const_cast<QTextDocument *>(&L.doc));
    c.setPosition(L.itemPos[size_t(item)]);
    c.setPosition(L.itemPos[size_t(item)] + L.itemLen[size_t(item)], QTextCursor::KeepAnchor);
    return c;
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
    if (!L.built)
        return;

    p.translate(m_left - hs, m_top - vs);
    const QRectF clip(hs - m_left, vs - m_top, vr.width(), vr.height());

    // Paragraph frames and backgrounds, under the text.
    for (const Layout::Group &g : L.decorated) {
        const QTextBlock first = L.doc.findBlockByNumber(g.firstBlock);
        const QTextBlock last = L.doc.findBlockByNumber(g.lastBlock);
        const QTextLayout *fl = first.layout();
        const QTextLayout *ll = last.layout();
        if (!fl || !ll || fl->lineCount() == 0 || ll->lineCount() == 0)
            continue;
        const RVParaStyle &ps = st.ParaStyles(g.para);
        const qreal top = fl->position().y() + fl->lineAt(0).y();
        const QTextLine lastLine = ll->lineAt(ll->lineCount() - 1);
        const qreal bottom = ll->position().y() + lastLine.y() + lastLine.height();
        const QRectF text(ps.leftIndent, top, std::max<qreal>(0, L.textWidth - ps.leftIndent - ps.rightIndent),
                          bottom - top);
        if (!text.adjusted(-50, -50, 50, 50).intersects(clip))
            continue;
        if (ps.backColor.isValid())
            p.fillRect(text.marginsAdded(QMarginsF(ps.backOffsets)), ps.backColor);
        if (ps.border == RVBorderStyle::None)
            continue;
        const QRectF b = text.marginsAdded(QMarginsF(ps.borderOffsets));
        const qreal w = std::max(1, ps.borderWidth);
        const QColor bc = ps.borderColor.isValid() ? ps.borderColor : L.ruleColor;
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
    for (const int b : L.breakBlocks) {
        const QTextBlock block = L.doc.findBlockByNumber(b);
        const QRectF r = L.doc.documentLayout()->blockBoundingRect(block);
        if (!r.intersects(clip))
            continue;
        const qreal y = std::floor(r.center().y());
        p.fillRect(QRectF(0, y, L.textWidth, 1), L.ruleColor);
    }

    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.palette = palette();
    ctx.palette.setColor(QPalette::Text, L.ruleColor);

    if (L.hoverLink >= 0 && L.hoverLink < int(L.linkItems.size())) {
        const int item = L.linkItems[size_t(L.hoverLink)];
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
            ctx.selections.append({itemCursor(item), hf});
    }
    if (L.hasSelection()) {
        QTextCursor c(&L.doc);
        c.setPosition(std::clamp(L.selAnchor, 0, L.doc.characterCount() - 1));
        c.setPosition(std::clamp(L.selPos, 0, L.doc.characterCount() - 1), QTextCursor::KeepAnchor);
        QTextCharFormat sf;
        sf.setBackground(st.SelColor);
        sf.setForeground(st.SelTextColor);
        ctx.selections.append({c, sf});
    }
    L.doc.documentLayout()->draw(&p, ctx);

    if (L.focusLink >= 0 && hasFocus()) {
        p.resetTransform();
        const QRect r = linkRect(L.focusLink);
        if (!r.isEmpty()) {
            QPen pen(L.ruleColor, 1, Qt::DotLine);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(-1, -1, 0, 0));
        }
    }
}

void TRichView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // A new text width lays the document out again, keeping the top item.
    if (currentTextWidth() != m_layout->textWidth)
        relayout(true);
    else if (m_layout->built)
        updateScrollBars();
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
    if (m_selectionEnabled && L.built) {
        const int pos = L.doc.documentLayout()->hitTest(toDocument(event->position().toPoint()), Qt::FuzzyHit);
        L.selAnchor = L.selPos = pos;
        L.selecting = pos >= 0;
    }
    viewport()->update();
}

void TRichView::mouseMoveEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    const QPoint pos = event->position().toPoint();
    if (L.selecting && (event->buttons() & Qt::LeftButton) && L.built) {
        const int p = L.doc.documentLayout()->hitTest(toDocument(pos), Qt::FuzzyHit);
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
    if (event->button() != Qt::LeftButton || !m_selectionEnabled || !L.built) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const int pos = L.doc.documentLayout()->hitTest(toDocument(event->position().toPoint()), Qt::FuzzyHit);
    if (pos < 0)
        return;
    QTextCursor c(&L.doc);
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
    QTextCursor c(const_cast<QTextDocument *>(&L.doc));
    c.setPosition(std::clamp(L.selAnchor, 0, L.doc.characterCount() - 1));
    c.setPosition(std::clamp(L.selPos, 0, L.doc.characterCount() - 1), QTextCursor::KeepAnchor);
    QString s = c.selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.replace(QChar::LineSeparator, QLatin1Char('\n'));
    s.remove(QChar::ObjectReplacementCharacter);
    return s;
}

bool TRichView::moveLinkFocus(bool next)
{
    Layout &L = *m_layout;
    const int count = int(L.linkItems.size());
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
    if (event == QKeySequence::SelectAll && m_selectionEnabled && L.built) {
        L.selAnchor = 0;
        L.selPos = L.doc.characterCount() - 1;
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
        if (L.focusLink >= 0 && L.focusLink < int(L.linkItems.size())) {
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
