// The .rvf reader. A document it accepts is written back and must read again
// to the same items.
#include "FuzzSupport.h"

#include "richtext/RvfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    RVDocument doc;
    QString error;
    if (!parseRvf(input, QStringLiteral("/nonexistent"), doc, &error)) {
        if (error.isEmpty())
            fuzz::fail("a refused document without a reason");
        return 0;
    }
    RVDocument again;
    if (!parseRvf(serializeRvf(doc, QStringLiteral("/nonexistent")), QStringLiteral("/nonexistent"), again,
                  &error))
        fuzz::fail("a written document does not read back");
    if (again.items.size() != doc.items.size() || again.checkpoints.size() != doc.checkpoints.size())
        fuzz::fail("a written document reads back with other items");
    for (qsizetype i = 0; i < doc.items.size(); ++i) {
        const RVItem &a = doc.items[i];
        const RVItem &b = again.items[i];
        if (a.kind != b.kind || a.text != b.text || a.styleNo != b.styleNo || a.start != b.start)
            fuzz::fail("a written item reads back changed");
    }
    return 0;
}
