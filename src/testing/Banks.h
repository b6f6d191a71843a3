#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

namespace testing {

// A table of texts addressed by column and row, like a hidden string grid.
// A cell never written reads as the empty text, also past RowCount; RowCount
// is only the length the owner says the table has.
class StringGrid
{
public:
    explicit StringGrid(int colCount = 0) : ColCount(colCount) {}

    QString cells(int col, int row) const;
    void setCells(int col, int row, QStringView text);
    // As setCells with the text given as its Windows-1251 bytes: what a
    // bank holds, stored without turning it into characters and back.
    void setCellBytes(int col, int row, QByteArrayView cp1251);
    // Room for this many rows, so that a large load does not move the cells
    // over and over as the table grows.
    void reserveRows(int rows);
    // Room for this many texts of this many characters of the code page
    // in all.
    void reserveText(qsizetype texts, qsizetype chars);
    // Makes the room for this many rows and texts (as reserved) ready in
    // memory at once, as a load is about to fill it: a page fault each
    // costs more than filling the page.
    void prefault(int rows, qsizetype texts, qsizetype chars);

    int ColCount = 0;
    int RowCount = 1;

private:
    qint32 &cell(int col, int row);
    void storeText(qint32 &code, const char *data, qsizetype bytes, bool wide);
    void restride(int columns);
    void compactTexts();

    // Cells are small codes, row after row, m_stride to a row: 0 is the
    // empty text, -1 - n the number n (of at most nine digits, written in
    // its shortest form; below 1000 one text shared by every cell that
    // holds it), and k > 0 the text at offset k - 1 of one store of bytes:
    // its length in four bytes, then its characters, a byte each in the
    // code page the banks are written in, or two each (UTF-16) for a text
    // the code page cannot hold. A bank of half a million answers, nearly
    // all of whose cells are lecture numbers, question numbers and flags,
    // then takes a fraction of the memory, and of the allocations, that a
    // text per cell took, and its texts are stored as the file gives them.
    std::vector<qint32> m_cells;
    std::vector<char> m_bytes;
    qsizetype m_liveBytes = 0; // the part of m_bytes that cells still use
    int m_stride = 0;
};

// A bank file that cannot be taken in (too large to be a bank).
class BankError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace banks {

// Files larger than this are refused rather than read into memory.
inline constexpr qint64 kMaxBankBytes = qint64(256) * 1024 * 1024;
// A record longer than this is damage, not a question or an answer; past
// the record count a bank would take gigabytes as a table. Either throws
// BankError.
inline constexpr qsizetype kMaxRecordChars = 64 * 1024;
inline constexpr int kMaxRecords = 1000000;
// A bank is read this many bytes at a time.
inline constexpr qsizetype kReadBytes = 64 * 1024;

// The bank file names, relative to the current directory.
inline constexpr char kQuestionsFile[] = "questions.qzt";
inline constexpr char kAnswersFile[] = "ansvers.qzt";

// Splits a bank file into lines: CR, LF and form feed end a line (CR LF and
// LF CR count as one), a TAB cuts a line into pieces, NUL reads as "?". The
// file's end closes the last line, so a final break yields an empty line.
QStringList splitLines(const QByteArray &bytes);
void forEachLine(const QByteArray &bytes, const std::function<void(const QString &)> &take);

// Stores one decoded record's fields into a row. Missing fields leave their
// cells alone.
void storeQuestion(StringGrid &grid, int row, const QString &record);
void storeAnswer(StringGrid &grid, int row, const QString &record);

} // namespace banks

// Writes both tables' headings, then loads the question bank into StringGrid1
// and the answer bank into StringGrid2. Cells are overwritten, not cleared.
// A decoding error (CodingError) stops the load at that line: the rows
// stored so far stay, that table's RowCount is not updated and the answer
// bank is not loaded after a failed question bank. So does a record or a
// bank past its bound (BankError). A missing or unreadable bank, or anything
// but a regular file in its place, reads as an empty bank.
void LoadBanks(StringGrid &StringGrid1, StringGrid &StringGrid2,
               const QString &questionsFile = QString::fromLatin1(banks::kQuestionsFile),
               const QString &answersFile = QString::fromLatin1(banks::kAnswersFile),
               qint64 maxBytes = banks::kMaxBankBytes);

} // namespace testing
