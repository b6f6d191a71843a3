#pragma once

#include <QByteArray>
#include <QString>

// The Windows-1251 code page: the bytes of the bank and report files.
// A fixed table, independent of the system's locale.
namespace cp1251 {

// The character of one byte.
char16_t toUnicode(uchar byte);
// Every byte becomes exactly one character.
QString toUnicode(const QByteArray &bytes);

// The byte of one code point, or -1 when the code page has none.
int fromUnicode(char32_t codePoint);
// Characters outside the code page become "?".
QByteArray fromUnicode(const QString &text);

} // namespace cp1251
