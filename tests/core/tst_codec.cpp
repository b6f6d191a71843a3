#include "core/Cp1251.h"
#include "core/LineCodec.h"

#include <QTest>
#include <iconv.h>

namespace {

// Converts with glibc's iconv; false when iconv has no mapping.
bool iconvConvert(const char *to, const char *from, const QByteArray &in, QByteArray &out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    QByteArray input = in;
    char buffer[16];
    char *inPtr = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    char *outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    out = QByteArray(buffer, static_cast<qsizetype>(sizeof buffer - outLeft));
    return true;
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT
private slots:
    void everyByteMatchesIconv();
    void everyBmpCharacterEncodesAsIconv();
    void strictDecodingMatchesIconv();
    void encodeReplacesOutsideCharacters();
    void decodeLine_data();
    void decodeLine();
    void decodeLineErrors_data();
    void decodeLineErrors();
    void encodeLine_data();
    void encodeLine();
    void encodeLineLongTextCodesEveryByte();
};

void TestCodec::everyByteMatchesIconv()
{
    for (int b = 0; b < 256; ++b) {
        QByteArray utf16;
        const QByteArray byte(1, static_cast<char>(b));
        if (iconvConvert("UTF-16LE", "CP1251", byte, utf16)) {
            QCOMPARE(utf16.size(), 2);
            const char16_t expected = static_cast<char16_t>(static_cast<uchar>(utf16[0]) |
                                                            (static_cast<uchar>(utf16[1]) << 8));
            QCOMPARE(cp1251::toUnicode(static_cast<uchar>(b)), expected);
        } else {
            // The one hole of the code page keeps its byte value.
            QCOMPARE(b, 0x98);
            QCOMPARE(cp1251::toUnicode(static_cast<uchar>(b)), char16_t(0x98));
        }
        QCOMPARE(cp1251::fromUnicode(cp1251::toUnicode(byte)), byte);
    }
}

void TestCodec::everyBmpCharacterEncodesAsIconv()
{
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const char16_t unit = static_cast<char16_t>(cp);
        const QByteArray utf16(reinterpret_cast<const char *>(&unit), 2);
        QByteArray byte;
        const int ours = cp1251::fromUnicode(cp);
        if (iconvConvert("CP1251", "UTF-16LE", utf16, byte)) {
            QCOMPARE(byte.size(), 1);
            QCOMPARE(ours, static_cast<int>(static_cast<uchar>(byte[0])));
        } else if (cp == 0x98) {
            QCOMPARE(ours, 0x98);
        } else {
            QVERIFY2(ours == -1, qPrintable(QString::number(cp, 16)));
        }
    }
}

void TestCodec::encodeReplacesOutsideCharacters()
{
    QCOMPARE(cp1251::fromUnicode(QStringLiteral("Жук ∑ ok")), QByteArray("\xC6\xF3\xEA ? ok"));
    // A character outside the BMP is one "?", not one per surrogate.
    QCOMPARE(cp1251::fromUnicode(QString::fromUtf8("a\xF0\x9F\x98\x80" "b")), QByteArray("a?b"));
    QCOMPARE(cp1251::toUnicode(QByteArray("\xC0\xE1\xE2\xA8\xB8\xB9")), QStringLiteral("АбвЁё№"));
}

void TestCodec::decodeLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("text");

    QTest::newRow("three bytes") << "0;YWJj" << "abc";
    QTest::newRow("two bytes") << "0;YWI=" << "ab";
    QTest::newRow("one byte") << "0;YQ==" << "a";
    QTest::newRow("two bytes unpadded") << "0;YWI" << "ab";
    QTest::newRow("one byte unpadded") << "0;YQ" << "a";
    QTest::newRow("empty rest") << "0;" << "";
    QTest::newRow("only padding") << "0;=" << "";
    // The prefix is dropped whatever it holds.
    QTest::newRow("other prefix") << "xyYWJj" << "abc";
    // "=" next to last takes the last two characters with it.
    QTest::newRow("equals next to last") << "0;YWJjYQ=x" << "abca";
    QTest::newRow("cut at NUL") << "0;YQBi" << "a";
    QTest::newRow("NUL first") << "0;AGFi" << "";
    QTest::newRow("cyrillic") << "0;0ejx8uXs4A==" << "Система";
    QTest::newRow("high bytes") << "0;+/8=" << "ыя";
}

