#pragma once

// The layout of a rich-text document, apart from any widget: the items of an
// RVDocument laid out in a QTextDocument with the sheet's fonts and
// paragraph formats, the map from items to text positions, the link
// numbering, hit testing and painting in document coordinates (origin at the
// text's top left, margins and scrolling left to the view). The view asks;
// what the layout keeps stays its own.

#include "richtext/RVDocument.h"
#include "richtext/RVStyle.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QRectF>
#include <QTextDocument>
#include <map>
#include <memory>
#include <vector>

class QPainter;
class QPalette;
class QTextCharFormat;
class QTextCursor;

namespace richtext {

class ShiftRoomMark;

class RichLayout
{
public:
    // The object type of the zero-width marks laid after raised and lowered
    // text to make room for it: layout only, nothing a reader reads.
    static constexpr int kShiftMarkObject = QTextFormat::UserObject + 1;

    RichLayout();
    ~RichLayout();
    RichLayout(const RichLayout &) = delete;
    RichLayout &operator=(const RichLayout &) = delete;

    // The screen's scale: above 1, pictures with a twice-as-large sibling
    // ("name@2x.png") are drawn from it. Takes effect at the next build.
    void setDevicePixelRatio(qreal ratio)
    {
        if (ratio != devicePixelRatio)
            images.clear();
        devicePixelRatio = ratio;
    }

    // What the pictures of one page may take once decoded, all references
    // together; a picture past it shows as missing.
    static constexpr qint64 kMaxPageBytes = qint64(256) * 1024 * 1024;

    // Lays the items out anew at the text width, with the sheet's styles.
    void build(const richtext::RVDocument &items, const TRVStyle &sheet, qreal width);
    // Lays the document out at another width; the height it then has.
    int layOut(qreal width);

    bool isBuilt() const { return built; }
    // Decoded pictures kept beyond the page shown, for pages opened again;
    // the page's own pictures are always kept.
    static constexpr qint64 kKeptPictureBytes = qint64(64) * 1024 * 1024;
    qreal width() const { return textWidth; }
    // Whole-document layouts so far (builds and new widths).
    quint64 layoutCount() const { return layouts; }
    int linkCount() const { return int(linkItems.size()); }
    // The item a text position belongs to; -1 before the first.
    int itemAtPosition(int pos) const;
    // The top of the line that holds a text position.
    int lineTopOf(int pos) const;
    // The text position at a document point (the nearest, unless exact is
    // asked for), or -1.
    int positionAt(const QPointF &point, Qt::HitTestAccuracy accuracy = Qt::FuzzyHit) const;
    // The link number at a document point, or -1.
    int linkAt(const QPointF &point) const;
    // The first fragment of link number id; empty when there is none.
    QRectF linkRect(int id) const;
    // The part of the text from start to end that lies on start's line; a
    // null rectangle when start is outside the laid-out text.
    QRectF rangeRect(int start, int end) const;
    // Where an item starts: its x and the top of its line.
    QPointF itemOrigin(int item) const;
    // The text of one item, as a cursor over it.
    QTextCursor itemCursor(int item) const;

    // Items and links, by number. An item number must be below itemCount(),
    // a link number below linkCount().
    int itemCount() const { return int(itemPos.size()); }
    // The text position an item starts at, and how many positions it takes.
    int itemPosition(int item) const { return itemPos[size_t(item)]; }
    int itemLength(int item) const { return itemLen[size_t(item)]; }
    // The link an item is, or -1.
    int itemLinkId(int item) const { return itemLink[size_t(item)]; }
    // The item link number id is.
    int linkItem(int id) const { return linkItems[size_t(id)]; }
    // Text positions run from 0 to characterCount() - 1, the document's end.
    int characterCount() const { return doc.characterCount(); }
    // A cursor from start to end, both brought inside the text.
    QTextCursor rangeCursor(int start, int end) const;
    // The word at a text position, as a cursor over it.
    QTextCursor wordAt(int pos) const;
    // The widest line, for the horizontal scroll range.
    qreal contentWidth() const { return doc.size().width(); }
    // The laid-out text itself (its blocks and picture resources), read only.
    const QTextDocument &document() const { return doc; }

    // Paints the part of the document in clip (document coordinates, the
    // painter already translated so): paragraph frames and backgrounds, then
    // break lines, then the text with the marks (hover, search hits, the
    // selection) over it. The sheet is the one the layout was built with.
    void paint(QPainter *painter, const TRVStyle &sheet, const QRectF &clip, const QPalette &palette,
               const QList<QAbstractTextDocumentLayout::Selection> &marks) const;

private:
    // A run of consecutive blocks of one framed or shaded paragraph style.
    struct Group
    {
        int firstBlock, lastBlock, para;
    };
    // The sheet's styles as text formats, made once per build.
    struct Formats;
    // Where the build is in the document.
    struct BuildState
    {
        int block = -1;       // the block being filled
        int currentPara = -1; // its decorated paragraph style, or -1
        bool afterBreak = false;
    };

    void resetItems(qsizetype count);
    void startItem(QTextCursor &cursor, const richtext::RVItem &item, const Formats &formats, BuildState &state);
    bool isLink(const richtext::RVItem &item, const TRVStyle &sheet) const;
    void addText(QTextCursor &cursor, const richtext::RVItem &item, const QTextCharFormat &format, int link);
    void addPicture(QTextCursor &cursor, const richtext::RVDocument &items, int index, int link);
    void addShiftRoom(QTextCursor &cursor, const QTextCharFormat &format);
    // A picture's size as the document gives it, and the paragraph's
    // indents beside it: what it is fitted into the column from.
    struct PictureSize
    {
        int item;
        qreal width, height, indents;
    };
    static QSizeF fittedSize(const PictureSize &picture, qreal width);
    void fitPictures(qreal width);
    std::vector<PictureSize> pictures;
    void paintDecorations(QPainter *painter, const TRVStyle &sheet, const QRectF &clip) const;
    void paintBreaks(QPainter *painter, const QRectF &clip) const;

    QTextDocument doc;
    std::vector<int> itemPos, itemLen, itemLink;
    std::vector<int> linkItems;   // link id -> item index
    std::vector<Group> decorated; // runs of blocks with a border or background
    std::vector<int> breakBlocks;
    std::unique_ptr<ShiftRoomMark> roomMark;
    QColor ruleColor;

    // The picture of an item: only a regular file inside the course folder
    // (the current directory), within what is left of the page's budget.
    QImage pictureFor(const richtext::RVDocument &items, const richtext::RVItem &item);
    QImage missingPicture(const richtext::RVItem &item, qint64 left);

    // A decoded picture and the file it came from, to see whether it changed.
    struct Picture
    {
        QImage image;
        QString source;
        qint64 size = 0;
        qint64 modified = 0;
        quint64 build = 0; // the last build that used it
    };
    void keepRecentPictures();

    QHash<QString, Picture> images;
    quint64 builds = 0;
    quint64 layouts = 0;
    qreal devicePixelRatio = 1;
    qint64 pageBytes = 0; // decoded picture bytes of the page being built
    bool built = false; // the text document was built at least once
    qreal textWidth = -1;
};

} // namespace richtext
