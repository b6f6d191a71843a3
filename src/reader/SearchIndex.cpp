#include "reader/SearchIndex.h"

#include "reader/RussianStemmer.h"
#include "richtext/RvfFile.h"

#include <algorithm>
#include <string_view>

namespace reader {

namespace {

constexpr int kSnippetBefore = 40;
constexpr int kSnippetAfter = 90;

// Latin and Russian letters, the usual ones, are told without the Unicode
// tables: the index looks at every character of the course.
bool isWordChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
    if ((u >= 0x0410 && u <= 0x044F) || u == 0x0401 || u == 0x0451)
        return true;
    return c.isLetterOrNumber();
}

QChar foldChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= u'A' && u <= u'Z' ? QChar(char16_t(u + 32)) : c;
    if (u >= 0x0410 && u <= 0x042F)
        return QChar(char16_t(u + 32));
    if (u >= 0x0430 && u <= 0x044F)
        return c;
    const QChar lower = c.toLower();
    return lower == QChar(0x0451) ? QChar(0x0435) : lower; // ё -> е
}

// Calls take(offset, length) for every word of text.
template <typename Take> void forEachWord(const QString &text, Take take)
{
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        while (i < n && !isWordChar(text[i]))
            ++i;
        const int start = i;
        while (i < n && isWordChar(text[i]))
            ++i;
        if (i > start)
            take(start, i - start);
    }
}

// The stemmer is not safe to share between threads; each thread that
// searches gets its own.
const RussianStemmer &stemmer()
{
    thread_local const RussianStemmer instance;
    return instance;
}

bool isSpace(QChar c)
{
    return c.isSpace();
}

// A paragraph's text around a match, on one line, cut at word boundaries,
// with the matches that fall inside it marked (positions in the snippet).
QString snippetOf(const QString &text, int offset, int length, const std::vector<std::pair<int, int>> &matches,
                  QVector<SearchIndex::Hit::Mark> &marks)
{
    int from = std::max(0, offset - kSnippetBefore);
    int to = std::min(int(text.size()), offset + length + kSnippetAfter);
    if (from > 0) {
        const int space = text.indexOf(QLatin1Char(' '), from);
        if (space >= 0 && space < offset)
            from = space + 1;
    }
    if (to < text.size()) {
        const int space = text.lastIndexOf(QLatin1Char(' '), to);
        if (space > offset + length)
            to = space;
    }
    // Runs of white space (line breaks too) become one space, and the ends
    // are trimmed; where each character of the text lands is kept.
    QString s;
    std::vector<int> at(size_t(to - from + 1), 0);
    const QString lead = from > 0 ? QString(QChar(0x2026)) : QString();
    s += lead;
    bool pendingSpace = false;
    for (int i = from; i < to; ++i) {
        const QChar c = text[i];
        if (isSpace(c)) {
            pendingSpace = s.size() > lead.size();
            at[size_t(i - from)] = int(s.size());
            continue;
        }
        if (pendingSpace) {
            s += QLatin1Char(' ');
            pendingSpace = false;
        }
        at[size_t(i - from)] = int(s.size());
        s += c;
    }
    at[size_t(to - from)] = int(s.size());
    for (const auto &[mo, ml] : matches) {
        if (mo < from || mo + ml > to)
            continue;
        const int start = at[size_t(mo - from)];
        const int end = at[size_t(mo + ml - 1 - from)] + 1;
        marks.append({start, end - start});
    }
    if (to < text.size())
        s.append(QChar(0x2026));
    return s;
}

// Words are ordered by their UTF-16 code units, as QString's operator<
// orders them, compared inline: sorting thousands of words is costly.
bool wordBefore(const QString &a, const QString &b)
{
    return std::u16string_view(reinterpret_cast<const char16_t *>(a.constData()), size_t(a.size())) <
           std::u16string_view(reinterpret_cast<const char16_t *>(b.constData()), size_t(b.size()));
}

} // namespace

QString SearchIndex::fold(const QString &text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar *to = out.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        to[i] = foldChar(text[i]);
    return out;
}

