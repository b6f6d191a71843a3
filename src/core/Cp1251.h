#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Windows-1251, the 8-bit code page of the bank and report files, of older
// course documents and of dect.chh files that declare it. A fixed table,
// independent of the system's locale; the one code page module of the program.
//
// The rule for the unassigned byte 0x98: it decodes to U+0098 and U+0098
// encodes back to 0x98, as the platform's own converter does, so every byte
// survives a round trip. A reader for which that byte can only mean damage
// uses decodeStrict, which refuses it.
namespace cp1251 {

// The character of one byte.
char16_t toUnicode(uchar byte);
// Every byte becomes exactly one character.
QString toUnicode(QByteArrayView bytes);
// As toUnicode, but false (and *out untouched) when the bytes hold 0x98.
bool decodeStrict(const QByteArray &bytes, QString *out);

// The byte of one code point, or -1 when the code page has none.
int fromUnicode(char32_t codePoint);
// Characters outside the code page become "?", one per code point.
QByteArray fromUnicode(const QString &text);

// The text as it comes back from the code page: characters it lacks
// become "?".
QString roundTrip(const QString &text);

} // namespace cp1251
