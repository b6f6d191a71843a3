#include "reader/SearchIndex.h"

#include "reader/RussianStemmer.h"
#include "richtext/RvfFile.h"

#include <algorithm>

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

Q_NEVER_INLINE char16_t foldedWordCharSlow(QChar c)
{
    const QChar f = foldChar(c);
    return isWordChar(f) ? f.unicode() : 0;
}

// A character as it is compared (folded), or 0 where it is not part of a
// word; inline for the letters most text is made of.
inline char16_t foldedWordChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x0430 && u <= 0x044F)
        return u;
    if (u >= 0x0410 && u <= 0x042F)
        return char16_t(u + 32);
    if (u < 0x80) {
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
            return u;
        return u >= u'A' && u <= u'Z' ? char16_t(u + 32) : 0;
    }
    return foldedWordCharSlow(c);
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

// Told without the Unicode tables for the letters snippets are made of.
bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x0400 && u <= 0x04FF) // Cyrillic: no spaces there
        return false;
    return c.isSpace();
}

// A paragraph's text around a match, on one line, cut at word boundaries,
// with the matches that fall inside it marked (positions in the snippet).
QString snippetOf(QStringView text, int offset, int length, const std::vector<std::pair<int, int>> &matches,
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
    s.reserve(to - from + 2);
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

// FNV-1a over the code units, worked out as a word is read.
constexpr quint64 kHashSeed = 0xcbf29ce484222325ULL;
constexpr quint64 kHashPrime = 0x100000001b3ULL;
inline quint32 finalHash(quint64 h)
{
    return quint32(h ^ (h >> 32));
}

quint32 hashOf(const char16_t *text, int length)
{
    quint64 h = kHashSeed;
    for (int i = 0; i < length; ++i)
        h = (h ^ text[i]) * kHashPrime;
    return finalHash(h);
}

// The first four code units: words that begin alike sort together.
quint64 leadOf(const char16_t *text, int length)
{
    quint64 lead = 0;
    for (int i = 0; i < 4; ++i)
        lead = (lead << 16) | (i < length ? text[i] : 0);
    return lead;
}

// A word's occurrences are kept in chunks of the index's blocks, doubling
// up to kMaxChunk: no copying as they grow, and one allocation per block
// instead of one per word.
constexpr int kFirstChunk = 1;
constexpr int kMaxChunk = 4096;

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

void SearchIndex::growWordTable()
{
    // Half full at most, so probes stay short.
    m_slots.assign(std::max<size_t>(1024, m_slots.size() * 2), 0);
    const size_t mask = m_slots.size() - 1;
    for (size_t w = 0; w < m_words.size(); ++w) {
        size_t i = m_words[w].hash & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = quint32(w + 1);
    }
}

int SearchIndex::wordNumber(const QChar *text, int length, quint32 hash)
{
    if (m_words.size() * 2 >= m_slots.size())
        growWordTable();
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const quint32 slot = m_slots[i];
        if (slot == 0) {
            const int number = int(m_words.size());
            m_words.push_back({int(m_chars.size()), length, hash, 0, -1, -1, 0, 0});
            for (int k = 0; k < length; ++k)
                m_chars.push_back(foldedWordChar(text[k]));
            m_words.back().lead = leadOf(m_chars.data() + m_words.back().text, length);
            m_slots[i] = quint32(number + 1);
            return number;
        }
        const Word &w = m_words[slot - 1];
        if (w.hash == hash && w.length == length) {
            const char16_t *own = m_chars.data() + w.text;
            int k = 0;
            while (k < length && own[k] == foldedWordChar(text[k]))
                ++k;
            if (k == length)
                return int(slot - 1);
        }
    }
}

int SearchIndex::lookUp(QStringView text) const
{
    if (m_slots.empty())
        return -1;
    const quint32 hash = hashOf(text.utf16(), int(text.size()));
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const quint32 slot = m_slots[i];
        if (slot == 0)
            return -1;
        const Word &w = m_words[slot - 1];
        if (w.hash == hash && wordText(int(slot - 1)) == text)
            return int(slot - 1);
    }
}

