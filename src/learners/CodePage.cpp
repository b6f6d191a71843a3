#include "learners/CodePage.h"

#include <array>

namespace learners {
namespace {

// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F. 0 marks the one unassigned byte.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

char16_t toUnicode(unsigned char b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return char16_t(0x0410 + (b - 0xC0));
    return kHigh[b - 0x80];
}

// Returns the byte for a UTF-16 unit, or -1.
int fromUnicode(char16_t c)
{
    if (c < 0x80)
        return c;
    if (c >= 0x0410 && c <= 0x044F)
        return 0xC0 + (c - 0x0410);
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] != 0 && kHigh[i] == c)
            return int(0x80 + i);
    return -1;
}

} // namespace

bool decodeCp1251(const QByteArray &bytes, QString *out)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *dst = text.data();
    for (const char ch : bytes) {
        const char16_t u = toUnicode(static_cast<unsigned char>(ch));
        if (u == 0 && ch != 0)
            return false;
        *dst++ = QChar(u);
    }
    *out = text;
    return true;
}

QByteArray encodeCp1251(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A character outside the BMP is one '?', as the system's converter gives.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const int b = fromUnicode(c.unicode());
        bytes.append(b < 0 ? '?' : char(b));
    }
    return bytes;
}

QString throughCp1251(const QString &text)
{
    QString result;
    decodeCp1251(encodeCp1251(text), &result);
    return result;
}

} // namespace learners
