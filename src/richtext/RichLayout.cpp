#include "richtext/RichLayout.h"

#include "core/RegularFile.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <QTextFormat>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace richtext {

namespace {

constexpr int kMaxPlaceholder = 4096;
// No word of a real page is this long. A run past it is wrapped anywhere:
// Qt's search for a word boundary in it grows with the square of its length
// (200,000 letters took 20 s).
constexpr int kLongestRun = 2000;

// Whether some run of text without a space, across items of one paragraph,
// is longer than kLongestRun.
bool hasOverlongRun(const richtext::RVDocument &items)
{
    int run = 0;
    for (const richtext::RVItem &item : items.items) {
        if (item.start == richtext::RVItem::Start::NewParagraph || item.kind != richtext::RVItem::Kind::Text)
            run = 0;
        for (const QChar c : item.text) {
            run = c.isSpace() ? 0 : run + 1;
            if (run > kLongestRun)
                return true;
        }
    }
    return false;
}

// What QTextDocument would read as structure (block and frame breaks, object
// markers) or cannot draw is shown as a blank; the item text keeps it.
bool isStructure(QChar c)
{
    const char16_t u = c.unicode();
    return (u < 0x20 && u != '\t') || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC;
}

QString displayText(const QString &text)
{
    // Most texts hold none: those are shared, not copied.
    if (std::none_of(text.cbegin(), text.cend(), isStructure))
        return text;
    QString out = text;
    for (QChar &c : out)
        if (isStructure(c))
            c = QLatin1Char(' ');
    return out;
}

} // namespace

// A zero-width mark after raised or lowered text whose height makes its own
// line, and only that line, tall enough for it: Qt lays a line out to the
// fonts in it and leaves a baseline offset out of the count.
class ShiftRoomMark : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    static constexpr int kType = RichLayout::kShiftMarkObject;
    static constexpr int kHeight = QTextFormat::UserProperty + 1;
    using QObject::QObject;
    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &format) override
    {
        return QSizeF(0, format.doubleProperty(kHeight));
    }
    void drawObject(QPainter *, const QRectF &, QTextDocument *, int, const QTextFormat &) override {}
};

RichLayout::RichLayout() : roomMark(std::make_unique<ShiftRoomMark>())
{
    doc.setUndoRedoEnabled(false);
    doc.setDocumentMargin(0);
    doc.documentLayout()->registerHandler(ShiftRoomMark::kType, roomMark.get());
}

RichLayout::~RichLayout() = default;

QImage RichLayout::pictureFor(const richtext::RVDocument &items, const richtext::RVItem &item)
{
    const QString base = items.baseDir.isEmpty() ? QDir::currentPath() : items.baseDir;
    const QString path = QFileInfo(item.picturePath).isRelative() ? QDir(base).absoluteFilePath(item.picturePath)
                                                                  : item.picturePath;
    const qint64 left = kMaxPageBytes - pageBytes;
    auto it = images.find(path);
    if (it != images.end()) {
        // Kept from an earlier page: only while its file is the same one, in
        // the course folder as it is now.
        const QFileInfo source(it->source);
        if (!files::isInside(path, QDir::currentPath()) || !files::isInside(it->source, QDir::currentPath()) ||
            !files::isRegular(it->source) ||
            source.size() != it->size ||
            source.lastModified().toMSecsSinceEpoch() != it->modified) {
            images.erase(it);
            it = images.end();
        }
    }
    if (it == images.end()) {
        QImage img;
        // Only files of the course are read: a document may not show (or
        // make the program open) anything elsewhere on the machine, and a
        // FIFO or device would block the reader. Each file is opened once
        // and the opened file is checked, so a swap after a check is no way
        // out either.
        const QString course = QDir::currentPath();
        std::unique_ptr<QFile> file;
        QString source = path;
        qreal ratio = 1;
        if (devicePixelRatio > 1) {
            // On a scaled screen a picture drawn at twice the size beside it
            // ("name@2x.png") is used, so figures stay crisp instead of stretched.
            const QFileInfo info(path);
            const QString twice = info.path() + QLatin1Char('/') + info.completeBaseName() +
                                  QStringLiteral("@2x.") + info.suffix();
            file = files::openInside(twice, course);
            if (file) {
                source = twice;
                ratio = 2;
            }
        }
        if (!file)
            file = files::openInside(path, course);
        if (file) {
            QImageReader reader(file.get());
            const QSize size = reader.size();
            // Known before decoding: a picture past what the page has left
            // is not decoded at all.
            if (size.isValid() && qint64(size.width()) * size.height() * 4 > left)
                return missingPicture(item, left);
            img = reader.read();
            if (!img.isNull()) {
                img.setDevicePixelRatio(ratio);
                Picture picture{img, source, file->size(),
                                file->fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch(), builds};
                it = images.insert(path, picture);
            }
        }
        if (img.isNull())
            return missingPicture(item, left);
    }
    it->build = builds;
    // Every reference counts: each is drawn, scaled, on its own.
    if (it->image.sizeInBytes() > left)
        return missingPicture(item, left);
    pageBytes += it->image.sizeInBytes();
    return it->image;
}

