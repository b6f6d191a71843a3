#include "testing/Banks.h"

#include "core/Cp1251.h"
#include "core/LineCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <sys/mman.h>
#endif

namespace testing {

namespace {

// The shared text of a small number.
const QString &smallNumber(int n)
{
    static const std::array<QString, 1000> texts = [] {
        std::array<QString, 1000> t;
        for (int i = 0; i < 1000; ++i)
            t[size_t(i)] = QString::number(i);
        return t;
    }();
    return texts[size_t(n)];
}

// The digit value of a character or byte, or -1.
int digitOf(QChar c)
{
    return c >= u'0' && c <= u'9' ? c.unicode() - u'0' : -1;
}
int digitOf(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

// The number a text (or a field's bytes) spells in its shortest form ("7",
// not "07" or "+7"), when it has at most nine digits; otherwise -1. Such a
// text is kept as its number and spelled again when read.
template <typename View>
int numberOf(View text)
{
    const qsizetype n = text.size();
    if (n < 1 || n > 9 || (n > 1 && digitOf(text[0]) == 0))
        return -1;
    int value = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const int d = digitOf(text[i]);
        if (d < 0)
            return -1;
        value = value * 10 + d;
    }
    return value;
}

// Advises 2 MiB pages for the whole 2 MiB pieces of a store of megabytes:
// filled at once, it is faulted in a few times instead of once per 4 KiB
// page, which was much of a large load.
void adviseLargePages([[maybe_unused]] const void *data, [[maybe_unused]] size_t bytes)
{
#if defined(Q_OS_UNIX) && defined(MADV_HUGEPAGE)
    constexpr quintptr kLarge = quintptr(2) << 20;
    if (bytes < 2 * kLarge)
        return;
    const auto begin = reinterpret_cast<quintptr>(data);
    const quintptr from = (begin + kLarge - 1) & ~(kLarge - 1);
    const quintptr to = (begin + quintptr(bytes)) & ~(kLarge - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE); // only advice
#endif
}

// Faults in the pages of [data, data + bytes) that a load is about to fill,
// in one call: page by page, each fault costs more than writing the page.
void populate([[maybe_unused]] const void *data, [[maybe_unused]] size_t bytes)
{
#if defined(Q_OS_UNIX) && defined(MADV_POPULATE_WRITE)
    constexpr quintptr kPage = 4096;
    if (bytes < 4 * kPage)
        return;
    const auto begin = reinterpret_cast<quintptr>(data) & ~(kPage - 1);
    const quintptr end = reinterpret_cast<quintptr>(data) + quintptr(bytes);
    madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE); // only advice
#endif
}

} // namespace

namespace {

// A text in the store is a header of four bytes, its length in bytes with
// the top bit for UTF-16, then its bytes.
constexpr quint32 kWide = quint32(1) << 31;
constexpr qsizetype kHeader = sizeof(quint32);

} // namespace

QString StringGrid::cells(int col, int row) const
{
    if (row < 0 || col < 0 || col >= m_stride)
        return QString();
    const size_t at = size_t(row) * size_t(m_stride) + size_t(col);
    if (at >= m_cells.size())
        return QString();
    const qint32 code = m_cells[at];
    if (code == 0)
        return QString();
    if (code < 0) {
        const int number = -1 - code;
        return number < 1000 ? smallNumber(number) : QString::number(number);
    }
    const char *text = m_bytes.data() + (code - 1);
    quint32 header;
    std::memcpy(&header, text, kHeader);
    const qsizetype bytes = qsizetype(header & ~kWide);
    text += kHeader;
    if (!(header & kWide))
        return cp1251::toUnicode(QByteArrayView(text, bytes));
    QString wide(bytes / 2, Qt::Uninitialized);
    std::memcpy(wide.data(), text, size_t(bytes));
    return wide;
}