void SearchIndex::addOccurrence(Word &word, Occurrence occurrence)
{
    if (word.used == word.capacity) {
        const int capacity = word.capacity == 0 ? kFirstChunk : std::min(word.capacity * 2, kMaxChunk);
        if (m_pool.empty() || m_poolUsed + capacity + 1 > kBlock) {
            m_pool.push_back(std::make_unique_for_overwrite<Occurrence[]>(size_t(kBlock)));
            m_poolUsed = 0;
        }
        const int chunk = int((m_pool.size() - 1) << kBlockBits) + m_poolUsed;
        m_poolUsed += capacity + 1;
        poolSlot(chunk) = {-1, capacity}; // the next chunk, and room in this one
        if (word.tail >= 0)
            poolSlot(word.tail).paragraph = chunk;
        else
            word.head = chunk;
        word.tail = chunk;
        word.used = 0;
        word.capacity = capacity;
    }
    poolSlot(word.tail + 1 + word.used++) = occurrence;
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
    const int firstSection = int(m_sections.size());
    for (auto &s : sections)
        m_sections.push_back(std::move(s.second));
    size_t nextSection = 0; // paragraphs start at rising items

    // The page's paragraphs, one after another in one text.
    qsizetype length = 0;
    for (const richtext::RVItem &item : doc.items)
        length += item.text.size() + 1;
    m_texts.emplace_back();
    QString &text = m_texts.back();
    text.reserve(length);

    // Words are looked up in batches, their table entries fetched from
    // memory ahead of use: the document read in between has pushed the
    // table out of the caches, and one word after another each waited.
    struct Pending
    {
        int paragraph, offset, at, length;
        quint32 hash;
    };
    constexpr int kBatch = 64;
    Pending batch[kBatch];
    int batched = 0;
    auto flush = [&] {
        const size_t mask = m_slots.empty() ? 0 : m_slots.size() - 1;
        if (!m_slots.empty()) {
            for (int k = 0; k < batched; ++k)
                __builtin_prefetch(&m_slots[batch[k].hash & mask]);
            for (int k = 0; k < batched; ++k)
                if (const quint32 slot = m_slots[batch[k].hash & mask])
                    __builtin_prefetch(&m_words[slot - 1]);
            for (int k = 0; k < batched; ++k) {
                if (const quint32 slot = m_slots[batch[k].hash & mask]) {
                    const Word &w = m_words[slot - 1];
                    __builtin_prefetch(m_chars.data() + w.text);
                    if (w.tail >= 0 && w.used < w.capacity)
                        __builtin_prefetch(&poolSlot(w.tail + 1 + w.used), 1);
                }
            }
        }
        const QChar *chars = text.constData();
        for (int k = 0; k < batched; ++k) {
            const Pending &o = batch[k];
            const int w = wordNumber(chars + o.at, o.length, o.hash);
            addOccurrence(m_words[size_t(w)], {o.paragraph, o.offset});
        }
        batched = 0;
    };
    auto close = [&](Paragraph &p) {
        p.length = int(text.size()) - p.start;
        p.endItem = int(m_itemStart.size());
        const QStringView view = QStringView(text).mid(p.start, p.length);
        if (view.trimmed().isEmpty()) {
            text.truncate(p.start);
            m_itemStart.resize(size_t(p.firstItem));
            m_itemIndex.resize(size_t(p.firstItem));
            return;
        }
        const int paragraph = int(m_paragraphs.size());
        const QChar *chars = view.data();
        const int n = int(view.size());
        int i = 0;
        while (i < n) {
            char16_t c = 0;
            while (i < n && (c = foldedWordChar(chars[i])) == 0)
                ++i;
            const int start = i;
            quint64 h = kHashSeed;
            while (c != 0) {
                h = (h ^ c) * kHashPrime;
                c = ++i < n ? foldedWordChar(chars[i]) : 0;
            }
            if (i > start) {
                batch[batched++] = {paragraph, start, p.start + start, i - start, finalHash(h)};
                if (batched == kBatch)
                    flush();
            }
        }
        m_paragraphs.push_back(p);
    };

    Paragraph current{};
    bool open = false;
    for (int i = 0; i < doc.items.size(); ++i) {
        const richtext::RVItem &item = doc.items[i];
        const bool starts = item.start == richtext::RVItem::Start::NewParagraph ||
                            item.kind == richtext::RVItem::Kind::Break;
        if (starts && open) {
            close(current);
            open = false;
        }
        if (item.kind != richtext::RVItem::Kind::Text && item.kind != richtext::RVItem::Kind::Tab)
            continue;
        if (!open) {
            // The heading above: the last one standing at or before this item.
            while (nextSection < sections.size() && sections[nextSection].first <= i)
                ++nextSection;
            const int section = nextSection > 0 ? firstSection + int(nextSection) - 1 : -1;
            current = Paragraph{page, pageIndex, int(text.size()), 0, section, int(m_itemStart.size()), 0};
            open = true;
        } else if (item.start == richtext::RVItem::Start::NewLine) {
            text += QLatin1Char('\n');
        }
        m_itemStart.push_back(int(text.size()) - current.start);
        m_itemIndex.push_back(i);
        text += item.text;
    }
    if (open)
        close(current);
    flush();
}

