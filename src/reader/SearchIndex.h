#pragma once

#include "richtext/RVDocument.h"

#include <QHash>
#include <QString>
#include <QVector>
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
        int pageIndex; // into m_pages
        QString text;  // the paragraph's items joined
        QString section;
        // Where each item starts in text, and which item it is.
        std::vector<int> itemStart;
        std::vector<int> itemIndex;
    };
    struct Posting
    {
        int paragraph;
        int offset, length; // in the paragraph's text
    };
    struct Word
    {
        QString text; // folded
        std::vector<Posting> postings;
    };

    // The matches of one query word: (paragraph, offset, length), sorted.
    std::vector<Posting> matches(const QString &word) const;
    Hit::Span spanOf(const Paragraph &p, int offset, int length) const;
    void finish() const;
    const std::vector<int> &wordsInOrder() const;

    QStringList m_pages;
    std::vector<Paragraph> m_paragraphs;
    // Words by number, in the order they were first met; a word keeps its
    // number for the life of the index.
    std::vector<Word> m_words;
    QHash<QString, int> m_wordAt;
    // Key -> the numbers of the words that have it.
    mutable QHash<QString, std::vector<int>> m_keyWords;
    mutable size_t m_stemmed = 0; // words whose keys are in m_keyWords
    // Word numbers in the order of their texts, for prefix lookup; sorted
    // when a query word first needs it (most queries are whole words).
    mutable std::vector<int> m_order;
};

} // namespace reader
