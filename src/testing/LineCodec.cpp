#include "testing/LineCodec.h"

#include "core/Cp1251.h"

#include <QByteArray>

namespace testing {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 26;
    if (u >= '0' && u <= '9')
        return u - '0' + 52;
    if (u == '+')
        return 62;
    if (u == '/')
        return 63;
    return -1;
}

} // namespace

CodingError::CodingError()
    : std::runtime_error("Coding table entry not found.")
{
}

QString DecodeLine(const QString &line)
{
    // Worked on as a view and written straight into the result: banks hold
    // hundreds of thousands of lines.
    QStringView rest(line);
    const qsizetype n = rest.size();
    // The trailing "=" rule works on the whole line, prefix included.
    if (n >= 2 && rest[n - 2] == u'=')
        rest.chop(2);
    else if (n >= 1 && rest[n - 1] == u'=')
        rest.chop(1);
    rest = rest.size() > 2 ? rest.sliced(2) : QStringView();
    // Padding that closes the final group carries no bits.
    while (!rest.isEmpty() && rest.back() == u'=')
        rest.chop(1);

    if (rest.size() % 4 == 1)
        throw CodingError();

    QByteArray bytes(rest.size() / 4 * 3 + 2, Qt::Uninitialized);
    char *out = bytes.data();
    qsizetype length = 0;
    quint32 acc = 0;
    int bits = 0;
    for (const QChar c : rest) {
        const int v = sextet(c);
        if (v < 0)
            throw CodingError();
        acc = (acc << 6) | static_cast<quint32>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out[length++] = static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    bytes.truncate(length);

    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return cp1251::toUnicode(bytes);
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

} // namespace testing