QString SearchIndex::stem(const QString &word)
{
    return stemmer().stem(word);
}

QStringList SearchIndex::keysOf(const QString &word)
{
    return stemmer().keys(word);
}

QStringList SearchIndex::queryWords(const QString &query)
{
    QStringList words;
    const QString folded = fold(query);
    forEachWord(folded, [&](int offset, int length) {
        const QString w = folded.mid(offset, length);
        if (!words.contains(w))
            words.append(w);
    });
    return words;
}

bool SearchIndex::addFile(int page, const QString &title, const QString &path)
{
    richtext::RVDocument doc;
    if (!loadRvf(path, doc))
        return false;
    addDocument(page, title, doc);
    return true;
}

void SearchIndex::addDocument(int page, const QString &title, const richtext::RVDocument &doc)
{
    const int pageIndex = int(m_pages.size());
    m_pages.append(title);

    // Section headings by the item they stand before.
    std::vector<std::pair<int, QString>> sections;
    for (const richtext::RVCheckpoint &cp : doc.checkpoints)
        if (cp.itemIndex >= 0)
            sections.emplace_back(cp.itemIndex, cp.name);
    std::stable_sort(sections.begin(), sections.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    auto sectionAt = [&](int item) {
        QString name;
        for (const auto &s : sections) {
            if (s.first > item)
                break;
            name = s.second;
        }
        return name;
    };

    // One key, filled in place for each word: most words are already known,
    // and a text per occurrence was most of building the index.
    QString key, folded;
    auto close = [&](Paragraph &p) {
        if (QStringView(p.text).trimmed().isEmpty())
            return;
        const int paragraph = int(m_paragraphs.size());
        // Folded into one buffer for the whole document.
        folded.resize(p.text.size());
        std::transform(p.text.cbegin(), p.text.cend(), folded.begin(), foldChar);
        forEachWord(folded, [&](int offset, int length) {
            key.resize(length);
            std::copy_n(folded.constData() + offset, length, key.data());
            auto it = m_wordAt.constFind(key);
            if (it == m_wordAt.constEnd()) {
                it = m_wordAt.insert(key, int(m_words.size()));
                m_words.push_back({key});
            }
            m_words[size_t(*it)].postings.push_back({paragraph, offset, length});
        });
        m_paragraphs.push_back(std::move(p));
    };

    Paragraph current{page, pageIndex, {}, {}, {}, {}};
    bool open = false;
    for (int i = 0; i < doc.items.size(); ++i) {
        const richtext::RVItem &item = doc.items[i];
        const bool starts = item.start == richtext::RVItem::Start::NewParagraph ||
                            item.kind == richtext::RVItem::Kind::Break;
        if (starts && open) {
            close(current);
            current = Paragraph{page, pageIndex, {}, {}, {}, {}};
            open = false;
        }
        if (item.kind != richtext::RVItem::Kind::Text && item.kind != richtext::RVItem::Kind::Tab)
            continue;
        if (!open) {
            current.section = sectionAt(i);
            open = true;
        } else if (item.start == richtext::RVItem::Start::NewLine) {
            current.text += QLatin1Char('\n');
        }
        current.itemStart.push_back(int(current.text.size()));
        current.itemIndex.push_back(i);
        current.text += item.text;
    }
    if (open)
        close(current);
}

void SearchIndex::finish() const
{
    const size_t words = m_words.size();
    if (m_stemmed == words)
        return;
    // Each word is stemmed once, when a search first meets it.
    m_keyWords.reserve(qsizetype(words + words / 4));
    for (size_t i = m_stemmed; i < words; ++i)
        for (const QString &k : keysOf(m_words[i].text))
            m_keyWords[k].push_back(int(i));
    m_stemmed = words;
}

const std::vector<int> &SearchIndex::wordsInOrder() const
{
    if (m_order.size() != m_words.size()) {
        m_order.resize(m_words.size());
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = int(i);
        std::sort(m_order.begin(), m_order.end(), [this](int a, int b) {
            return wordBefore(m_words[size_t(a)].text, m_words[size_t(b)].text);
        });
    }
    return m_order;
}

std::vector<SearchIndex::Posting> SearchIndex::matches(const QString &word) const
{
    // The forms of the query word: every word that shares a stem with it.
    std::vector<int> found;
    for (const QString &key : keysOf(word)) {
        const auto it = m_keyWords.constFind(key);
        if (it != m_keyWords.constEnd())
            found.insert(found.end(), it->begin(), it->end());
    }
    // A word still being typed ("операт") has no forms of its own in the
    // text: it finds the words it begins.
    if (found.empty()) {
        const std::vector<int> &order = wordsInOrder();
        auto it =
            std::lower_bound(order.begin(), order.end(), word, [this](int w, const QString &key) {
                return wordBefore(m_words[size_t(w)].text, key);
            });
        for (; it != order.end() && m_words[size_t(*it)].text.startsWith(word); ++it)
            found.push_back(*it);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::vector<Posting> out;
    for (const int i : found)
        out.insert(out.end(), m_words[size_t(i)].postings.begin(), m_words[size_t(i)].postings.end());
    std::sort(out.begin(), out.end(), [](const Posting &a, const Posting &b) {
        return a.paragraph != b.paragraph ? a.paragraph < b.paragraph : a.offset < b.offset;
    });
    return out;
}

SearchIndex::Hit::Span SearchIndex::spanOf(const Paragraph &p, int offset, int length) const
{
    const auto it = std::upper_bound(p.itemStart.begin(), p.itemStart.end(), offset);
    const size_t k = size_t(std::max<std::ptrdiff_t>(0, (it - p.itemStart.begin()) - 1));
    return {p.itemIndex[k], offset - p.itemStart[k], length};
}

QVector<SearchIndex::Hit> SearchIndex::find(const QString &query, int limit) const
{
    QVector<Hit> hits;
    const QStringList words = queryWords(query);
    if (words.isEmpty() || limit <= 0)
        return hits;
    finish();

    // Each word's matches; a paragraph is a hit when every word has one there.
    std::vector<std::vector<Posting>> perWord;
    for (const QString &w : words) {
        perWord.push_back(matches(w));
        if (perWord.back().empty())
            return hits;
    }
    std::vector<size_t> at(perWord.size(), 0);
    const std::vector<Posting> &first = perWord.front();
    size_t i = 0;
    while (i < first.size() && hits.size() < limit) {
        const int paragraph = first[i].paragraph;
        bool everyWord = true;
        std::vector<Posting> spans;
        for (size_t w = 0; w < perWord.size(); ++w) {
            const std::vector<Posting> &list = perWord[w];
            size_t &k = at[w];
            while (k < list.size() && list[k].paragraph < paragraph)
                ++k;
            if (k == list.size() || list[k].paragraph != paragraph) {
                everyWord = false;
                continue;
            }
            for (size_t j = k; j < list.size() && list[j].paragraph == paragraph; ++j)
                spans.push_back(list[j]);
        }
        while (i < first.size() && first[i].paragraph == paragraph)
            ++i;
        if (!everyWord)
            continue;
        std::sort(spans.begin(), spans.end(),
                  [](const Posting &a, const Posting &b) { return a.offset < b.offset; });
        const Paragraph &p = m_paragraphs[size_t(paragraph)];
        Hit hit;
        hit.page = p.page;
        hit.pageTitle = m_pages[p.pageIndex];
        hit.section = p.section;
        std::vector<std::pair<int, int>> all;
        for (const Posting &s : spans)
            all.emplace_back(s.offset, s.length);
        hit.snippet =
            snippetOf(p.text, spans.front().offset, spans.front().length, all, hit.snippetMarks);
        const Hit::Span where = spanOf(p, spans.front().offset, spans.front().length);
        hit.item = where.item;
        hit.offset = where.offset;
        hit.length = where.length;
        for (const Posting &s : spans)
            hit.spans.append(spanOf(p, s.offset, s.length));
        hits.append(hit);
    }
    return hits;
}

} // namespace reader
