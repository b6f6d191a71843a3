#include "learners/DocumentCheck_p.h"

#include "core/Cp1251.h"

#include <QStringDecoder>

#include <array>
#include <cctype>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The checks a course data file passes before it is parsed and before it is
// written: its bytes, and the markup the parser would read differently from
// what a save writes.

namespace learners::check {

namespace {

// The encoding named in the XML declaration, lower-cased; empty when none.
// Read by hand: a regular expression here was the only one at start-up, and
// loading its engine cost more memory than the whole course data.
QByteArray declaredEncoding(const QByteArray &data)
{
    if (!data.startsWith("<?xml"))
        return {};
    const qsizetype end = data.indexOf("?>");
    if (end < 0 || end > 1024)
        return {};
    const QByteArrayView decl = QByteArrayView(data).first(end);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (qsizetype at = decl.indexOf("encoding"); at >= 0; at = decl.indexOf("encoding", at + 1)) {
        qsizetype i = at + 8;
        while (i < decl.size() && blank(decl[i]))
            ++i;
        if (i >= decl.size() || decl[i] != '=')
            continue;
        ++i;
        while (i < decl.size() && blank(decl[i]))
            ++i;
        if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\''))
            continue;
        ++i;
        const qsizetype start = i;
        while (i < decl.size() && decl[i] != '\0' &&
               (std::isalnum(uchar(decl[i])) || std::strchr("._:-", decl[i])))
            ++i;
        if (i < decl.size() && (decl[i] == '"' || decl[i] == '\''))
            return decl.sliced(start, i - start).toByteArray().toLower();
    }
    return {};
}

bool toUtf8(const QByteArray &data, QStringConverter::Encoding encoding, QByteArray *out)
{
    if (encoding == QStringConverter::Utf8) {
        // UTF-8 is taken as it stands rather than converted to UTF-16 and
        // back, and checked by the markup scan that follows; like the
        // decoder, drop an initial byte-order mark.
        *out = data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data;
        return true;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder(data);
    if (decoder.hasError())
        return false;
    *out = text.toUtf8();
    return true;
}

} // namespace

// Brings the file's bytes to UTF-8: UTF-8 (with or without a byte-order
// mark), UTF-16 with a byte-order mark (or the XML declaration's own bytes
// showing it), or Windows-1251 when the declaration names it. Returns the
// reason on failure.
QString decodeInput(const QByteArray &raw, QByteArray *utf8)
{
    if (raw.startsWith("\xEF\xBB\xBF")) {
        if (!toUtf8(raw.mid(3), QStringConverter::Utf8, utf8))
            return QStringLiteral("файл содержит байты, недопустимые в UTF-8");
        return {};
    }
    const bool le = raw.startsWith("\xFF\xFE") || raw.startsWith(QByteArray("<\0?\0", 4));
    const bool be = raw.startsWith("\xFE\xFF") || raw.startsWith(QByteArray("\0<\0?", 4));
    if (le || be) {
        if (raw.size() % 2 != 0 ||
            !toUtf8(raw, le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, utf8))
            return QStringLiteral("файл повреждён: неверные данные UTF-16");
        if (utf8->startsWith("\xEF\xBB\xBF"))
            utf8->remove(0, 3);
        return {};
    }
    const QByteArray encoding = declaredEncoding(raw);
    if (encoding.isEmpty() || encoding == "utf-8" || encoding == "utf8" ||
        encoding == "us-ascii" || encoding == "ascii") {
        if (!toUtf8(raw, QStringConverter::Utf8, utf8))
            return QStringLiteral("файл содержит байты, недопустимые в UTF-8");
        return {};
    }
    if (encoding == "windows-1251" || encoding == "cp1251" || encoding == "x-cp1251") {
        QString text;
        if (!cp1251::decodeStrict(raw, &text))
            return QStringLiteral("файл содержит байт, не определённый в кодировке windows-1251");
        *utf8 = text.toUtf8();
        return {};
    }
    return QStringLiteral("неизвестная кодировка «%1»").arg(QString::fromLatin1(encoding));
}

namespace {

// A character the XML Char production allows. The parser takes a numeric
// reference to anything else (a NUL, a surrogate, past U+10FFFF) and either
// drops it or keeps bytes that are not UTF-8, which the next save would write
// and the next start refuse.
bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The reference "&#...;" at i: true when it is well formed and names an XML
// character. The digits are bounded so a long run cannot overflow.
bool validCharReference(const QByteArray &s, qsizetype i)
{
    qsizetype j = i + 2;
    const bool hex = j < s.size() && s.at(j) == 'x';
    if (hex)
        ++j;
    char32_t value = 0;
    int digits = 0;
    for (; j < s.size() && s.at(j) != ';'; ++j) {
        const char c = s.at(j);
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || ++digits > 8)
            return false;
        value = value * (hex ? 16 : 10) + char32_t(d);
    }
    return j < s.size() && digits > 0 && isXmlChar(value);
}

bool startsAt(const QByteArray &s, qsizetype i, const char *what)
{
    return i < s.size() && QByteArrayView(s).sliced(i).startsWith(QByteArrayView(what));
}

