#pragma once

#include "richtext/RVDocument.h"

#include <QString>
#include <QStringView>
#include <QVector>
#include <memory>
#include <vector>

namespace reader {

// A word index over the course's pages, built once per run. Matching is
// Russian-aware: case and ё/е are ignored, and a query word finds the forms
// of the same word (those with the same Snowball stem), so "память" finds
// "памяти" and "памятью" but "поле" does not find "получают". A query word
// that has no forms in the text (one still being typed) finds the words it
// begins. Every word of a query must occur in one paragraph.
class SearchIndex
{
public:
    // One occurrence to show: where it is and what to tell the learner.
    struct Hit
    {
        int page = 0;
        QString pageTitle;
        QString section; // the section heading above the paragraph; may be empty
        QString snippet; // the paragraph's text around the first match
        int item = 0;    // the item the first match starts in
        int offset = 0;  // its start within that item's text
        int length = 0;
        // Every match in the paragraph, as (item, offset, length), for highlighting.
        struct Span
        {
            int item, offset, length;
        };
        QVector<Span> spans;
        // The matches inside snippet, as (offset, length) in the snippet.
        struct Mark
        {
            int offset, length;
        };
        QVector<Mark> snippetMarks;
    };

    // Adds one page's document; pages are listed in the order they are added.
    void addDocument(int page, const QString &title, const richtext::RVDocument &doc);
    // Loads a page from a document file; false when it cannot be read.
    bool addFile(int page, const QString &title, const QString &path);

    // Hits in page order, then paragraph order; at most limit.
    QVector<Hit> find(const QString &query, int limit = 200) const;

    bool isEmpty() const { return m_paragraphs.empty(); }
    int paragraphCount() const { return int(m_paragraphs.size()); }
    int wordCount() const { return int(m_words.size()); }

    // Lower case with ё as е: the form words are compared in.
    static QString fold(const QString &text);
    // The query words (folded).
    static QStringList queryWords(const QString &query);
    // The Snowball stem of a folded word, and the keys it is matched by.
    static QString stem(const QString &foldedWord);
    static QStringList keysOf(const QString &foldedWord);

private:
    struct Paragraph
    {
        int page;
        int pageIndex;     // into m_pages and m_texts
        int start, length; // the paragraph's items joined, in its page's text
        int section;       // into m_sections, or -1: no heading above it
        int firstItem, endItem; // into m_itemStart and m_itemIndex
    };
    // What a query word's matches are returned as.
    struct Posting
    {
        int paragraph;
        int offset, length; // in the paragraph's text
    };
    // One occurrence as stored: its length is its word's.
    struct Occurrence
    {
        int paragraph;
        int offset;
    };
    struct Word
    {
        int text, length; // the folded text, in m_chars
        quint32 hash;
        quint64 lead;     // its first four code units
        // Its occurrences, in chunks of m_pool (see addOccurrence).
        int head, tail;   // the first and the last chunk
        int used, capacity; // of the last chunk
    };

    QStringView textOf(const Paragraph &p) const
    {
        return QStringView(m_texts[size_t(p.pageIndex)]).mid(p.start, p.length);
    }
    QStringView wordText(int word) const
    {
        const Word &w = m_words[size_t(word)];
        return QStringView(m_chars.data() + w.text, w.length);
    }
    // The number of the word text is (folded as it is compared), a new one
    // for a word not met before.
    int wordNumber(const QChar *text, int length, quint32 hash);
    void growWordTable();
    Occurrence &poolSlot(int at) { return m_pool[size_t(at) >> kBlockBits][at & (kBlock - 1)]; }
    const Occurrence &poolSlot(int at) const { return m_pool[size_t(at) >> kBlockBits][at & (kBlock - 1)]; }
    void addOccurrence(Word &word, Occurrence occurrence);
    int lookUp(QStringView text) const;
    const QStringList &keysOfWord(int word) const;
    // The matches of one query word: (paragraph, offset, length), sorted.
    std::vector<Posting> matches(const QString &word) const;
    Hit::Span spanOf(const Paragraph &p, int offset, int length) const;
    // Appends the words that begin with prefix.
    void addWordsBeginning(QStringView prefix, std::vector<int> &out) const;

    QStringList m_pages;
    std::vector<QString> m_texts; // per page, its paragraphs one after another
    std::vector<QString> m_sections;
    std::vector<Paragraph> m_paragraphs;
    // Where each item of a paragraph starts in its text, and which item it is.
    std::vector<int> m_itemStart, m_itemIndex;
    // Words by number, in the order they were first met; a word keeps its
    // number for the life of the index.
    std::vector<Word> m_words;
    std::vector<char16_t> m_chars;
    std::vector<quint32> m_slots; // open addressing: word number + 1, or 0
    // Occurrences in blocks that never move; a chunk's first slot holds the
    // next chunk and its capacity.
    static constexpr int kBlockBits = 16;
    static constexpr int kBlock = 1 << kBlockBits;
    std::vector<std::unique_ptr<Occurrence[]>> m_pool;
    int m_poolUsed = 0; // slots used in the last block
    // The keys of each word, stemmed when a search first needs them: most
    // words are never looked at.
    mutable std::vector<int> m_keysAt; // into m_keys, or -1
    mutable std::vector<QStringList> m_keys;
    // (the first four letters, word number), sorted when a search first
    // needs the words a key begins.
    mutable std::vector<std::pair<quint64, int>> m_byLead;
};

} // namespace reader