// The cell's code, the table widened and lengthened to hold it.
qint32 &StringGrid::cell(int col, int row)
{
    if (col >= m_stride)
        restride(std::max(col + 1, ColCount));
    const size_t at = size_t(row) * size_t(m_stride) + size_t(col);
    if (at >= m_cells.size())
        m_cells.resize(size_t(row + 1) * size_t(m_stride));
    return m_cells[at];
}

void StringGrid::storeText(qint32 &code, const char *data, qsizetype bytes, bool wide)
{
    if (bytes >= qsizetype(kWide))
        throw std::length_error("text too long for the table");
    const quint32 header = quint32(bytes) | (wide ? kWide : 0);
    if (code > 0) {
        char *text = m_bytes.data() + (code - 1);
        quint32 old;
        std::memcpy(&old, text, kHeader);
        const qsizetype room = qsizetype(old & ~kWide);
        if (bytes <= room) {
            // In place: loading the banks again does not pile up the texts
            // it replaces.
            std::memcpy(text, &header, kHeader);
            std::memcpy(text + kHeader, data, size_t(bytes));
            m_liveBytes -= room - bytes;
            return;
        }
        m_liveBytes -= kHeader + room;
    }
    if (qsizetype(m_bytes.size()) > 2 * m_liveBytes + 4096) {
        code = 0; // the text it had is let go, not kept by the tidying
        compactTexts();
    }
    // A code is a 32-bit offset: past it the texts could not be found.
    if (qsizetype(m_bytes.size()) + kHeader + bytes >= qsizetype(std::numeric_limits<qint32>::max()))
        throw std::length_error("too many texts for the table");
    code = qint32(m_bytes.size()) + 1;
    const char *h = reinterpret_cast<const char *>(&header);
    m_bytes.insert(m_bytes.end(), h, h + kHeader);
    m_bytes.insert(m_bytes.end(), data, data + bytes);
    m_liveBytes += kHeader + bytes;
}

// The texts that cells still refer to, moved together in the cells' order.
void StringGrid::compactTexts()
{
    std::vector<char> bytes;
    bytes.reserve(size_t(m_liveBytes));
    for (qint32 &code : m_cells) {
        if (code <= 0)
            continue;
        const auto from = m_bytes.begin() + (code - 1);
        quint32 header;
        std::memcpy(&header, &*from, kHeader);
        code = qint32(bytes.size()) + 1;
        bytes.insert(bytes.end(), from, from + kHeader + qsizetype(header & ~kWide));
    }
    m_bytes = std::move(bytes);
}

void StringGrid::restride(int columns)
{
    const size_t rows = m_stride > 0 ? m_cells.size() / size_t(m_stride) : 0;
    std::vector<qint32> cells(rows * size_t(columns));
    for (size_t r = 0; r < rows; ++r)
        for (int c = 0; c < m_stride; ++c)
            cells[r * size_t(columns) + size_t(c)] = m_cells[r * size_t(m_stride) + size_t(c)];
    m_cells = std::move(cells);
    m_stride = columns;
}

void StringGrid::setCells(int col, int row, QStringView text)
{
    if (row < 0 || col < 0)
        return;
    qint32 &code = cell(col, row);
    const int number = numberOf(text);
    if (text.isEmpty()) {
        code = 0;
        return;
    }
    if (number >= 0) {
        code = -1 - number;
        return;
    }
    // Kept in the code page when it holds every character, as a bank's
    // texts are; otherwise as it is.
    QVarLengthArray<char, 256> narrow(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const int b = u < 0x80 ? int(u) : cp1251::fromUnicode(char32_t(u));
        if (b < 0) {
            storeText(code, reinterpret_cast<const char *>(text.utf16()), text.size() * 2, true);
            return;
        }
        narrow[i] = char(b);
    }
    storeText(code, narrow.constData(), narrow.size(), false);
}

void StringGrid::setCellBytes(int col, int row, QByteArrayView cp1251)
{
    if (row < 0 || col < 0)
        return;
    qint32 &code = cell(col, row);
    const int number = numberOf(cp1251);
    if (cp1251.isEmpty())
        code = 0;
    else if (number >= 0)
        code = -1 - number;
    else
        storeText(code, cp1251.data(), cp1251.size(), false);
}