// An XML declaration ("<?xml" and a blank or "?>"): the parser skips one
// silently wherever it stands.
bool isDeclaration(const QByteArray &s, qsizetype i)
{
    if (i + 5 >= s.size() || QByteArrayView(s).sliced(i + 2, 3).compare("xml", Qt::CaseInsensitive) != 0)
        return false;
    const char next = s.at(i + 5);
    return next == '?' || next == ' ' || next == '\t' || next == '\r' || next == '\n';
}

// The length of the well-formed UTF-8 sequence at p, whose first byte is
// over 0x7F; 0 when there is none (overlong forms, surrogates and code points
// past U+10FFFF included).
int utf8Sequence(const uchar *p, const uchar *end)
{
    const auto cont = [&](int k, uchar lo = 0x80, uchar hi = 0xBF) {
        return p + k < end && p[k] >= lo && p[k] <= hi;
    };
    const uchar c = p[0];
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const uchar lo = c == 0xE0 ? 0xA0 : 0x80;
        const uchar hi = c == 0xED ? 0x9F : 0xBF;
        return cont(1, lo, hi) && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const uchar lo = c == 0xF0 ? 0x90 : 0x80;
        const uchar hi = c == 0xF4 ? 0x8F : 0xBF;
        return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

bool validUtf8(const uchar *p, const uchar *end)
{
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = utf8Sequence(p, end);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

// The byte classes the scan stops at; everything else is stepped over.
enum : uchar { kPlain, kOpen, kAmpersand, kControl, kHigh };
constexpr std::array<uchar, 256> kByteClass = [] {
    std::array<uchar, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[size_t(c)] = kControl;
    t['\t'] = t['\n'] = t['\r'] = kPlain;
    t['<'] = kOpen;
    t['&'] = kAmpersand;
    for (int c = 0x80; c < 0x100; ++c)
        t[size_t(c)] = kHigh;
    return t;
}();

#if defined(__SSE2__)
// How many bytes from p on the scan may step over at once, taken sixteen at
// a time: ASCII text (tabs and line breaks included) except '&', '<' not
// followed by '?' or '!' (an element's tag, which marks that the document
// has begun: *tag), and whole two-byte UTF-8 letters (Cyrillic). The run
// ends just before anything else, for the byte loop.
qsizetype plainRun(const uchar *p, const uchar *end, bool *tag)
{
    const uchar *const start = p;
    const auto splat = [](int c) { return _mm_set1_epi8(char(c)); };
    const auto bits = [](__m128i m) { return unsigned(_mm_movemask_epi8(m)); };
    const auto eq = [&](__m128i a, int c) { return _mm_cmpeq_epi8(a, splat(c)); };
    while (end - p >= 17) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1));
        const unsigned high = bits(v);
        // Signed, the bytes over 0x7F are below 0x20 too.
        const unsigned blank = bits(_mm_or_si128(_mm_or_si128(eq(v, '\t'), eq(v, '\n')), eq(v, '\r')));
        const unsigned control = bits(_mm_cmplt_epi8(v, splat(0x20))) & ~high & ~blank;
        const unsigned opens = bits(eq(v, '<'));
        const unsigned special = bits(_mm_or_si128(eq(next, '?'), eq(next, '!')));
        // Leads C2..DF (42..5F with the top bit flipped), continuations
        // 80..BF: a letter is a lead and the continuation after it, both
        // within the sixteen bytes.
        const __m128i flipped = _mm_xor_si128(v, splat(0x80));
        const unsigned lead =
            bits(_mm_and_si128(_mm_cmpgt_epi8(flipped, splat(0x41)), _mm_cmplt_epi8(flipped, splat(0x60))));
        const unsigned cont = bits(_mm_cmpeq_epi8(_mm_and_si128(v, splat(0xC0)), splat(0x80)));
        const unsigned letters = (lead & (cont >> 1)) | (cont & (lead << 1));
        const unsigned stop = (high & ~letters) | control | bits(eq(v, '&')) | (opens & special);
        if (stop == 0x8000 && (lead & 0x8000)) {
            // A letter cut in two by the sixteen bytes: the next step
            // begins with it.
            *tag = *tag || (opens & 0x7FFF) != 0;
            p += 15;
            continue;
        }
        if (stop != 0) {
            // Nothing before the first stop is cut off from its letter.
            const int k = __builtin_ctz(stop);
            *tag = *tag || (opens & ((1u << k) - 1)) != 0;
            return p + k - start;
        }
        *tag = *tag || opens != 0;
        p += 16;
    }
    return p - start;
}
#endif

} // namespace

