#include "testing/Banks.h"

#include "core/Cp1251.h"
#include "core/LineCodec.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <initializer_list>

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
    const Text &t = m_texts[size_t(code - 1)];
    return QString(reinterpret_cast<const QChar *>(m_chars.data() + t.at), t.length);
}

void StringGrid::storeText(Text &text, QStringView chars)
{
    m_liveChars += chars.size() - text.length;
    if (chars.size() <= text.length) {
        // In place: loading the banks again does not pile up the texts it
        // replaces.
        std::copy(chars.utf16(), chars.utf16() + chars.size(), m_chars.begin() + text.at);
        text.length = chars.size();
        return;
    }
    text.at = qsizetype(m_chars.size());
    text.length = chars.size();
    m_chars.insert(m_chars.end(), chars.utf16(), chars.utf16() + chars.size());
    if (qsizetype(m_chars.size()) > 2 * m_liveChars + 4096)
        compactTexts();
}

void StringGrid::compactTexts()
{
    std::vector<char16_t> chars;
    chars.reserve(size_t(m_liveChars));
    for (Text &t : m_texts) {
        const qsizetype at = qsizetype(chars.size());
        chars.insert(chars.end(), m_chars.begin() + t.at, m_chars.begin() + t.at + t.length);
        t.at = at;
    }
    m_chars = std::move(chars);
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
    if (col >= m_stride)
        restride(std::max(col + 1, ColCount));
    const size_t at = size_t(row) * size_t(m_stride) + size_t(col);
    if (at >= m_cells.size())
        m_cells.resize(size_t(row + 1) * size_t(m_stride));
    qint32 &code = m_cells[at];
    const int number = numberOf(text);
    if (text.isEmpty()) {
        code = 0;
    } else if (number >= 0) {
        code = -1 - number;
    } else if (code > 0) {
        storeText(m_texts[size_t(code - 1)], text);
    } else {
        m_texts.push_back({0, 0});
        code = qint32(m_texts.size());
        storeText(m_texts.back(), text);
    }
}

void StringGrid::reserveRows(int rows)
{
    if (m_stride == 0)
        restride(std::max(ColCount, 1));
    m_cells.reserve(size_t(std::max(rows, 0)) * size_t(m_stride));
    // A record has one text as a rule (a question's, an answer's): a first
    // load takes its table of texts in one allocation too.
    if (m_texts.empty())
        m_texts.reserve(size_t(std::max(rows, 0)));
}

namespace banks {

namespace {

// Cuts a bank's bytes into pieces, each given as a view of the bytes: CR, LF
// and form feed end a line (CR LF and LF CR count as one), a TAB cuts a line
// and is an empty piece itself, and the file's end closes the last line.
template <typename Take>
void forEachPiece(const QByteArray &bytes, Take &&take)
{
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        // Most bytes are none of the four.
        if (c > '\r' || (c != '\r' && c != '\n' && c != '\f' && c != '\t'))
            continue;
        take(QByteArrayView(p + start, i - start));
        if (c == '\r' || c == '\n') {
            const char other = c == '\r' ? '\n' : '\r';
            if (i + 1 < n && p[i + 1] == other)
                ++i;
        } else if (c == '\t') {
            take(QByteArrayView());
        }
        start = i + 1;
    }
    if (n > 0)
        take(QByteArrayView(p + start, n - start));
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

QByteArray readBank(const QString &fileName, qint64 maxBytes)
{
    // Only a regular file is a bank: a folder, a pipe or a device in its
    // place reads as a missing bank rather than blocking or streaming.
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    const auto tooLarge = [&] {
        return BankError(QStringLiteral("Файл %1 слишком велик (больше %2 МБ) и не может быть прочитан.")
                              .arg(fileName)
                              .arg(maxBytes / (1024 * 1024))
                              .toStdString());
    };
    if (!file.isSequential() && file.size() > maxBytes)
        throw tooLarge();
    // Read one byte past the bound so that a file that grew, or a device
    // without a size, is refused as well. A file of known size is read at
    // its size, not into a buffer of the bound's size.
    const qint64 known = file.isSequential() ? maxBytes : qMin(file.size(), maxBytes);
    QByteArray bytes = file.read(known + 1);
    if (bytes.size() > maxBytes)
        throw tooLarge();
    return bytes;
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

// The text of a decoded field's bytes, in a buffer the load reuses: the
// table keeps a copy. The lecture and question numbers and the flags repeat
// on every row and are not converted at all.
struct FieldText
{
    QString buffer;

    QStringView text(QByteArrayView field)
    {
        buffer.resize(field.size());
        QChar *out = buffer.data();
        for (qsizetype i = 0; i < field.size(); ++i)
            out[i] = QChar(cp1251::toUnicode(uchar(field[i])));
        return buffer;
    }

    QStringView number(QByteArrayView field)
    {
        const int value = numberOf(field);
        return value >= 0 && value < 1000 ? QStringView(smallNumber(value)) : text(field);
    }
};

// Bank lines are decoded from the file's bytes, without a text per line: a
// coded line is ASCII, and any other byte is refused by the decoder, as its
// character would be.
void loadBank(StringGrid &grid, const QString &fileName, qint64 maxBytes,
              std::initializer_list<int> numberColumns)
{
    int row = 1;
    qsizetype lineNo = 0;
    QByteArray record;
    FieldText fields;
    const QByteArray bytes = banks::readBank(fileName, maxBytes);
    // One allocation for the table: a line break per record is the usual
    // layout (a file of other breaks only grows the table as it goes).
    qsizetype breaks = 0;
    for (const char *p = bytes.constData(), *end = p + bytes.size();
         (p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))) != nullptr; ++p)
        ++breaks;
    grid.reserveRows(int(std::min<qsizetype>(breaks + 2, banks::kMaxRecords + 1)));
    // A coded line holds at most three characters for every four of its
    // bytes; the room is only taken up as the texts come.
    grid.reserveText(bytes.size() / 4 * 3);
    banks::forEachPiece(bytes, [&](QByteArrayView line) {
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
        const auto put = [&grid, row](int column, QStringView text) { grid.setCells(column, row, text); };
        banks::storeFields(
            QByteArrayView(record), numberColumns, 2, put,
            [&fields](QByteArrayView f) { return fields.number(f); },
            [&fields](QByteArrayView f) { return fields.text(f); });
        ++row;
    });
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