void StringGrid::reserveRows(int rows)
{
    if (m_stride == 0)
        restride(std::max(ColCount, 1));
    m_cells.reserve(size_t(std::max(rows, 0)) * size_t(m_stride));
    adviseLargePages(m_cells.data(), m_cells.capacity() * sizeof(qint32));
}

void StringGrid::reserveText(qsizetype texts, qsizetype chars)
{
    m_bytes.reserve(size_t(std::max<qsizetype>(texts, 0) * kHeader + std::max<qsizetype>(chars, 0)));
    adviseLargePages(m_bytes.data(), m_bytes.capacity());
}

void StringGrid::prefault(int rows, qsizetype texts, qsizetype chars)
{
    const size_t cells = std::min(m_cells.capacity(), size_t(std::max(rows, 0)) * size_t(m_stride));
    if (cells > m_cells.size())
        populate(m_cells.data() + m_cells.size(), (cells - m_cells.size()) * sizeof(qint32));
    const size_t bytes = std::min(m_bytes.capacity(), size_t(std::max<qsizetype>(texts, 0) * kHeader +
                                                             std::max<qsizetype>(chars, 0)));
    if (bytes > m_bytes.size())
        populate(m_bytes.data() + m_bytes.size(), bytes - m_bytes.size());
}

namespace banks {

namespace {

// Cuts a bank's bytes into pieces, each given as a view of the bytes: CR, LF
// and form feed end a line (CR LF and LF CR count as one), a TAB cuts a line
// and is an empty piece itself, and the file's end closes the last line.
// Bytes read so far may end in the middle of a line: then (atEnd false)
// the pieces that are surely whole are given, and the result is where the
// rest begins. A CR or LF in the last byte waits too, as the next byte may
// be its other half.
template <typename Take>
qsizetype cutPieces(const char *p, qsizetype n, bool atEnd, Take &&take)
{
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        // Eight bytes at a time while none is below 14: the four all are,
        // and no Base64 character is.
        if (i + 8 <= n) {
            quint64 w;
            std::memcpy(&w, p + i, sizeof w);
            if (((w - kOnes * 14) & ~w & (kOnes * 0x80)) == 0) {
                i += 8;
                continue;
            }
        }
        const char c = p[i];
        if (c > '\r' || (c != '\r' && c != '\n' && c != '\f' && c != '\t')) {
            ++i;
            continue;
        }
        const bool lineEnd = c == '\r' || c == '\n';
        if (lineEnd && i + 1 == n && !atEnd)
            break;
        take(QByteArrayView(p + start, i - start));
        if (lineEnd) {
            const char other = c == '\r' ? '\n' : '\r';
            if (i + 1 < n && p[i + 1] == other)
                ++i;
        } else if (c == '\t') {
            take(QByteArrayView());
        }
        start = i + 1;
        i = start;
    }
    if (!atEnd)
        return start;
    take(QByteArrayView(p + start, n - start));
    return n;
}

template <typename Take>
void forEachPiece(const QByteArray &bytes, Take &&take)
{
    if (!bytes.isEmpty())
        cutPieces(bytes.constData(), bytes.size(), true, take);
}

} // namespace

void forEachLine(const QByteArray &bytes, const std::function<void(const QString &)> &take)
{
    forEachPiece(bytes, [&take](QByteArrayView piece) {
        QString text = cp1251::toUnicode(piece);
        text.replace(QChar(0), QLatin1Char('?'));
        take(text);
    });
}

QStringList splitLines(const QByteArray &bytes)
{
    QStringList lines;
    forEachLine(bytes, [&lines](const QString &line) { lines.append(line); });
    return lines;
}

