#include "richtext/RVDocument.h"

#include "core/Cp1251.h"
#include "core/RegularFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

void RVDocument::clear()
{
    items.clear();
    checkpoints.clear();
    baseDir.clear();
}

void RVDocument::appendItem(RVItem item)
{
    const int index = int(items.size());
    if (index == 0)
        item.start = RVItem::Start::NewParagraph;
    items.append(std::move(item));
    // Checkpoints waiting for an item attach to this one.
    for (RVCheckpoint &cp : checkpoints) {
        if (cp.itemIndex < 0)
            cp.itemIndex = index;
    }
}

namespace {

// Where an item added with paraNo goes: a new paragraph, or the last one.
void placeItem(const QVector<RVItem> &items, int paraNo, RVItem &item)
{
    if (paraNo >= 0) {
        item.start = RVItem::Start::NewParagraph;
        item.paraNo = paraNo;
    } else if (items.isEmpty() || items.last().kind == RVItem::Kind::Break) {
        item.start = RVItem::Start::NewParagraph;
        item.paraNo = 0;
    } else {
        item.start = RVItem::Start::Continue;
        item.paraNo = items.last().paraNo;
    }
}

QString expandTabs(const QString &text, int spacesInTab)
{
    if (!text.contains(QLatin1Char('\t')))
        return text;
    QString out = text;
    out.replace(QLatin1Char('\t'), QString(std::max(0, spacesInTab), QLatin1Char(' ')));
    return out;
}

} // namespace

void RVDocument::addText(const QString &text, int styleNo, int paraNo, int tag, int spacesInTab)
{
    RVItem item;
    item.kind = RVItem::Kind::Text;
    item.text = expandTabs(text, spacesInTab);
    item.styleNo = styleNo;
    item.tag = tag;
    placeItem(items, paraNo, item);
    appendItem(std::move(item));
}

void RVDocument::addBreak()
{
    RVItem item;
    item.kind = RVItem::Kind::Break;
    item.start = RVItem::Start::NewParagraph;
    item.paraNo = 0;
    appendItem(std::move(item));
}

void RVDocument::addPicture(const QString &path, bool jump, int width, int height, int paraNo)
{
    RVItem item;
    item.kind = RVItem::Kind::Picture;
    item.picturePath = path;
    item.pictureJump = jump;
    item.pictureWidth = std::max(0, width);
    item.pictureHeight = std::max(0, height);
    placeItem(items, paraNo, item);
    appendItem(std::move(item));
}

void RVDocument::addCheckpoint(int tag, const QString &name, bool raiseEvent)
{
    RVCheckpoint cp;
    cp.tag = tag;
    cp.name = name;
    cp.raiseEvent = raiseEvent;
    cp.itemIndex = -1;
    checkpoints.push_back(std::move(cp));
}

bool RVDocument::loadText(const QString &path, int styleNo, int paraNo, bool asSingleParagraph, int spacesInTab,
                          qint64 maxBytes)
{
    // A FIFO or a device would block open() or never end.
    if (!files::isRegular(path))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    if (f.size() > maxBytes)
        return false;
    const QByteArray bytes = f.read(maxBytes + 1);
    if (bytes.size() > maxBytes || f.error() != QFileDevice::NoError)
        return false;
    appendTextBytes(bytes, styleNo, paraNo, asSingleParagraph, spacesInTab);
    return true;
}

namespace {

// The items of one line of plain text: text runs and, with no tab
// expansion, tab items; at least one item, all continuing the line.
QVector<RVItem> linePieces(QStringView line, int styleNo, int paraNo, int spacesInTab)
{
    QVector<RVItem> pieces;
    auto addPiece = [&](RVItem::Kind kind, const QString &t) {
        RVItem it;
        it.kind = kind;
        it.text = t;
        it.styleNo = styleNo;
        it.paraNo = paraNo;
        it.start = RVItem::Start::Continue;
        pieces.append(std::move(it));
    };
    if (spacesInTab > 0 || !line.contains(QLatin1Char('\t'))) {
        addPiece(RVItem::Kind::Text, expandTabs(line.toString(), spacesInTab));
        return pieces;
    }
    qsizetype from = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == QLatin1Char('\t')) {
            if (i > from)
                addPiece(RVItem::Kind::Text, line.mid(from, i - from).toString());
            if (i < line.size())
                addPiece(RVItem::Kind::Tab, QStringLiteral("\t"));
            from = i + 1;
        }
    }
    return pieces;
}

} // namespace

void RVDocument::appendTextBytes(const QByteArray &raw, int styleNo, int paraNo, bool asSingleParagraph,
                                 int spacesInTab)
{
    if (raw.isEmpty())
        return;
    QByteArray bytes = raw;
    bytes.replace('\0', '?');

    QString text;
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8.decode(bytes);
        if (utf8.hasError())
            text = cp1251::toUnicode(bytes);
    }

    const int firstPara = std::max(0, paraNo);
    bool firstLine = true;
    bool pageBreak = false;

    auto addLine = [&](QStringView line) {
        RVItem::Start lineStart = RVItem::Start::NewParagraph;
        if (!firstLine && asSingleParagraph)
            lineStart = RVItem::Start::NewLine;
        firstLine = false;

        QVector<RVItem> pieces = linePieces(line, styleNo, firstPara, spacesInTab);
        pieces.first().start = lineStart;
        pieces.first().pageBreakBefore = pageBreak;
        pageBreak = false;
        for (RVItem &p : pieces)
            appendItem(std::move(p));
    };

    const qsizetype n = text.size();
    qsizetype lineFrom = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(12)) {
            addLine(QStringView(text).mid(lineFrom, i - lineFrom));
            if (c == QChar(12)) {
                pageBreak = true;
                ++i;
            } else if (i + 1 < n && (text[i + 1] == QLatin1Char('\r') || text[i + 1] == QLatin1Char('\n'))
                       && text[i + 1] != c) {
                i += 2; // CR LF or LF CR: one line end
            } else {
                ++i;
            }
            lineFrom = i;
        } else {
            ++i;
        }
    }
    // The text after the last line end, empty when the file ends with one.
    addLine(QStringView(text).mid(lineFrom));
}

QByteArray RVDocument::toUtf16Text(int lineWidth) const
{
    QString text;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const RVItem &item = items[i];
        if (i > 0 && item.start != RVItem::Start::Continue)
            text += QStringLiteral("\r\n");
        switch (item.kind) {
        case RVItem::Kind::Text:
            text += item.text;
            break;
        case RVItem::Kind::Tab:
            text += QLatin1Char('\t');
            break;
        case RVItem::Kind::Break:
            text += QString(std::max(1, lineWidth), QLatin1Char('-'));
            break;
        case RVItem::Kind::Picture:
            break;
        }
    }
    QByteArray out;
    out.reserve(2 + text.size() * 2);
    out.append('\xFF');
    out.append('\xFE');
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        out.append(char(u & 0xFF));
        out.append(char(u >> 8));
    }
    return out;
}

bool RVDocument::saveTextW(const QString &path, int lineWidth) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = toUtf16Text(lineWidth);
    if (f.write(data) != data.size())
        return false;
    return f.commit();
}