QImage RichLayout::missingPicture(const richtext::RVItem &item, qint64 left)
{
    const int w = std::clamp(item.pictureWidth > 0 ? item.pictureWidth : 32, 1, kMaxPlaceholder);
    const int h = std::clamp(item.pictureHeight > 0 ? item.pictureHeight : 32, 1, kMaxPlaceholder);
    const qint64 bytes = qint64(w) * h * 4;
    if (bytes > left) {
        // Past the budget even the frame is not drawn: a blank of its size.
        QImage blank(1, 1, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        return blank;
    }
    pageBytes += bytes;
    // An unreadable picture keeps its place as an empty frame.
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(0, 0, w - 1, h - 1);
    // What the picture shows, in the frame, where there is room for it.
    if (!item.pictureAlt.isEmpty() && w > 16 && h > 10) {
        QFont font = p.font();
        font.setPixelSize(std::clamp(h / 3, 8, 13));
        p.setFont(font);
        const QRect box(4, 2, w - 8, h - 4);
        const QFontMetrics fm(font);
        const QString text = fm.elidedText(item.pictureAlt.simplified(), Qt::ElideRight,
                                           box.width() * std::max(1, box.height() / fm.height()));
        p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
    }
    return img;
}

struct RichLayout::Formats
{
    // One format per style; a style number the sheet lacks is style 0.
    explicit Formats(const TRVStyle &st)
        : chars(size_t(std::max(1, st.TextStyleCount()))),
          blocks(size_t(std::max(1, st.ParaStyleCount()))), decorated(blocks.size())
    {
        for (int i = 0; i < int(chars.size()); ++i) {
            const richtext::RVTextStyle &ts = st.TextStyles(st.hasTextStyle(i) ? i : 0);
            QTextCharFormat &cf = chars[size_t(i)];
            cf.setFont(ts.font(), QTextCharFormat::FontPropertiesAll);
            cf.setForeground(ts.color);
            if (ts.backColor.isValid())
                cf.setBackground(ts.backColor);
            if (ts.vShiftPercent != 0)
                cf.setBaselineOffset(ts.vShiftPercent);
        }
        for (int i = 0; i < int(blocks.size()); ++i) {
            const richtext::RVParaStyle &ps = st.ParaStyles(st.hasParaStyle(i) ? i : 0);
            QTextBlockFormat &bf = blocks[size_t(i)];
            bf.setTextIndent(ps.firstIndent);
            bf.setLeftMargin(ps.leftIndent);
            bf.setRightMargin(ps.rightIndent);
            bf.setTopMargin(ps.spaceBefore);
            bf.setBottomMargin(ps.spaceAfter);
            bf.setAlignment(ps.alignment);
            decorated[size_t(i)] = ps.border != richtext::RVBorderStyle::None || ps.backColor.isValid();
        }
    }

    const QTextCharFormat &character(int styleNo) const
    {
        return chars[size_t(styleNo >= 0 && styleNo < int(chars.size()) ? styleNo : 0)];
    }
    int paragraph(int paraNo) const { return paraNo >= 0 && paraNo < int(blocks.size()) ? paraNo : 0; }

    std::vector<QTextCharFormat> chars;
    std::vector<QTextBlockFormat> blocks;
    std::vector<bool> decorated; // a paragraph style with a border or background
};

void RichLayout::build(const richtext::RVDocument &items, const TRVStyle &st, qreal width)
{
    doc.clear();
    doc.setDocumentMargin(0);
    pageBytes = 0;
    pictures.clear();
    textWidth = width;
    ++builds;
    ++layouts;
    doc.setDefaultFont(st.TextStyles(0).font());
    QTextOption wrap = doc.defaultTextOption();
    wrap.setWrapMode(hasOverlongRun(items) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(wrap);
    // The content is laid out once, as it goes in, at the width it is shown
    // at; applying another width afterwards would lay it all out again.
    doc.setTextWidth(width);

    const Formats formats(st);
    resetItems(items.items.size());
    ruleColor = st.TextStyles(0).color;

    QTextCursor cur(&doc);
    cur.beginEditBlock();
    BuildState state;
    for (qsizetype i = 0; i < items.items.size(); ++i) {
        const richtext::RVItem &item = items.items[i];
        startItem(cur, item, formats, state);
        const int link = isLink(item, st) ? int(linkItems.size()) : -1;
        if (link >= 0) {
            itemLink[size_t(i)] = link;
            linkItems.push_back(int(i));
        }
        itemPos[size_t(i)] = cur.position();
        switch (item.kind) {
        case richtext::RVItem::Kind::Text:
        case richtext::RVItem::Kind::Tab:
            addText(cur, item, formats.character(item.styleNo), link);
            itemLen[size_t(i)] = cur.position() - itemPos[size_t(i)];
            if (itemLen[size_t(i)] > 0)
                addShiftRoom(cur, formats.character(item.styleNo));
            continue;
        case richtext::RVItem::Kind::Picture:
            addPicture(cur, items, int(i), link);
            break;
        case richtext::RVItem::Kind::Break:
            break;
        }
        itemLen[size_t(i)] = cur.position() - itemPos[size_t(i)];
    }
    cur.endEditBlock();

    keepRecentPictures();
    built = true;
    textWidth = width;
}

void RichLayout::resetItems(qsizetype count)
{
    itemPos.assign(size_t(count), 0);
    itemLen.assign(size_t(count), 0);
    itemLink.assign(size_t(count), -1);
    linkItems.clear();
    decorated.clear();
    breakBlocks.clear();
}

void RichLayout::startItem(QTextCursor &cur, const richtext::RVItem &item, const Formats &formats,
                           BuildState &state)
{
    const bool isBreak = item.kind == richtext::RVItem::Kind::Break;
    const bool newBlock = state.block < 0 || isBreak || state.afterBreak ||
                          item.start == richtext::RVItem::Start::NewParagraph;
    state.afterBreak = isBreak;
    if (!newBlock) {
        if (item.start == richtext::RVItem::Start::NewLine)
            cur.insertText(QString(QChar::LineSeparator), formats.character(item.styleNo));
        return;
    }
    const int para = isBreak ? 0 : formats.paragraph(item.paraNo);
    QTextBlockFormat bf = isBreak ? QTextBlockFormat() : formats.blocks[size_t(para)];
    if (item.pageBreakBefore)
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    const QTextCharFormat &bcf = formats.character(isBreak ? 0 : item.styleNo);
    if (state.block < 0) {
        cur.setBlockFormat(bf);
        cur.setBlockCharFormat(bcf);
    } else {
        cur.insertBlock(bf, bcf);
    }
    const int block = ++state.block;
    if (isBreak) {
        breakBlocks.push_back(block);
        state.currentPara = -1;
    } else if (formats.decorated[size_t(para)]) {
        // Consecutive paragraphs of one decorated style share a frame.
        if (state.currentPara == para && !decorated.empty() && decorated.back().lastBlock == block - 1)
            decorated.back().lastBlock = block;
        else
            decorated.push_back({block, block, para});
        state.currentPara = para;
    } else {
        state.currentPara = -1;
    }
}

bool RichLayout::isLink(const richtext::RVItem &item, const TRVStyle &st) const
{
    return (item.kind == richtext::RVItem::Kind::Picture && item.pictureJump) ||
           (item.kind == richtext::RVItem::Kind::Text && st.hasTextStyle(item.styleNo) &&
            st.TextStyles(item.styleNo).jump);
}

void RichLayout::addText(QTextCursor &cur, const richtext::RVItem &item, const QTextCharFormat &format, int link)
{
    const QString text = item.kind == richtext::RVItem::Kind::Tab ? QStringLiteral("\t") : displayText(item.text);
    if (text.isEmpty())
        return;
    if (link < 0) {
        cur.insertText(text, format);
        return;
    }
    QTextCharFormat lf = format;
    lf.setAnchor(true);
    lf.setAnchorHref(QString::number(link));
    cur.insertText(text, lf);
}

void RichLayout::addPicture(QTextCursor &cur, const richtext::RVDocument &items, int index, int link)
{
    const richtext::RVItem &item = items.items[index];
    const QImage img = pictureFor(items, item);
    const QString name = QStringLiteral("rvimg:%1").arg(index);
    doc.addResource(QTextDocument::ImageResource, QUrl(name), img);
    QTextImageFormat imf;
    imf.setName(name);
    qreal w = item.pictureWidth, h = item.pictureHeight;
    // Sizes are in layout pixels: a 2x picture takes the room of its 1x self.
    const QSizeF logical = img.deviceIndependentSize();
    if (w <= 0 && h <= 0) {
        w = logical.width();
        h = logical.height();
    } else if (w <= 0 && h > 0 && logical.height() > 0) {
        w = h * logical.width() / logical.height();
    } else if (h <= 0 && w > 0 && logical.width() > 0) {
        h = w * logical.height() / logical.width();
    }
    if (w > 0 && h > 0) {
        // A figure wider than the column is shown smaller, its shape kept;
        // its size as written is kept to grow back in a wider column.
        const QTextBlockFormat bf = cur.blockFormat();
        pictures.push_back({index, w, h, bf.leftMargin() + bf.rightMargin() + std::max<qreal>(0, bf.textIndent())});
        const QSizeF fitted = fittedSize(pictures.back(), textWidth);
        w = fitted.width();
        h = fitted.height();
    }
    if (w > 0)
        imf.setWidth(w);
    if (h > 0)
        imf.setHeight(h);
    if (link >= 0) {
        imf.setAnchor(true);
        imf.setAnchorHref(QString::number(link));
    }
    cur.insertImage(imf);
}

void RichLayout::addShiftRoom(QTextCursor &cur, const QTextCharFormat &format)
{
    // Raised and lowered text (exponents, indices) is drawn off the
    // baseline, outside its line's own height: the mark after it makes that
    // line tall enough, so the text meets neither the line above or below
    // nor a frame, and the paragraph's other lines keep their pitch.
    const qreal shift = format.baselineOffset();
    if (shift == 0)
        return;
    const QFontMetricsF fm(format.font());
    const qreal by = fm.height() * std::abs(shift) / 100.0;
    QTextCharFormat mark = format;
    mark.setBaselineOffset(0);
    mark.setAnchor(false);
    mark.clearProperty(QTextFormat::AnchorHref);
    mark.setObjectType(ShiftRoomMark::kType);
    if (shift > 0) {
        // On the baseline: its ascent is its height less the font's descent.
        mark.setVerticalAlignment(QTextCharFormat::AlignBaseline);
        mark.setProperty(ShiftRoomMark::kHeight, std::ceil(fm.ascent() + by) + fm.descent());
    } else {
        // Centred on the baseline: as far below it as above.
        mark.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        mark.setProperty(ShiftRoomMark::kHeight, 2 * std::ceil(fm.descent() + by));
    }
    cur.insertText(QString(QChar::ObjectReplacementCharacter), mark);
}

// ---------------------------------------------------------------------------
// Painting

void RichLayout::paint(QPainter *p, const TRVStyle &sheet, const QRectF &clip, const QPalette &palette,
                       const QList<QAbstractTextDocumentLayout::Selection> &marks) const
{
    if (!built)
        return;
    paintDecorations(p, sheet, clip);
    paintBreaks(p, clip);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.palette = palette;
    ctx.palette.setColor(QPalette::Text, ruleColor);
    ctx.selections = marks;
    doc.documentLayout()->draw(p, ctx);
}

void RichLayout::paintDecorations(QPainter *p, const TRVStyle &sheet, const QRectF &clip) const
{
    // Paragraph frames and backgrounds, under the text.
    for (const Group &g : decorated) {
        const QTextBlock first = doc.findBlockByNumber(g.firstBlock);
        const QTextBlock last = doc.findBlockByNumber(g.lastBlock);
        const QTextLayout *fl = first.layout();
        const QTextLayout *ll = last.layout();
        if (!fl || !ll || fl->lineCount() == 0 || ll->lineCount() == 0)
            continue;
        const richtext::RVParaStyle &ps = sheet.ParaStyles(g.para);
        qreal top = fl->position().y() + fl->lineAt(0).y();
        const QTextLine lastLine = ll->lineAt(ll->lineCount() - 1);
        qreal bottom = ll->position().y() + lastLine.y() + lastLine.height();
        const QRectF text(ps.leftIndent, top,
                          std::max<qreal>(0, textWidth - ps.leftIndent - ps.rightIndent), bottom - top);
        if (!text.adjusted(-50, -50, 50, 50).intersects(clip))
            continue;
        if (ps.backColor.isValid())
            p->fillRect(text.marginsAdded(QMarginsF(ps.backOffsets)), ps.backColor);
        if (ps.border == richtext::RVBorderStyle::None)
            continue;
        const QRectF b = text.marginsAdded(QMarginsF(ps.borderOffsets));
        const qreal w = std::max(1, ps.borderWidth);
        const QColor bc = ps.borderColor.isValid() ? ps.borderColor : ruleColor;
        // The line lies outside the framed rectangle.
        if (ps.borderSides & Qt::LeftEdge)
            p->fillRect(QRectF(b.left() - w, b.top() - w, w, b.height() + 2 * w), bc);
        if (ps.borderSides & Qt::RightEdge)
            p->fillRect(QRectF(b.right(), b.top() - w, w, b.height() + 2 * w), bc);
        if (ps.borderSides & Qt::TopEdge)
            p->fillRect(QRectF(b.left() - w, b.top() - w, b.width() + 2 * w, w), bc);
        if (ps.borderSides & Qt::BottomEdge)
            p->fillRect(QRectF(b.left() - w, b.bottom(), b.width() + 2 * w, w), bc);
    }
}

void RichLayout::paintBreaks(QPainter *p, const QRectF &clip) const
{
    // Break lines: 1 pixel across the text width, in the middle of their line.
    for (const int b : breakBlocks) {
        const QTextBlock block = doc.findBlockByNumber(b);
        const QRectF r = doc.documentLayout()->blockBoundingRect(block);
        if (!r.intersects(clip))
            continue;
        const qreal y = std::floor(r.center().y());
        p->fillRect(QRectF(0, y, textWidth, 1), ruleColor);
    }
}

// ---------------------------------------------------------------------------
// Positions

QSizeF RichLayout::fittedSize(const PictureSize &picture, qreal width)
{
    const qreal room = std::max<qreal>(16, width - picture.indents);
    if (width <= 0 || picture.width <= room)
        return QSizeF(picture.width, picture.height);
    return QSizeF(room, std::max<qreal>(1, picture.height * room / picture.width));
}

void RichLayout::fitPictures(qreal width)
{
    QTextCursor cur(&doc);
    cur.beginEditBlock();
    for (const PictureSize &picture : pictures) {
        const int pos = itemPos[size_t(picture.item)];
        cur.setPosition(pos);
        cur.setPosition(pos + 1, QTextCursor::KeepAnchor);
        QTextImageFormat f = cur.charFormat().toImageFormat();
        if (!f.isValid())
            continue;
        const QSizeF size = fittedSize(picture, width);
        if (qFuzzyCompare(f.width(), size.width()) && qFuzzyCompare(f.height(), size.height()))
            continue;
        f.setWidth(size.width());
        f.setHeight(size.height());
        cur.setCharFormat(f);
    }
    cur.endEditBlock();
}

int RichLayout::layOut(qreal width)
{
    if (width != textWidth) {
        textWidth = width;
        fitPictures(width);
        doc.setTextWidth(width);
        ++layouts;
    }
    // Asking for the size lays the whole document out now.
    return int(std::ceil(doc.documentLayout()->documentSize().height()));
}

int RichLayout::itemAtPosition(int pos) const
{
    const auto &ip = itemPos;
    if (ip.empty() || pos < 0)
        return -1;
    auto it = std::upper_bound(ip.begin(), ip.end(), pos);
    if (it == ip.begin())
        return 0;
    return int(it - ip.begin()) - 1;
}

int RichLayout::lineTopOf(int pos) const
{
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


int RichLayout::positionAt(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    return built ? doc.documentLayout()->hitTest(point, accuracy) : -1;
}

int RichLayout::linkAt(const QPointF &point) const
{
    if (!built)
        return -1;
    const QString href = doc.documentLayout()->anchorAt(point);
    if (href.isEmpty())
        return -1;
    bool ok = false;
    const int id = href.toInt(&ok);
    return ok && id >= 0 && id < linkCount() ? id : -1;
}

QRectF RichLayout::linkRect(int id) const
{
    if (!built || id < 0 || id >= linkCount())
        return QRectF();
    const int item = linkItems[size_t(id)];
    const int pos = itemPos[size_t(item)];
    const int len = itemLen[size_t(item)];
    if (len <= 0)
        return QRectF();
    return rangeRect(pos, pos + len);
}

QRectF RichLayout::rangeRect(int start, int end) const
{
    if (!built || start < 0 || start >= doc.characterCount())
        return QRectF();
    const QTextBlock block = doc.findBlock(start);
    const QTextLayout *tl = block.layout();
    if (!tl || tl->lineCount() == 0)
        return QRectF();
    const int rel = start - block.position();
    const QTextLine line = tl->lineForTextPosition(rel);
    if (!line.isValid())
        return QRectF();
    const int lineEnd = line.textStart() + line.textLength();
    const qreal x1 = line.cursorToX(rel);
    const qreal x2 = line.cursorToX(std::clamp(end - block.position(), rel, lineEnd));
    QRectF r(std::min(x1, x2), line.y(), std::abs(x2 - x1), line.height());
    r.translate(tl->position());
    return r;
}

QPointF RichLayout::itemOrigin(int item) const
{
    const int pos = itemPos[size_t(item)];
    const QTextBlock block = doc.findBlock(pos);
    const QTextLayout *tl = block.layout();
    qreal lx = 0;
    if (tl && tl->lineCount() > 0) {
        const QTextLine line = tl->lineForTextPosition(pos - block.position());
        lx = tl->position().x() + (line.isValid() ? line.x() : 0);
    }
    return QPointF(std::floor(lx), lineTopOf(pos));
}

QTextCursor RichLayout::itemCursor(int item) const
{
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(itemPos[size_t(item)]);
    c.setPosition(itemPos[size_t(item)] + itemLen[size_t(item)], QTextCursor::KeepAnchor);
    return c;
}

QTextCursor RichLayout::rangeCursor(int start, int end) const
{
    const int last = doc.characterCount() - 1;
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(std::clamp(start, 0, last));
    c.setPosition(std::clamp(end, 0, last), QTextCursor::KeepAnchor);
    return c;
}

QTextCursor RichLayout::wordAt(int pos) const
{
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(std::clamp(pos, 0, doc.characterCount() - 1));
    c.select(QTextCursor::WordUnderCursor);
    return c;
}

void RichLayout::keepRecentPictures()
{
    // Pages opened again find their pictures decoded; beyond the page shown,
    // what is kept is bounded, the least recently used going first.
    qint64 total = 0;
    std::vector<std::pair<quint64, QString>> older;
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        total += it->image.sizeInBytes();
        if (it->build != builds)
            older.emplace_back(it->build, it.key());
    }
    std::sort(older.begin(), older.end());
    for (const auto &[build, path] : older) {
        if (total <= kKeptPictureBytes)
            break;
        total -= images.value(path).image.sizeInBytes();
        images.remove(path);
    }
}

} // namespace richtext

#include "RichLayout.moc"
