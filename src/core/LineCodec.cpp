#include "core/LineCodec.h"

#include "core/Cp1251.h"

#include <QByteArray>

#include <array>
#include <cstring>
#include <type_traits>

namespace core {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> kSextets = [] {
    std::array<signed char, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 64; ++i)
        t[uchar(kAlphabet[i])] = static_cast<signed char>(i);
    return t;
}();

int sextet(char16_t u)
{
    return u < 256 ? kSextets[u] : -1;
}

// Shared by the text and the byte form of a line: the same padding rules and
// the same refusals. The result is the bytes up to the first NUL.
template <typename Ch>
void decodeInto(const Ch *p, qsizetype n, QByteArray &bytes)
{
    // The trailing "=" rule works on the whole line, prefix included.
    if (n >= 2 && p[n - 2] == Ch('='))
        n -= 2;
    else if (n >= 1 && p[n - 1] == Ch('='))
        n -= 1;
    if (n > 2) {
        p += 2;
        n -= 2;
    } else {
        n = 0;
    }
    // Padding that closes the final group carries no bits.
    while (n > 0 && p[n - 1] == Ch('='))
        --n;

    if (n % 4 == 1)
        throw CodingError();

    bytes.resize(n / 4 * 3 + 2);
    char *out = bytes.data();
    qsizetype length = 0;
    qsizetype i = 0;
    // Whole groups of four characters first, three bytes each.
    for (; i + 4 <= n; i += 4) {
        const int a = sextet(char16_t(std::make_unsigned_t<Ch>(p[i])));
        const int b = sextet(char16_t(std::make_unsigned_t<Ch>(p[i + 1])));
        const int c = sextet(char16_t(std::make_unsigned_t<Ch>(p[i + 2])));
        const int d = sextet(char16_t(std::make_unsigned_t<Ch>(p[i + 3])));
        if ((a | b | c | d) < 0)
            throw CodingError();
        const quint32 v = (quint32(a) << 18) | (quint32(b) << 12) | (quint32(c) << 6) | quint32(d);
        out[length++] = static_cast<char>(v >> 16);
        out[length++] = static_cast<char>((v >> 8) & 0xFF);
        out[length++] = static_cast<char>(v & 0xFF);
    }
    quint32 acc = 0;
    int bits = 0;
    for (; i < n; ++i) {
        // A byte over 0x7F is a letter of the code page, never Base64.
        const int v = sextet(char16_t(std::make_unsigned_t<Ch>(p[i])));
        if (v < 0)
            throw CodingError();
        acc = (acc << 6) | static_cast<quint32>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out[length++] = static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    const void *nul = std::memchr(out, 0, size_t(length));
    bytes.truncate(nul ? static_cast<const char *>(nul) - out : length);
}

} // namespace

CodingError::CodingError()
    : std::runtime_error("Coding table entry not found.")
{
}

QString DecodeLine(const QString &line)
{
    QByteArray bytes;
    decodeInto(line.utf16(), line.size(), bytes);
    return cp1251::toUnicode(bytes);
}

void decodeLineBytes(QByteArrayView line, QByteArray &bytes)
{
    decodeInto(line.data(), line.size(), bytes);
}

QString EncodeLine(const QString &text)
{
    if (text.isEmpty())
        return QString();
    const QByteArray bytes = cp1251::fromUnicode(text);
    QString line;
    line.reserve(2 + (bytes.size() + 2) / 3 * 4);
    line += QStringLiteral("0;");
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const quint32 v = (quint32(p[i]) << 16) | (quint32(p[i + 1]) << 8) | p[i + 2];
        line += QLatin1Char(kAlphabet[(v >> 18) & 63]);
        line += QLatin1Char(kAlphabet[(v >> 12) & 63]);
        line += QLatin1Char(kAlphabet[(v >> 6) & 63]);
        line += QLatin1Char(kAlphabet[v & 63]);
    }
    if (n - i == 1) {
        const quint32 v = quint32(p[i]) << 16;
        line += QLatin1Char(kAlphabet[(v >> 18) & 63]);
        line += QLatin1Char(kAlphabet[(v >> 12) & 63]);
        line += QStringLiteral("==");
    } else if (n - i == 2) {
        const quint32 v = (quint32(p[i]) << 16) | (quint32(p[i + 1]) << 8);
        line += QLatin1Char(kAlphabet[(v >> 18) & 63]);
        line += QLatin1Char(kAlphabet[(v >> 12) & 63]);
        line += QLatin1Char(kAlphabet[(v >> 6) & 63]);
        line += QLatin1Char('=');
    }
    return line;
}

} // namespace core
