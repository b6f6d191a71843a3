#include "teacher/ReportFile.h"

#include "core/Cp1251.h"
#include "core/LineCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace teacher {

namespace {

const QString kTitle = QStringLiteral("расшифрованный файл отчета");
const QString kSeparator = QString(22, u'~');

// The labels of the learner's lines 2 to 6, in file order.
const QString kName = QStringLiteral("Имя: ");
const QString kSurname = QStringLiteral("Фамилия: ");
const QString kGroup = QStringLiteral("Группа: ");
const QString kMail = QStringLiteral("Почтовый ящик: ");
const QString kRegistered = QStringLiteral("Дата регистрации: ");
const QString kTests = QStringLiteral("Прохождение тестов");
const QString kTopic = QStringLiteral("Тест по лекции: ");
const QString kDate = QStringLiteral("Дата выполнения: ");
const QString kRight = QStringLiteral("Правильность: ");

QString quoted(const QString &text)
{
    return u'«' + text.trimmed() + u'»';
}

// What the teacher reads in the file's row: what happened and what to do,
// in a line that fits the table. Where exactly the file broke goes into
// Report::errorLine for those who look closer.
const QString kAskAgain = QStringLiteral("попросите ученика создать отчёт заново.");
const QString kNotAReport =
    QStringLiteral("Это не отчёт учебника: проверьте, тот ли файл сдал ученик.");
const QString kDamaged = QStringLiteral("Отчёт повреждён: ") + kAskAgain;
const QString kCut = QStringLiteral("Отчёт обрезан (скопирован не до конца): ") + kAskAgain;
const QString kResaved = QStringLiteral("Отчёт пересохранён другой программой: ") + kAskAgain;
const QString kEmpty = QStringLiteral("Файл пуст: ") + kAskAgain;
const QString kUnreadable =
    QStringLiteral("Файл не читается: проверьте носитель и нажмите «Обновить».");
// What a reading thread keeps of its buffer from one report to the next.
constexpr qsizetype kKeptBufferBytes = 1024 * 1024;
const QString kTooBig =
    QStringLiteral("Файл слишком велик для отчёта: проверьте, тот ли файл сдал ученик.");

QString dropFinalLineFeed(QString text)
{
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

// Where the file's lines lie among its UTF-16 units: CR LF separates them;
// a lone CR or LF is taken as one too, as an editor that touched the file
// may leave them. A final break ends the last line rather than opening an
// empty one.
struct LineSpan
{
    qsizetype from;
    qsizetype size;
};

template <typename Unit>
QVarLengthArray<LineSpan, 128> splitLines(Unit unit, qsizetype units)
{
    QVarLengthArray<LineSpan, 128> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t c = unit(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append({start, i - start});
        if (c == u'\r' && i + 1 < units && unit(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < units || lines.isEmpty())
        lines.append({start, units - start});
    return lines;
}

bool parsePercentView(QStringView text, double *value);

// The decoded lines of a file, as far as they decode: their bytes one after
// another in a buffer the reading thread keeps, each turned into text when
// it is read. A class's reports are hundreds of thousands of lines, and a
// string kept for each was most of the cost of reading them.
class DecodedLines
{
public:
    // The buffers keep their room from one file to the next.
    DecodedLines()
    {
        m_bytes.resize(0);
        m_ends.resize(0);
    }
    DecodedLines(const DecodedLines &) = delete;
    DecodedLines &operator=(const DecodedLines &) = delete;

    void append(const QByteArray &line)
    {
        m_bytes += line;
        m_ends.append(m_bytes.size());
    }
    qsizetype size() const { return m_ends.size(); }
    bool isEmpty() const { return m_ends.isEmpty(); }
    // Valid until the next call.
    const QString &at(qsizetype i)
    {
        if (i != m_at) {
            const qsizetype from = i == 0 ? 0 : m_ends[i - 1];
            const qsizetype size = m_ends[i] - from;
            m_text.resize(size);
            QChar *out = m_text.data();
            const auto *in = reinterpret_cast<const uchar *>(m_bytes.constData()) + from;
            const auto &table = codePage();
            for (qsizetype k = 0; k < size; ++k)
                out[k] = QChar(table[in[k]]);
            m_at = i;
        }
        return m_text;
    }
    QString text(qsizetype i) { return at(i); }

private:
    // The code page at hand: a call per character cost more than the rest
    // of the conversion.
    static const std::array<char16_t, 256> &codePage()
    {
        static const std::array<char16_t, 256> table = [] {
            std::array<char16_t, 256> t{};
            for (int b = 0; b < 256; ++b)
                t[size_t(b)] = cp1251::toUnicode(uchar(b));
            return t;
        }();
        return table;
    }

    static thread_local QByteArray m_bytes;
    static thread_local QVector<qsizetype> m_ends;
    static thread_local QString m_text;
    qsizetype m_at = -1;
};

thread_local QByteArray DecodedLines::m_bytes;
thread_local QVector<qsizetype> DecodedLines::m_ends;
thread_local QString DecodedLines::m_text;

// Walks the decoded lines in the order the textbook writes them.
class Reader
{
public:
    Reader(Report &report, DecodedLines &lines) : m_report(report), m_lines(lines) {}

    void read()
    {
        DecodedLines &lines = m_lines;
        if (lines.isEmpty() || lines.at(0) != kTitle) {
            m_report.error = kNotAReport;
            m_report.errorLine = 1;
            return;
        }
        QString values[5];
        const QString *labels[5] = {&kName, &kSurname, &kGroup, &kMail, &kRegistered};
        for (int k = 0; k < 5; ++k) {
            if (!take(*labels[k], &values[k]))
                return;
        }
        m_report.name = std::move(values[0]);
        m_report.surname = std::move(values[1]);
        m_report.group = std::move(values[2]);
        m_report.mail = std::move(values[3]);
        m_report.registered = parseStamp(values[4]);
        m_report.registeredText = dropFinalLineFeed(std::move(values[4]));
        m_report.hasLearner = true;
        if (!takeExactly(kSeparator) || !takeExactly(kTests) || !takeExactly(kSeparator))
            return;

        // Four lines to a result.
        m_report.results.reserve((lines.size() - m_next) / 4);
        while (m_next < lines.size()) {
            TestResult r;
            QString date, right;
            if (!take(kTopic, &r.topic) || !take(kDate, &date) || !take(kRight, &right))
                return;
            r.date = parseStamp(date);
            r.dateText = dropFinalLineFeed(std::move(date));
            const QStringView share = QStringView(right).chopped(right.isEmpty() ? 0 : 1);
            if (!right.endsWith(u'%') || !parsePercentView(share, &r.percent) ||
                r.percent < 0 || r.percent > 100) {
                fail(
                    QStringLiteral("Отчёт изменён вручную (правильность %1): ").arg(quoted(right)) +
                        kAskAgain,
                    m_next);
                return;
            }
            r.percentText = share.trimmed().toString();
            if (!takeExactly(kSeparator))
                return;
            m_report.results.append(std::move(r));
        }
    }

private:
    // The value after a line's label.
    bool take(const QString &label, QString *value)
    {
        if (!expect(label))
            return false;
        *value = m_lines.at(m_next++).mid(label.size());
        return true;
    }

    bool takeExactly(const QString &line)
    {
        if (!expect(line))
            return false;
        if (m_lines.at(m_next) != line) {
            fail(kDamaged, m_next + 1);
            return false;
        }
        ++m_next;
        return true;
    }

    bool expect(const QString &start)
    {
        if (m_next >= m_lines.size()) {
            fail(kCut, m_next + 1);
            return false;
        }
        if (!m_lines.at(m_next).startsWith(start)) {
            fail(kDamaged, m_next + 1);
            return false;
        }
        return true;
    }

    void fail(const QString &what, qsizetype lineNumber)
    {
        m_report.error = what;
        m_report.errorLine = int(lineNumber);
    }

    Report &m_report;
    DecodedLines &m_lines;
    qsizetype m_next = 1;
};

} // namespace

QDateTime parseStamp(const QString &text)
{
    // Read by position, not through a locale's date parser: that asks the
    // system's time zone about every stamp, and a folder of reports holds
    // tens of thousands. The English names are fixed by the file, not by
    // the reader's locale. The weekday is left out: it adds nothing, and a
    // wrong one would make an otherwise plain date unreadable. The stamp
    // names no zone, so it is kept as the wall-clock time it shows.
    QStringView s(text);
    if (s.endsWith(u'\n'))
        s.chop(1);
    if (s.size() < 5 || s[3] != u' ')
        return QDateTime();
    qsizetype at = 4;
    const auto number = [&](int minDigits, int maxDigits, int *value) {
        int digits = 0;
        *value = 0;
        while (at < s.size() && digits < maxDigits && s[at] >= u'0' && s[at] <= u'9') {
            *value = *value * 10 + (s[at].unicode() - u'0');
            ++at;
            ++digits;
        }
        return digits >= minDigits;
    };
    const auto separator = [&](char16_t c) {
        if (at >= s.size() || s[at] != c)
            return false;
        ++at;
        return true;
    };
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = 0;
    if (s.size() >= at + 3) {
        const auto lower = [&](qsizetype i) { return char16_t(s[i].unicode() | 0x20); };
        for (int m = 0; m < 12 && month == 0; ++m) {
            const char *name = months[m];
            if (lower(at) == char16_t(name[0] | 0x20) && lower(at + 1) == char16_t(name[1]) &&
                lower(at + 2) == char16_t(name[2]))
                month = m + 1;
        }
    }
    if (month == 0)
        return QDateTime();
    at += 3;
    int day = 0, hour = 0, minute = 0, second = 0, year = 0;
    if (!separator(u' ') || !number(1, 2, &day) || !separator(u' ') || !number(2, 2, &hour) ||
        !separator(u':') || !number(2, 2, &minute) || !separator(u':') || !number(2, 2, &second) ||
        !separator(u' ') || !number(4, 4, &year) || at != s.size())
        return QDateTime();
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

namespace {

bool parsePercentView(QStringView text, double *value)
{
    const QStringView s = text.trimmed();
    if (s.isEmpty())
        return false;
    // The usual "85" or "33.33" is read directly (and rounded as the C
    // library rounds), "," read as "."; anything else goes through the C
    // locale's reader.
    if (s.size() <= 32) {
        char digits[32];
        int points = 0;
        bool plain = true;
        for (qsizetype i = 0; i < s.size() && plain; ++i) {
            char16_t c = s[i].unicode();
            if (c == u',')
                c = u'.';
            points += c == u'.';
            plain =
                (c >= u'0' && c <= u'9') || (c == u'.' && points == 1 && i > 0 && i + 1 < s.size());
            digits[i] = char(c);
        }
        double v = 0;
        if (plain && std::from_chars(digits, digits + s.size(), v).ec == std::errc()) {
            *value = v;
            return true;
        }
    }
    QString dotted = s.toString();
    dotted.replace(u',', u'.');
    bool ok = false;
    const double v = QLocale::c().toDouble(dotted, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace

bool parsePercent(const QString &text, double *value)
{
    return parsePercentView(text, value);
}

Report decodeReport(const QByteArray &bytes, const QString &path, ReportLines lines)
{
    Report report;
    report.path = path;
    // Nothing at all, or no more than the byte-order mark.
    if (bytes.isEmpty() || bytes == "\xFF\xFE") {
        report.error = kEmpty;
        return report;
    }
    if (bytes.size() > kMaxReportBytes) {
        report.error = kTooBig;
        return report;
    }
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
    if (bytes.size() < 2 || b[0] != 0xFF || b[1] != 0xFE) {
        // Big-endian UTF-16, or the coded lines in an 8-bit text: the report
        // went through an editor that saved it its own way.
        if ((bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) || bytes.startsWith("0;") ||
            bytes.startsWith("\xEF\xBB\xBF"
                             "0;"))
            report.error = kResaved;
        else
            report.error = kNotAReport;
        report.errorLine = 1;
        return report;
    }

    // An odd byte count means the file was cut short; what came before the
    // cut is still worth reading.
    const bool odd = bytes.size() % 2 != 0;
    const qsizetype units = (bytes.size() - 2) / 2;
    const uchar *text = b + 2;
    const auto unit = [text](qsizetype i) { return char16_t(text[2 * i] | (text[2 * i + 1] << 8)); };

    // Each line is decoded straight from the file's bytes, through buffers
    // kept from line to line: a class's reports are hundreds of thousands
    // of lines.
    const auto coded = splitLines(unit, units);
    DecodedLines decoded;
    thread_local QByteArray ascii, plain;
    for (qsizetype i = 0; i < coded.size(); ++i) {
        const LineSpan line = coded[i];
        // An empty line, one not coded, or one whose code is broken.
        if (line.size >= 2 && unit(line.from) == u'0' && unit(line.from + 1) == u';') {
            // A character beyond ASCII is no Base64 whatever its code: it
            // goes in as a byte the decoder refuses.
            ascii.resize(line.size);
            char *out = ascii.data();
            for (qsizetype k = 0; k < line.size; ++k) {
                const char16_t c = unit(line.from + k);
                out[k] = c < 0x80 ? char(c) : char(0x80);
            }
            try {
                core::decodeLineBytes(ascii, plain);
                decoded.append(plain);
                continue;
            } catch (const core::CodingError &) {
            }
        }
        report.error = i == 0 ? kNotAReport : kDamaged;
        report.errorLine = int(i + 1);
        break;
    }

    if (report.error.isEmpty()) {
        Reader(report, decoded).read();
    } else if (!decoded.isEmpty()) {
        // Keep the learner and the whole results before the damage.
        const QString damage = report.error;
        const int line = report.errorLine;
        Reader(report, decoded).read();
        report.error = damage;
        report.errorLine = line;
    }
    if (lines == ReportLines::Keep) {
        report.lines.reserve(decoded.size());
        for (qsizetype i = 0; i < decoded.size(); ++i)
            report.lines << decoded.text(i);
    }
    if (odd) {
        report.error = kCut;
        report.errorLine = int(coded.size());
    }
    return report;
}

Report readReport(const QString &path, ReportLines lines)
{
    QFile file(path);
    const QFileInfo info(path);
    Report refused;
    refused.path = path;
    if (info.isDir()) {
        refused.error = QStringLiteral("Это папка, а не файл отчёта.");
        return refused;
    }
    // A pipe or a device named *.rep would block the read or never end.
    if (!info.isFile()) {
        refused.error = info.exists() || info.isSymLink()
                            ? QStringLiteral("Это не обычный файл, и отчётом он быть не может.")
                            : QStringLiteral("Файла больше нет: его удалили или переименовали.");
        return refused;
    }
    // Unbuffered: the file is read in one piece, straight into the buffer.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        refused.error =
            file.error() == QFileDevice::PermissionsError
                ? QStringLiteral("Нет прав на чтение файла: скопируйте отчёт в свою папку.")
                : kUnreadable;
        return refused;
    }
    if (info.size() > kMaxReportBytes) {
        refused.error = kTooBig;
        return refused;
    }
    // One buffer per reading thread, of the file's size, not of the largest
    // report: a buffer for each of a class's reports cost more than reading
    // them. One byte more tells a file that grew while it was read.
    thread_local QByteArray buffer;
    const qint64 want = info.size() + 1;
    buffer.resize(want);
    qint64 got = file.read(buffer.data(), want);
    if (got == want) {
        buffer.resize(kMaxReportBytes + 1);
        const qint64 more = file.read(buffer.data() + got, kMaxReportBytes + 1 - got);
        got = more < 0 ? more : got + more;
    }
    if (got < 0) {
        buffer = QByteArray();
        refused.error = kUnreadable;
        return refused;
    }
    buffer.resize(got);
    Report report = decodeReport(buffer, path, lines);
    // A rare large file does not keep its memory for the rest of the class.
    if (buffer.capacity() > kKeptBufferBytes)
        buffer = QByteArray();
    return report;
}

} // namespace teacher