void TestCodec::decodeLine()
{
    QFETCH(QString, line);
    QFETCH(QString, text);
    QCOMPARE(core::DecodeLine(line), text);
    // A bank's line is decoded from its bytes, to the same text.
    QByteArray bytes("stale bytes");
    core::decodeLineBytes(cp1251::fromUnicode(line), bytes);
    QCOMPARE(cp1251::toUnicode(bytes), text);
}

void TestCodec::decodeLineErrors_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("space") << "0;YW Jj";
    QTest::newRow("hyphen") << "0;YW-j";
    QTest::newRow("underscore") << "0;YW_j";
    QTest::newRow("inner equals") << "0;YQ==YWJj";
    QTest::newRow("cyrillic letter") << "0;YЖJj";
    QTest::newRow("single final character") << "0;YWJjY";
    QTest::newRow("single final character padded") << "0;YWJjY=";
    QTest::newRow("space after prefix") << "0; YWJj";
    QTest::newRow("NUL") << QStringLiteral("0;YW%1Jj").arg(QChar(0));
}

void TestCodec::decodeLineErrors()
{
    QFETCH(QString, line);
    try {
        core::DecodeLine(line);
        QFAIL("no error");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Coding table entry not found."));
    }
    QVERIFY_THROWS_EXCEPTION(core::CodingError, core::DecodeLine(line));
    QByteArray bytes;
    QVERIFY_THROWS_EXCEPTION(core::CodingError,
                             core::decodeLineBytes(cp1251::fromUnicode(line), bytes));
}

void TestCodec::encodeLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("abc") << "abc" << "0;YWJj";
    QTest::newRow("ab") << "ab" << "0;YWI=";
    QTest::newRow("a") << "a" << "0;YQ==";
    QTest::newRow("cyrillic") << "Система" << "0;0ejx8uXs4A==";
    QTest::newRow("outside the code page") << "∑" << "0;Pw==";
    QTest::newRow("space") << " " << "0;IA==";
}

void TestCodec::encodeLine()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(core::EncodeLine(text), line);
    if (!text.isEmpty() && text != u"∑")
        QCOMPARE(core::DecodeLine(line), text);
}

void TestCodec::encodeLineLongTextCodesEveryByte()
{
    // 4,096 bytes and more: every byte is coded, none dropped.
    for (const int size : {4095, 4096, 4097, 100000}) {
        QString text;
        for (int i = 0; i < size; ++i)
            text += QChar(i % 3 == 0 ? u'Ж' : char16_t(u'a' + i % 26));
        const QString line = core::EncodeLine(text);
        QVERIFY(line.startsWith(QStringLiteral("0;")));
        QCOMPARE(line.size(), 2 + (size + 2) / 3 * 4);
        QCOMPARE(core::DecodeLine(line), text);
    }
}

// The strict decoding dect.chh files go through: every assigned byte as
// iconv reads it, and the unassigned one refused.
void TestCodec::strictDecodingMatchesIconv()
{
    QByteArray all;
    QString expected;
    for (int b = 0x01; b <= 0xFF; ++b) {
        if (b == 0x98)
            continue;
        QByteArray utf8;
        QVERIFY2(iconvConvert("UTF-8", "CP1251", QByteArray(1, char(b)), utf8), qPrintable(QString::number(b, 16)));
        all.append(char(b));
        expected += QString::fromUtf8(utf8);
    }
    QString mine;
    QVERIFY(cp1251::decodeStrict(all, &mine));
    QCOMPARE(mine, expected);
    QCOMPARE(cp1251::fromUnicode(mine), all);

    QVERIFY(!cp1251::decodeStrict("a\x98", &mine));
    QCOMPARE(cp1251::roundTrip(QStringLiteral("Ёж ä Ω 😀 №")), QStringLiteral("Ёж ? ? ? №"));
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
