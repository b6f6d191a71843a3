#include "richtext/SpokenText.h"

#include "richtext/RVDocument.h"
#include "richtext/RVStyle.h"
#include "richtext/RichLayout.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

namespace richtext {

namespace {

bool startsParagraph(const RVDocument &doc, qsizetype i)
{
    const RVItem &item = doc.items[i];
    return i == 0 || item.kind == RVItem::Kind::Break || doc.items[i - 1].kind == RVItem::Kind::Break ||
           item.start == RVItem::Start::NewParagraph;
}

int headingLevel(int styleNo)
{
    if (styleNo == rvs::tsHeading)
        return 1;
    if (styleNo == rvs::tsSubheading)
        return 2;
    return 0;
}

// The words a raised or lowered run is told with, before the run itself:
// an exponent is a power, a lowered run after "log" the logarithm's base,
// any other lowered run an index.
QString shiftWords(int shift, const QString &before)
{
    if (shift > 0)
        return QStringLiteral("в степени ");
    if (before.endsWith(QLatin1String("log"), Qt::CaseInsensitive))
        return QStringLiteral("по основанию ");
    return QStringLiteral("с индексом ");
}

bool isMinus(QChar c)
{
    return c == QChar(0x2013) || c == QChar(0x2212) || c == QLatin1Char('-');
}

} // namespace

std::vector<Heading> findHeadings(const RVDocument &doc, const RichLayout &layout)
{
    std::vector<Heading> headings;
    const qsizetype count = std::min<qsizetype>(doc.items.size(), layout.itemCount());
    qsizetype i = 0;
    while (i < count) {
        qsizetype end = i + 1;
        while (end < count && !startsParagraph(doc, end))
            ++end;
        // A paragraph of heading text only: blank items aside, every item
        // is text in a heading style.
        int level = 0;
        bool heading = true;
        int first = -1, last = -1;
        for (qsizetype k = i; k < end && heading; ++k) {
            const RVItem &item = doc.items[k];
            if (item.kind == RVItem::Kind::Picture) {
                heading = false;
            } else if (item.kind == RVItem::Kind::Text && !item.text.trimmed().isEmpty()) {
                const int l = headingLevel(item.styleNo);
                heading = l > 0;
                level = level == 0 ? l : std::min(level, l);
                if (first < 0)
                    first = int(k);
                last = int(k);
            }
        }
        if (heading && first >= 0)
            headings.push_back({layout.itemPosition(first), layout.itemPosition(last) + layout.itemLength(last), level});
        i = end;
    }
    return headings;
}

bool isHiddenMark(const RichLayout &layout, int pos)
{
    const QTextDocument &doc = layout.document();
    if (pos < 0 || pos >= doc.characterCount() - 1 || doc.characterAt(pos) != QChar::ObjectReplacementCharacter)
        return false;
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(pos + 1);
    return c.charFormat().objectType() == RichLayout::kShiftMarkObject;
}

void lineAt(const RichLayout &layout, int pos, int *start, int *end)
{
    const QTextDocument &doc = layout.document();
    const int last = doc.characterCount() - 1;
    pos = std::clamp(pos, 0, std::max(0, last));
    const QTextBlock block = doc.findBlock(pos);
    *start = *end = pos;
    if (!block.isValid())
        return;
    const int blockEnd = block.position() + block.length() - 1; // its paragraph separator
    const QTextLayout *tl = block.layout();
    const QTextLine line = tl && tl->lineCount() > 0 ? tl->lineForTextPosition(pos - block.position()) : QTextLine();
    if (!line.isValid()) {
        *start = block.position();
        *end = std::min(last, blockEnd + 1);
        return;
    }
    *start = block.position() + line.textStart();
    *end = block.position() + line.textStart() + line.textLength();
    // The paragraph's last line takes in its separator, as a new line.
    if (*end >= blockEnd)
        *end = std::min(last, blockEnd + 1);
}

SpokenText::SpokenText(const RVDocument &doc, const RichLayout &layout, const TRVStyle &sheet)
{
    const QTextDocument &text = layout.document();
    const int count = std::max(0, layout.characterCount() - 1);
    m_toOffset.assign(size_t(count) + 1, 0);
    m_text.reserve(count + count / 8);
    m_toPosition.reserve(size_t(count + count / 8) + 1);
    int item = -1;
    int runEnd = -1;           // the end of the raised or lowered run being told
    bool separateNext = false; // a word or digit next must not run on
    for (int pos = 0; pos < count; ++pos) {
        while (item + 1 < layout.itemCount() && layout.itemPosition(item + 1) <= pos)
            ++item;
        const RVItem *it = item >= 0 && item < doc.items.size() ? &doc.items[item] : nullptr;
        const bool inItem = it && pos < layout.itemPosition(item) + layout.itemLength(item);
        QChar ch = text.characterAt(pos);
        m_toOffset[size_t(pos)] = length();
        if (ch == QChar::ObjectReplacementCharacter && it && it->kind == RVItem::Kind::Picture && inItem) {
            const QString alt = it->pictureAlt.simplified();
            if (!m_text.isEmpty() && !m_text.back().isSpace())
                append(QStringLiteral(" "), pos);
            m_toOffset[size_t(pos)] = length();
            append(alt.isEmpty() ? QStringLiteral("рисунок") : alt, pos);
            separateNext = true;
            continue;
        }
        if (ch == QChar::ObjectReplacementCharacter && isHiddenMark(layout, pos))
            continue;
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
            ch = QLatin1Char('\n');
        else if (ch == QChar::Nbsp)
            ch = QLatin1Char(' ');
        const int shift = it && inItem && it->kind == RVItem::Kind::Text && pos == layout.itemPosition(item)
                              ? sheet.TextStyles(it->styleNo).vShiftPercent
                              : 0;
        if (shift != 0) {
            const QString words = shiftWords(shift, m_text);
            if (!m_text.isEmpty() && !m_text.back().isSpace())
                append(QStringLiteral(" "), pos);
            m_toOffset[size_t(pos)] = length();
            append(words, pos);
            runEnd = pos + layout.itemLength(item);
            if (isMinus(ch) && pos + 1 < runEnd) {
                append(QStringLiteral("минус "), pos);
                separateNext = false;
                continue;
            }
        } else if (separateNext && ch.isLetterOrNumber()) {
            append(QStringLiteral(" "), pos);
            m_toOffset[size_t(pos)] = length();
        }
        separateNext = false;
        append(QString(ch), pos);
        if (pos + 1 == runEnd)
            separateNext = true;
    }
    m_toOffset[size_t(count)] = length();
    m_toPosition.push_back(count);
}

void SpokenText::append(const QString &s, int pos)
{
    m_text += s;
    m_toPosition.insert(m_toPosition.end(), size_t(s.size()), pos);
}

int SpokenText::offsetOf(int pos) const
{
    if (m_toOffset.empty())
        return 0;
    return m_toOffset[size_t(std::clamp(pos, 0, int(m_toOffset.size()) - 1))];
}

int SpokenText::positionOf(int offset) const
{
    if (m_toPosition.empty())
        return 0;
    return m_toPosition[size_t(std::clamp(offset, 0, int(m_toPosition.size()) - 1))];
}

QString SpokenText::textOf(int start, int end) const
{
    const int from = offsetOf(start);
    return m_text.mid(from, std::max(0, offsetOf(end) - from));
}

} // namespace richtext
