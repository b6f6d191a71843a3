// LoadBanks over two bank files. The first two bytes say where the input is
// cut into the question bank and the answer bank.
#include "FuzzSupport.h"

#include "testing/Banks.h"
#include "core/LineCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray body = fuzz::bytes(data + 2, size - 2);
    const qsizetype cut = ((data[0] << 8) | data[1]) % (body.size() + 1);
    const QString questions = fuzz::writeScratch(QStringLiteral("questions.qzt"), body.left(cut));
    const QString answers = fuzz::writeScratch(QStringLiteral("ansvers.qzt"), body.mid(cut));

    testing::StringGrid grid1(3), grid2(4);
    try {
        // A small bound, so that the too-large path is reached as well.
        testing::LoadBanks(grid1, grid2, questions, answers, 1 << 16);
    } catch (const core::CodingError &) {
    } catch (const testing::BankError &) {
    }
    if (grid1.RowCount < 1 || grid2.RowCount < 1)
        fuzz::fail("a table lost its heading row");
    for (int r = 0; r < grid1.RowCount; ++r)
        for (int c = 0; c < 3; ++c)
            (void)grid1.cells(c, r).size();
    for (int r = 0; r < grid2.RowCount; ++r)
        for (int c = 0; c < 4; ++c)
            (void)grid2.cells(c, r).size();
    return 0;
}
