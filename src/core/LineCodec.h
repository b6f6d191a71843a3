#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <stdexcept>

namespace core {

// A coded line is "0;" followed by the Base64 form of a text's Windows-1251
// bytes. The banks hold one per record; report files are written in it.

// A bank or report line that is not a valid coded line.
class CodingError : public std::runtime_error
{
public:
    CodingError();
};

// The text of a coded line: the decoded bytes up to the first NUL byte.
// Throws CodingError for a character outside the Base64 alphabet or a final
// group of a single character.
QString DecodeLine(const QString &line);

// DecodeLine of a line read as bytes (a bank's lines are ASCII), giving the
// text's Windows-1251 bytes into `bytes`, whose buffer is reused: the banks
// decode hundreds of thousands of lines. A byte outside the Base64 alphabet
// (any byte over 0x7F included) throws CodingError, as in DecodeLine.
void decodeLineBytes(QByteArrayView line, QByteArray &bytes);

// The coded line of a text; the empty text gives the empty line. Every byte
// is coded, however long the text is.
QString EncodeLine(const QString &text);

} // namespace core
