#include "reader/RussianStemmer.h"

#include <libstemmer.h>

#include <algorithm>

namespace reader {

namespace {

bool isCyrillic(const QString &word)
{
    return std::any_of(word.begin(), word.end(),
                       [](QChar c) { return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF; });
}

bool isRussianVowel(QChar c)
{
    return QStringLiteral("аеиоуыэюяё").contains(c);
}

bool isRussianConsonant(QChar c)
{
    return c.unicode() >= 0x0430 && c.unicode() <= 0x044F && !isRussianVowel(c) && c != QChar(0x044C) &&
           c != QChar(0x044A) && c != QChar(0x0439); // not ь, ъ, й
}

} // namespace

RussianStemmer::RussianStemmer() : m_stemmer(sb_stemmer_new("russian", "UTF_8")) {}

RussianStemmer::~RussianStemmer()
{
    if (m_stemmer)
        sb_stemmer_delete(m_stemmer);
}

QString RussianStemmer::stem(const QString &word) const
{
    if (!m_stemmer || word.isEmpty() || !isCyrillic(word))
        return word;
    const QByteArray utf8 = word.toUtf8();
    const sb_symbol *out = sb_stemmer_stem(m_stemmer, reinterpret_cast<const sb_symbol *>(utf8.constData()),
                                           int(utf8.size()));
    if (!out) // out of memory in the library: the word as it is still matches itself
        return word;
    return QString::fromUtf8(reinterpret_cast<const char *>(out), sb_stemmer_length(m_stemmer));
}

QStringList RussianStemmer::keys(const QString &word) const
{
    const QString s = stem(word);
    QStringList out{s};
    if (!word.startsWith(s)) // the algorithm only cuts endings; anything else is left as it is
        return out;
    if (s == word) {
        // A fleeting е or о before the last consonant of a bare stem:
        // "узел", "узлы"; "ветер", "ветра". The shortened stem keeps three
        // letters, so short words ("пол", "лес") are left alone.
        const qsizetype n = s.size();
        if (n >= 4 && isRussianConsonant(s[n - 1]) && (s[n - 2] == QChar(0x0435) || s[n - 2] == QChar(0x043E)) &&
            isRussianConsonant(s[n - 3]))
            out.append(s.left(n - 2) + s[n - 1]);
        return out;
    }
    // The algorithm sometimes cuts one letter more from one form than from
    // another ("память" -> "памя", "памяти" -> "памят"; "объём" -> "объ",
    // "объёма" -> "объем"): the stem with the word's next letter, and the
    // word itself, are keys too, so such forms still meet while "поле"
    // ("пол") stays apart from "полный" ("полн") and "получают".
    out.append(s + word[s.size()]);
    if (word.size() > s.size() + 1)
        out.append(word);
    return out;
}

} // namespace reader