namespace {

// A record is number fields separated by spaces (leading spaces skipped, a
// field ends before the next space, which is consumed), then a text field
// that runs to the record's end, so that texts such as "10%" or "mg/l" are
// kept whole. A field the record ends before is missing and its cell is left
// alone; so is an empty text. Works alike on a text and on bytes.
template <typename View, typename Put, typename Number, typename Text>
void storeFields(View record, std::initializer_list<int> numberColumns, int textColumn, Put put,
                 Number number, Text text)
{
    const qsizetype n = record.size();
    qsizetype pos = 0;
    for (const int column : numberColumns) {
        while (pos < n && record[pos] == u' ')
            ++pos;
        if (pos >= n)
            return;
        const qsizetype start = pos;
        while (pos < n && record[pos] != u' ')
            ++pos;
        put(column, number(record.sliced(start, pos - start)));
        if (pos < n)
            ++pos;
    }
    if (pos < n)
        put(textColumn, text(record.sliced(pos)));
}

QStringView viewText(QStringView v)
{
    return v;
}

void storeRecord(StringGrid &grid, int row, const QString &record,
                 std::initializer_list<int> numberColumns)
{
    const auto put = [&](int column, QStringView text) { grid.setCells(column, row, text); };
    storeFields(QStringView(record), numberColumns, 2, put, viewText, viewText);
}

} // namespace

void storeQuestion(StringGrid &grid, int row, const QString &record)
{
    storeRecord(grid, row, record, {0, 1});
}

// The flag goes to column 3 and the text to column 2.
void storeAnswer(StringGrid &grid, int row, const QString &record)
{
    storeRecord(grid, row, record, {0, 1, 3});
}

} // namespace banks

