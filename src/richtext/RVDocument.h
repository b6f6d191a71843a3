#pragma once

// The item model of a rich-text document: what the views show and what the
// document files hold. Items are numbered from 0 in document order.

#include <QString>
#include <QVector>
#include <vector>

namespace richtext {

struct RVItem
{
    enum class Kind { Text, Tab, Break, Picture };
    enum class Start { Continue, NewLine, NewParagraph };

    Kind kind = Kind::Text;
    QString text;       // a Tab item holds "\t"; a break line and a picture hold ""
    int styleNo = 0;    // text style
    int paraNo = 0;     // paragraph style of the paragraph the item is in
    int tag = 0;
    Start start = Start::NewParagraph;
    bool pageBreakBefore = false;
    QString picturePath; // as written in the document: relative to richtext::RVDocument::baseDir
    bool pictureJump = false;
    QString pictureAlt; // what the picture shows, for those who cannot see it
    int pictureWidth = 0, pictureHeight = 0; // 0 = the picture's own size
};

struct RVCheckpoint
{
    int tag = 0;
    QString name;
    bool raiseEvent = false;
    int itemIndex = -1; // -1: the end checkpoint (after the last item)
};

class RVDocument
{
public:
    QVector<richtext::RVItem> items;
    // In document order, end checkpoints last. Stable addresses while the
    // document is unchanged.
    std::vector<richtext::RVCheckpoint> checkpoints;
    // Folder that relative picture paths are taken from; empty = current directory.
    QString baseDir;

    void clear();
    bool isEmpty() const { return items.isEmpty(); }

    // Appends one text item. paraNo >= 0 starts a paragraph of that style;
    // paraNo < 0 continues the last paragraph, except in an empty document
    // or after a break line, where it starts a paragraph of style 0. CR and
    // LF are kept as characters; each TAB becomes spacesInTab blanks.
    void addText(const QString &text, int styleNo, int paraNo, int tag, int spacesInTab);
    // A break line on a line of its own.
    void addBreak();
    // Appends a picture; paraNo as for addText.
    void addPicture(const QString &path, bool jump, int width, int height, int paraNo);
    // A checkpoint attached to the next item appended, or the end checkpoint
    // when none follows.
    void addCheckpoint(int tag, const QString &name, bool raiseEvent);

    // Appends the lines of a plain text file (UTF-8 when the bytes are valid
    // UTF-8, otherwise Windows-1251). False, with nothing added, when the
    // file cannot be read.
    bool loadText(const QString &path, int styleNo, int paraNo, bool asSingleParagraph, int spacesInTab,
                  qint64 maxBytes = 64 * 1024 * 1024);
    // Same, from bytes already read.
    void appendTextBytes(const QByteArray &bytes, int styleNo, int paraNo, bool asSingleParagraph, int spacesInTab);

    // The document as UTF-16LE text with a byte-order mark; paragraph and line
    // starts after the first item are CR LF; a break line is lineWidth
    // hyphens (at least one).
    QByteArray toUtf16Text(int lineWidth) const;
    bool saveTextW(const QString &path, int lineWidth) const;

    // Appends an item as given (the first item always starts a paragraph)
    // and attaches the waiting checkpoints to it.
    void appendItem(richtext::RVItem item);
};

} // namespace richtext