// Checks in one pass that the bytes are UTF-8 and hold no markup the parser
// would take differently from what a save writes. The parser skips a document
// type declaration and leaves unknown entity references as literal text;
// either would change what the learner's data means, so both are refused. So
// is an XML declaration inside the document: skipped, it would join the texts
// on either side into one node once saved, and move every record after it in
// its list. Comments, CDATA and processing instructions may hold any text and
// are stepped over. Bytes that are not UTF-8 outrank any markup found before
// them. Runs over every load and every save of a file of many megabytes,
// which is why it is one loop over byte classes rather than a function per
// construct: the common path (plain text and Cyrillic) stays a tight scan.
Scan scanDocument(const QByteArray &s)
{
    static const char *const predefined[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};
    Scan scan;
    const auto *b = reinterpret_cast<const uchar *>(s.constData());
    const qsizetype n = s.size();
    const auto lineAt = [&](qsizetype i) { return s.left(i).count('\n') + 1; };
    const auto refused = [&](qsizetype i, QString reason) {
        if (!validUtf8(b + i, b + n))
            scan.utf8 = false;
        else
            scan.reason = std::move(reason);
        return scan;
    };
    qsizetype i = 0;
    bool inDocument = false; // an element has started
    while (i < n) {
        // Runs of plain bytes and of two-byte letters (Cyrillic) are most of
        // a file; tags come every few bytes and are stepped over with them.
#if defined(__SSE2__)
        i += plainRun(b + i, b + n, &inDocument);
#endif
        while (i < n && kByteClass[b[i]] == kPlain)
            ++i;
        while (i + 1 < n && b[i] >= 0xC2 && b[i] <= 0xDF && (b[i + 1] & 0xC0) == 0x80)
            i += 2;
        if (i >= n)
            break;
        const uchar k = kByteClass[b[i]];
        if (k == kPlain)
            continue;
        if (k == kHigh) {
            const int len = utf8Sequence(b + i, b + n);
            if (len == 0) {
                scan.utf8 = false;
                return scan;
            }
            i += len;
            continue;
        }
        if (k == kControl) {
            // Outside the XML Char range as well: the parser keeps it, but a
            // save writes it as a reference, which the next start refuses.
            return refused(i, QStringLiteral("недопустимый управляющий символ с кодом %1 (строка %2)")
                                  .arg(int(b[i]))
                                  .arg(lineAt(i)));
        }
        if (k == kAmpersand) {
            const bool numeric = i + 1 < n && b[i + 1] == '#';
            if (numeric) {
                scan.charRefs = true;
                if (!validCharReference(s, i)) {
                    const QByteArray ref = s.mid(i, 16);
                    const qsizetype semi = ref.indexOf(';');
                    return refused(i, QStringLiteral("недопустимая ссылка на символ «%1» (строка %2)")
                                          .arg(QString::fromUtf8(semi > 0 ? ref.left(semi + 1) : ref),
                                               QString::number(lineAt(i))));
                }
            }
            bool known = numeric;
            for (const char *name : predefined)
                known = known || startsAt(s, i + 1, name);
            if (!known) {
                const QByteArray ref = s.mid(i, 16);
                const qsizetype semi = ref.indexOf(';');
                return refused(i, QStringLiteral("неизвестная ссылка на сущность «%1» (строка %2)")
                                      .arg(QString::fromUtf8(semi > 0 ? ref.left(semi + 1) : ref.left(1)),
                                           QString::number(lineAt(i))));
            }
            ++i;
            continue;
        }
        // '<': an element's tag unless "<?" or "<!" follows.
        const uchar next = i + 1 < n ? b[i + 1] : 0;
        const char *close = nullptr;
        qsizetype skip = 0;
        if (next == '?') {
            if (inDocument && isDeclaration(s, i))
                return refused(i, QStringLiteral("объявление XML внутри документа (строка %1)").arg(lineAt(i)));
            close = "?>";
            skip = 2;
        } else if (next == '!') {
            if (startsAt(s, i, "<!--")) {
                close = "-->";
                skip = 4;
            } else if (startsAt(s, i, "<![CDATA[")) {
                close = "]]>";
                skip = 9;
            } else {
                return refused(i, QStringLiteral("объявления типа документа (DTD) не допускаются"));
            }
        } else {
            inDocument = true;
            ++i;
            continue;
        }
        const qsizetype end = s.indexOf(close, i + skip);
        // An open construct is the parser's to report.
        const qsizetype stop = end < 0 ? n : end;
        if (!validUtf8(b + i, b + stop)) {
            scan.utf8 = false;
            return scan;
        }
        if (end < 0)
            return scan;
        i = end + qsizetype(qstrlen(close));
    }
    return scan;
}

// Text the parser gets from references but would not get from the plain
// characters a save writes for them (found by fuzzing): it drops a text of
// white space only, deciding so before it expands references, so " &#10; "
// stays a node and is dropped at the next start, moving every record after
// it. That is made now what the next start would read, so memory matches
// every later start. (A carriage return is kept: a save writes it back as
// "&#13;".) Walked without recursion: nesting may be deep.
void normalizeReferencedText(pugi::xml_document &doc)
{
    std::vector<pugi::xml_node> blank;
    pugi::xml_node n = doc.first_child();
    while (n) {
        if (n.type() == pugi::node_pcdata) {
            const char *v = n.value();
            if (std::strspn(v, " \t\r\n") == std::strlen(v))
                blank.push_back(n);
        }
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling())
            n = n.parent();
        if (n)
            n = n.next_sibling();
    }
    for (pugi::xml_node b : blank)
        b.parent().remove_child(b);
}

} // namespace learners::check