const QStringList &SearchIndex::keysOfWord(int word) const
{
    if (m_keysAt.size() < m_words.size())
        m_keysAt.resize(m_words.size(), -1);
    int &at = m_keysAt[size_t(word)];
    if (at < 0) {
        at = int(m_keys.size());
        m_keys.push_back(keysOf(wordText(word).toString()));
    }
    return m_keys[size_t(at)];
}

void SearchIndex::addWordsBeginning(QStringView prefix, std::vector<int> &out) const
{
    if (m_byLead.size() != m_words.size()) {
        // By their first four letters only, side by side: no word's text is
        // read to sort them.
        m_byLead.resize(m_words.size());
        for (size_t i = 0; i < m_byLead.size(); ++i)
            m_byLead[i] = {m_words[i].lead, int(i)};
        std::sort(m_byLead.begin(), m_byLead.end());
    }
    // Words that begin with a prefix of up to four letters have leads in one
    // range; past four letters, the rest is compared.
    const int shown = int(std::min<qsizetype>(prefix.size(), 4));
    const quint64 low = leadOf(prefix.utf16(), shown);
    const quint64 high = low | (shown < 4 ? (quint64(1) << (16 * (4 - shown))) - 1 : 0);
    auto it = std::lower_bound(m_byLead.begin(), m_byLead.end(), std::pair<quint64, int>(low, -1));
    for (; it != m_byLead.end() && it->first <= high; ++it)
        if (prefix.size() <= 4 || wordText(it->second).startsWith(prefix))
            out.push_back(it->second);
}

std::vector<SearchIndex::Posting> SearchIndex::matches(const QString &word) const
{
    // The forms of the query word: every word that shares a key with it.
    // The stemmer only cuts endings, so a word begins with each of its keys
    // but one: the key of a fleeting е or о ("узел" -> "узл"), which is the
    // word without that vowel. So the words to ask are those a key begins
    // and those with е or о put back before a key's last letter.
    const QStringList keys = keysOf(word);
    std::vector<int> candidates;
    for (const QString &key : keys) {
        addWordsBeginning(key, candidates);
        if (key.size() >= 3) {
            for (const QChar vowel : {QChar(0x0435), QChar(0x043E)}) {
                QString form = key;
                form.insert(key.size() - 1, vowel);
                const int w = lookUp(form);
                if (w >= 0)
                    candidates.push_back(w);
            }
        }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    std::vector<int> found;
    for (const int w : candidates) {
        const QStringList &own = keysOfWord(w);
        if (std::any_of(keys.begin(), keys.end(), [&](const QString &k) { return own.contains(k); }))
            found.push_back(w);
    }
    // A word still being typed ("операт") has no forms of its own in the
    // text: it finds the words it begins.
    if (found.empty())
        addWordsBeginning(word, found);
    std::sort(found.begin(), found.end());
    size_t total = 0;
    for (const int i : found) {
        const Word &w = m_words[size_t(i)];
        for (int chunk = w.head; chunk >= 0; chunk = poolSlot(chunk).paragraph)
            total += size_t(chunk == w.tail ? w.used : poolSlot(chunk).offset);
    }
    std::vector<Posting> out;
    out.reserve(total);
    for (const int i : found) {
        const Word &w = m_words[size_t(i)];
        for (int chunk = w.head; chunk >= 0;) {
            const Occurrence *c = &poolSlot(chunk);
            const int n = chunk == w.tail ? w.used : c->offset;
            for (int k = 1; k <= n; ++k)
                out.push_back({c[k].paragraph, c[k].offset, w.length});
            chunk = c->paragraph;
        }
    }
    std::sort(out.begin(), out.end(), [](const Posting &a, const Posting &b) {
        return a.paragraph != b.paragraph ? a.paragraph < b.paragraph : a.offset < b.offset;
    });
    return out;
}

SearchIndex::Hit::Span SearchIndex::spanOf(const Paragraph &p, int offset, int length) const
{
    const int *begin = m_itemStart.data() + p.firstItem, *end = m_itemStart.data() + p.endItem;
    const auto it = std::upper_bound(begin, end, offset);
    const int k = int(std::max<std::ptrdiff_t>(0, (it - begin) - 1));
    return {m_itemIndex[size_t(p.firstItem + k)], offset - begin[k], length};
}

QVector<SearchIndex::Hit> SearchIndex::find(const QString &query, int limit) const
{
    QVector<Hit> hits;
    const QStringList words = queryWords(query);
    if (words.isEmpty() || limit <= 0)
        return hits;

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
        if (p.section >= 0)
            hit.section = m_sections[size_t(p.section)];
        std::vector<std::pair<int, int>> all;
        for (const Posting &s : spans)
            all.emplace_back(s.offset, s.length);
        hit.snippet =
            snippetOf(textOf(p), spans.front().offset, spans.front().length, all, hit.snippetMarks);
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
