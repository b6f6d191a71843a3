#include "testing/Banks.h"

#include "core/Cp1251.h"
#include "testing/LineCodec.h"

#include <QFile>
#include <QFileInfo>
#include <functional>

namespace testing {

QString StringGrid::cells(int col, int row) const
{
    if (row < 0 || col < 0 || static_cast<size_t>(row) >= m_rows.size())
        return QString();
    const QStringList &r = m_rows[static_cast<size_t>(row)];
    return col < r.size() ? r[col] : QString();
}

void StringGrid::setCells(int col, int row, const QString &text)
{
    if (row < 0 || col < 0)
        return;
    if (static_cast<size_t>(row) >= m_rows.size())
        m_rows.resize(static_cast<size_t>(row) + 1);
    QStringList &r = m_rows[static_cast<size_t>(row)];
    while (r.size() <= col)
        r.append(QString());
    r[col] = text;
}

namespace banks {

void forEachLine(const QByteArray &bytes, const std::function<void(const QString &)> &take)
{
    // Pieces are converted whole from the file's bytes rather than gathered
    // byte by byte: banks run to hundreds of thousands of lines.
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    const auto endPiece = [&](qsizetype end) {
        QString text = cp1251::toUnicode(QByteArray::fromRawData(p + start, end - start));
        text.replace(QChar(0), QLatin1Char('?'));
        take(text);
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\r' || c == '\n') {
            endPiece(i);
            const char other = c == '\r' ? '\n' : '\r';
            if (i + 1 < n && p[i + 1] == other)
                ++i;
            start = i + 1;
        } else if (c == '\f') {
            endPiece(i);
            start = i + 1;
        } else if (c == '\t') {
            // The text on either side becomes its own piece, and the TAB an
            // empty one between them.
            endPiece(i);
            take(QString());
            start = i + 1;
        }
    }
    if (n > 0)
        endPiece(n);
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

// Reads the next number field from pos: leading spaces are skipped, the field
// ends before the next space (which is consumed) or at the record's end.
// Returns false when the record ends before the field starts.
bool numberField(const QString &record, qsizetype &pos, QString &field)
{
    const qsizetype n = record.size();
    while (pos < n && record[pos] == u' ')
        ++pos;
    if (pos >= n)
        return false;
    const qsizetype start = pos;
    while (pos < n && record[pos] != u' ')
        ++pos;
    field = record.mid(start, pos - start);
    if (pos < n)
        ++pos;
    return true;
}

// The text field runs from pos to the record's end, so that texts such as
// "10%" or "mg/l" are kept whole. An empty remainder is a missing field.
bool textField(const QString &record, qsizetype pos, QString &field)
{
    if (pos >= record.size())
        return false;
    field = record.mid(pos);
    return true;
}

} // namespace

void storeQuestion(StringGrid &grid, int row, const QString &record)
{
    qsizetype pos = 0;
    QString field;
    if (!numberField(record, pos, field))
        return;
    grid.setCells(0, row, field);
    if (!numberField(record, pos, field))
        return;
    grid.setCells(1, row, field);
    if (textField(record, pos, field))
        grid.setCells(2, row, field);
}

void storeAnswer(StringGrid &grid, int row, const QString &record)
{
    qsizetype pos = 0;
    QString field;
    if (!numberField(record, pos, field))
        return;
    grid.setCells(0, row, field);
    if (!numberField(record, pos, field))
        return;
    grid.setCells(1, row, field);
    // The flag goes to column 3 and the text to column 2.
    if (!numberField(record, pos, field))
        return;
    grid.setCells(3, row, field);
    if (textField(record, pos, field))
        grid.setCells(2, row, field);
}

} // namespace banks

namespace {

void loadBank(StringGrid &grid, const QString &fileName, qint64 maxBytes,
              void (*store)(StringGrid &, int, const QString &))
{
    int row = 1;
    qsizetype lineNo = 0;
    banks::forEachLine(banks::readBank(fileName, maxBytes), [&](const QString &line) {
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
        store(grid, row, DecodeLine(line));
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

    loadBank(StringGrid1, questionsFile, maxBytes, &banks::storeQuestion);
    loadBank(StringGrid2, answersFile, maxBytes, &banks::storeAnswer);
}

} // namespace testing
