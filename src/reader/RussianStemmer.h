#pragma once

#include <QString>
#include <QStringList>

struct sb_stemmer;

namespace reader {

// The stem of a Russian word by the Snowball Russian algorithm (libstemmer),
// so that the forms of one word meet: "двоичный", "двоичным" and "двоичных"
// all become "двоичн", while "объём" and "объектах" stay apart.
class RussianStemmer
{
public:
    RussianStemmer();
    ~RussianStemmer();
    RussianStemmer(const RussianStemmer &) = delete;
    RussianStemmer &operator=(const RussianStemmer &) = delete;

    // The stem of one lower-case word with ё written as е; a word without
    // Cyrillic letters is returned as it is.
    QString stem(const QString &word) const;

    // The keys a word is found by: its stem, the stem with the word's next
    // letter and the word itself (the algorithm cuts some forms one letter
    // shorter than others), and for a word that drops a vowel in its other
    // forms ("узел" / "узлы", "конец" / "конца") the stem without that
    // vowel. Two words match when they share a key.
    QStringList keys(const QString &word) const;

private:
    sb_stemmer *m_stemmer = nullptr;
};

} // namespace reader
