// DecodeLine over any line a bank or report file can hold. The first byte
// picks how the rest becomes text: as Windows-1251 bytes (what the bank
// reader hands over) or as raw UTF-16 (what a report line may hold).
#include "FuzzSupport.h"

#include "core/Cp1251.h"
#include "core/LineCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest = fuzz::bytes(data + 1, size - 1);
    const QString line = (data[0] & 1)
                             ? QString::fromUtf16(reinterpret_cast<const char16_t *>(rest.constData()),
                                                  rest.size() / 2)
                             : cp1251::toUnicode(rest);
    QString text;
    try {
        text = core::DecodeLine(line);
    } catch (const core::CodingError &) {
        return 0;
    }
    // Whatever decodes codes back to a line that decodes to the same text.
    if (text.contains(QChar(0)))
        fuzz::fail("decoded text holds a NUL");
    if (core::DecodeLine(core::EncodeLine(text)) != text)
        fuzz::fail("EncodeLine does not round-trip a decoded text");
    return 0;
}