namespace {


// Room in the table for a bank of `size` bytes, judged by its first read:
// its records at the density of line breaks there, and all the text its
// lines can code (three bytes in four). The room is taken up only as the
// records come, so a large bank is stored without copying the table as it
// grows; where the guess falls short, the table grows as it goes.
void reserveFor(StringGrid &grid, QByteArrayView first, qint64 size)
{
    const qint64 lf = std::count(first.begin(), first.end(), '\n');
    const qint64 cr = std::count(first.begin(), first.end(), '\r');
    const qint64 rows = std::max(lf, cr) * std::max<qint64>(size, first.size()) / first.size();
    const int room = int(std::min<qint64>(rows + rows / 16 + 16, banks::kMaxRecords + 1));
    grid.reserveRows(room);
    // A record has one text as a rule (a question's, an answer's).
    grid.reserveText(room, qsizetype(size / 4 * 3));
}

// The part of that room the rest of the bank will fill, by what the part
// read so far (`read` bytes) took, made ready in memory at once.
void prefaultFor(StringGrid &grid, qint64 size, qint64 read, qint64 rows, qint64 chars)
{
    const auto whole = [&](qint64 part) {
        const qint64 n = qint64(double(part) * double(size) / double(read));
        return n + n / 16 + 16;
    };
    grid.prefault(int(std::min<qint64>(whole(rows), banks::kMaxRecords + 1)), whole(rows), whole(chars));
}

// Bank lines are decoded from the file's bytes, without a text per line: a
// coded line is ASCII, and any other byte is refused by the decoder, as its
// character would be. The texts go to the table in the code page they
// are written in.
void loadBank(StringGrid &grid, const QString &fileName, qint64 maxBytes,
              std::initializer_list<int> numberColumns)
{
    int row = 1;
    qsizetype lineNo = 0;
    qint64 chars = 0; // of the texts stored
    QByteArray record;
    const auto takeLine = [&](QByteArrayView line) {
        ++lineNo;
        if (line.size() < 3)
            return;
        if (line.size() > banks::kMaxRecordChars)
            throw BankError(QStringLiteral("Файл %1 повреждён: строка %2 длиннее %3 символов.")
                                .arg(fileName)
                                .arg(lineNo)
                                .arg(banks::kMaxRecordChars)
                                .toStdString());
        if (row > banks::kMaxRecords)
            throw BankError(QStringLiteral("Файл %1 содержит больше %2 записей и не может быть прочитан.")
                                .arg(fileName)
                                .arg(banks::kMaxRecords)
                                .toStdString());
        core::decodeLineBytes(line, record);
        const auto put = [&grid, &chars, row](int column, QByteArrayView field) {
            grid.setCellBytes(column, row, field);
            if (column == 2)
                chars += field.size();
        };
        const auto same = [](QByteArrayView field) { return field; };
        banks::storeFields(QByteArrayView(record), numberColumns, 2, put, same, same);
        ++row;
    };

    // Only a regular file is a bank: a folder, a pipe or a device in its
    // place reads as a missing bank rather than blocking or streaming.
    QFile file(fileName);
    if (QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        const auto tooLarge = [&] {
            return BankError(QStringLiteral("Файл %1 слишком велик (больше %2 МБ) и не может быть прочитан.")
                                 .arg(fileName)
                                 .arg(maxBytes / (1024 * 1024))
                                 .toStdString());
        };
        const qint64 size = file.size();
        if (size > maxBytes)
            throw tooLarge();
        // The file is taken in a piece at a time into one buffer that stays
        // in the cache, not into fresh memory of its size.
        // Room for a read and a line carried over; the buffer grows only
        // for a longer line, up to the longest record there may be (and the
        // break after it).
        QByteArray buffer(banks::kReadBytes + 4096, Qt::Uninitialized);
        populate(buffer.constData(), size_t(buffer.size()));
        bool prefaulted = false;
        qsizetype held = 0;
        qint64 total = 0;
        for (;;) {
            if (buffer.size() < held + banks::kReadBytes)
                buffer.resize(held + banks::kReadBytes);
            char *const data = buffer.data();
            const qint64 got = file.read(data + held, banks::kReadBytes);
            // A bank that cannot be read to its end reads as empty, as an
            // unreadable one does (the table's length is what counts).
            if (got < 0) {
                row = 1;
                break;
            }
            const bool atEnd = got == 0;
            if (!atEnd) {
                // The file grew past the bound while it was read.
                if (total + got > maxBytes)
                    throw tooLarge();
                if (total == 0)
                    reserveFor(grid, QByteArrayView(data, got), size);
                total += got;
            }
            const qsizetype n = held + qsizetype(got);
            if (atEnd) {
                if (total > 0)
                    banks::cutPieces(data, n, true, takeLine);
                break;
            }
            const qsizetype rest = banks::cutPieces(data, n, false, takeLine);
            held = n - rest;
            if (!prefaulted && total > held && total < size) {
                prefaultFor(grid, size, total - held, row, chars);
                prefaulted = true;
            }
            if (held > banks::kMaxRecordChars + 1)
                takeLine(QByteArrayView(data + rest, held)); // refused as too long
            std::memmove(data, data + rest, size_t(held));
        }
    }
    grid.RowCount = row;
}

} // namespace

void LoadBanks(StringGrid &StringGrid1, StringGrid &StringGrid2, const QString &questionsFile,
               const QString &answersFile, qint64 maxBytes)
{
    StringGrid1.setCells(0, 0, QStringLiteral("Номер лекции"));
    StringGrid1.setCells(1, 0, QStringLiteral("Номер в лекции"));
    StringGrid1.setCells(2, 0, QStringLiteral("Вопрос"));
    StringGrid2.setCells(0, 0, QStringLiteral("Номер лекции"));
    StringGrid2.setCells(1, 0, QStringLiteral("Номер в лекции"));
    StringGrid2.setCells(2, 0, QStringLiteral("Вариант ответа"));
    StringGrid2.setCells(3, 0, QStringLiteral("Правильность ответа"));

    loadBank(StringGrid1, questionsFile, maxBytes, {0, 1});
    // An answer's flag goes to column 3 and its text to column 2.
    loadBank(StringGrid2, answersFile, maxBytes, {0, 1, 3});
}

} // namespace testing
