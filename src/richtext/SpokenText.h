#pragma once

// What a screen reader is given to read of a laid-out document, and the
// document's headings. Raised and lowered runs are told in words (2⁸ as
// «2 в степени 8», log₂ as «log по основанию 2»), a picture as its
// alternative text, and the layout's invisible marks are left out; a map
// leads between these offsets and the layout's text positions both ways.

#include <QString>
#include <vector>

class TRVStyle;

namespace richtext {

class RichLayout;
class RVDocument;

// A paragraph set wholly in the heading text style (level 1) or the
// subheading style (level 2), as layout text positions [start, end).
struct Heading
{
    int start = 0;
    int end = 0;
    int level = 1;
};

// The document's headings in document order.
std::vector<Heading> findHeadings(const RVDocument &doc, const RichLayout &layout);

// Whether the layout's character at pos is a zero-width layout mark.
bool isHiddenMark(const RichLayout &layout, int pos);

// The visual line that holds text position pos, as [start, end): the end
// takes in the line's break (a paragraph's or a line's), if it has one.
void lineAt(const RichLayout &layout, int pos, int *start, int *end);

class SpokenText
{
public:
    SpokenText() = default;
    SpokenText(const RVDocument &doc, const RichLayout &layout, const TRVStyle &sheet);

    const QString &text() const { return m_text; }
    int length() const { return int(m_text.size()); }
    // Where the character at layout position pos is told; a mark's position
    // tells where the next character is, a raised run's first position
    // where its words begin.
    int offsetOf(int pos) const;
    // The layout position an offset tells of; the words added before a
    // raised or lowered run tell of the run's first character.
    int positionOf(int offset) const;
    // The spoken text of layout positions [start, end).
    QString textOf(int start, int end) const;

private:
    void append(const QString &s, int pos);

    QString m_text;
    std::vector<int> m_toPosition; // per offset, and one for the end
    std::vector<int> m_toOffset;   // per layout position, and one for the end
};

} // namespace richtext
