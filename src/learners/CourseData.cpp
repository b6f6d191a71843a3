#include "learners/CourseData.h"
#include "learners/CourseData_p.h"

#include "core/Cp1251.h"
#include "core/RegularFile.h"
#include "core/SaveLeftovers.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace learners {

namespace {

std::function<QDateTime()> &clockSource()
{
    static std::function<QDateTime()> c;
    return c;
}

// Whitespace between elements is dropped, so indentation never counts as a
// child; comments and processing instructions are kept and do count. A
// document type declaration is refused before parsing (see checkMarkup).
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

// No indentation or line breaks are added around new elements.
constexpr unsigned kFormatOptions = pugi::format_raw | pugi::format_no_declaration;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

QString fileLabel(const QString &fileName)
{
    return QFileInfo(fileName).fileName();
}

QString readFailure(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Не удалось прочитать данные учеников (%1): %2")
        .arg(fileLabel(fileName), reason);
}

QString nodeLabel(pugi::xml_node node)
{
    if (node.type() == pugi::node_element)
        return QStringLiteral("<%1>").arg(QString::fromUtf8(node.name()));
    if (node.type() == pugi::node_document)
        return QStringLiteral("документ");
    return QStringLiteral("узел, не являющийся элементом");
}

// The encoding named in the XML declaration, lower-cased; empty when none.
// Read by hand: a regular expression here was the only one at start-up, and
// loading its engine cost more memory than the whole course data.
QByteArray declaredEncoding(const QByteArray &data)
{
    if (!data.startsWith("<?xml"))
        return {};
    const qsizetype end = data.indexOf("?>");
    if (end < 0 || end > 1024)
        return {};
    const QByteArrayView decl = QByteArrayView(data).first(end);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (qsizetype at = decl.indexOf("encoding"); at >= 0; at = decl.indexOf("encoding", at + 1)) {
        qsizetype i = at + 8;
        while (i < decl.size() && blank(decl[i]))
            ++i;
        if (i >= decl.size() || decl[i] != '=')
            continue;
        ++i;
        while (i < decl.size() && blank(decl[i]))
            ++i;
        if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\''))
            continue;
        ++i;
        const qsizetype start = i;
        while (i < decl.size() && decl[i] != '\0' &&
               (std::isalnum(uchar(decl[i])) || std::strchr("._:-", decl[i])))
            ++i;
        if (i < decl.size() && (decl[i] == '"' || decl[i] == '\''))
            return decl.sliced(start, i - start).toByteArray().toLower();
    }
    return {};
}

bool toUtf8(const QByteArray &data, QStringConverter::Encoding encoding, QByteArray *out)
{
    if (encoding == QStringConverter::Utf8) {
        // UTF-8 is taken as it stands rather than converted to UTF-16 and
        // back, and checked by the markup scan that follows; like the
        // decoder, drop an initial byte-order mark.
        *out = data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data;
        return true;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder(data);
    if (decoder.hasError())
        return false;
    *out = text.toUtf8();
    return true;
}

// Brings the file's bytes to UTF-8: UTF-8 (with or without a byte-order
// mark), UTF-16 with a byte-order mark (or the XML declaration's own bytes
// showing it), or Windows-1251 when the declaration names it. Returns the
// reason on failure.
QString decodeInput(const QByteArray &raw, QByteArray *utf8)
{
    if (raw.startsWith("\xEF\xBB\xBF")) {
        if (!toUtf8(raw.mid(3), QStringConverter::Utf8, utf8))
            return QStringLiteral("файл содержит байты, недопустимые в UTF-8");
        return {};
    }
    const bool le = raw.startsWith("\xFF\xFE") || raw.startsWith(QByteArray("<\0?\0", 4));
    const bool be = raw.startsWith("\xFE\xFF") || raw.startsWith(QByteArray("\0<\0?", 4));
    if (le || be) {
        if (raw.size() % 2 != 0 ||
            !toUtf8(raw, le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, utf8))
            return QStringLiteral("файл повреждён: неверные данные UTF-16");
        if (utf8->startsWith("\xEF\xBB\xBF"))
            utf8->remove(0, 3);
        return {};
    }
    const QByteArray encoding = declaredEncoding(raw);
    if (encoding.isEmpty() || encoding == "utf-8" || encoding == "utf8" ||
        encoding == "us-ascii" || encoding == "ascii") {
        if (!toUtf8(raw, QStringConverter::Utf8, utf8))
            return QStringLiteral("файл содержит байты, недопустимые в UTF-8");
        return {};
    }
    if (encoding == "windows-1251" || encoding == "cp1251" || encoding == "x-cp1251") {
        QString text;
        if (!cp1251::decodeStrict(raw, &text))
            return QStringLiteral("файл содержит байт, не определённый в кодировке windows-1251");
        *utf8 = text.toUtf8();
        return {};
    }
    return QStringLiteral("неизвестная кодировка «%1»").arg(QString::fromLatin1(encoding));
}

// A character the XML Char production allows. The parser takes a numeric
// reference to anything else (a NUL, a surrogate, past U+10FFFF) and either
// drops it or keeps bytes that are not UTF-8, which the next save would write
// and the next start refuse.
bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The reference "&#...;" at i: true when it is well formed and names an XML
// character. The digits are bounded so a long run cannot overflow.
bool validCharReference(const QByteArray &s, qsizetype i)
{
    qsizetype j = i + 2;
    const bool hex = j < s.size() && s.at(j) == 'x';
    if (hex)
        ++j;
    char32_t value = 0;
    int digits = 0;
    for (; j < s.size() && s.at(j) != ';'; ++j) {
        const char c = s.at(j);
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || ++digits > 8)
            return false;
        value = value * (hex ? 16 : 10) + char32_t(d);
    }
    return j < s.size() && digits > 0 && isXmlChar(value);
}

bool startsAt(const QByteArray &s, qsizetype i, const char *what)
{
    return i < s.size() && QByteArrayView(s).sliced(i).startsWith(QByteArrayView(what));
}

// An XML declaration ("<?xml" and a blank or "?>"): the parser skips one
// silently wherever it stands.
bool isDeclaration(const QByteArray &s, qsizetype i)
{
    if (i + 5 >= s.size() || QByteArrayView(s).sliced(i + 2, 3).compare("xml", Qt::CaseInsensitive) != 0)
        return false;
    const char next = s.at(i + 5);
    return next == '?' || next == ' ' || next == '\t' || next == '\r' || next == '\n';
}

// The length of the well-formed UTF-8 sequence at p, whose first byte is
// over 0x7F; 0 when there is none (overlong forms, surrogates and code points
// past U+10FFFF included).
int utf8Sequence(const uchar *p, const uchar *end)
{
    const auto cont = [&](int k, uchar lo = 0x80, uchar hi = 0xBF) {
        return p + k < end && p[k] >= lo && p[k] <= hi;
    };
    const uchar c = p[0];
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const uchar lo = c == 0xE0 ? 0xA0 : 0x80;
        const uchar hi = c == 0xED ? 0x9F : 0xBF;
        return cont(1, lo, hi) && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const uchar lo = c == 0xF0 ? 0x90 : 0x80;
        const uchar hi = c == 0xF4 ? 0x8F : 0xBF;
        return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

bool validUtf8(const uchar *p, const uchar *end)
{
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = utf8Sequence(p, end);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

// What one pass over a document's bytes found.
struct Scan
{
    bool utf8 = true;   // every byte is part of well-formed UTF-8
    QString reason;     // the markup that is refused, when the bytes are UTF-8
    bool charRefs = false; // the text holds character references
    bool ok() const { return utf8 && reason.isEmpty(); }
};

// The byte classes the scan stops at; everything else is stepped over.
enum : uchar { kPlain, kOpen, kAmpersand, kControl, kHigh };
constexpr std::array<uchar, 256> kByteClass = [] {
    std::array<uchar, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[size_t(c)] = kControl;
    t['\t'] = t['\n'] = t['\r'] = kPlain;
    t['<'] = kOpen;
    t['&'] = kAmpersand;
    for (int c = 0x80; c < 0x100; ++c)
        t[size_t(c)] = kHigh;
    return t;
}();

// Checks in one pass that the bytes are UTF-8 and hold no markup the parser
// would take differently from what a save writes. The parser skips a document
// type declaration and leaves unknown entity references as literal text;
// either would change what the learner's data means, so both are refused. So
// is an XML declaration inside the document: skipped, it would join the texts
// on either side into one node once saved, and move every record after it in
// its list. Comments, CDATA and processing instructions may hold any text and
// are stepped over. Bytes that are not UTF-8 outrank any markup found before
// them. Runs over every load and every save of a file of many megabytes.
Scan scanDocument(const QByteArray &s)
{
    static const char *const predefined[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};
    Scan scan;
    const auto *b = reinterpret_cast<const uchar *>(s.constData());
    const qsizetype n = s.size();
    const auto lineAt = [&](qsizetype i) { return s.left(i).count('\n') + 1; };
    const auto refused = [&](qsizetype i, QString reason) {
        if (!validUtf8(b + i, b + n))
            scan.utf8 = false;
        else
            scan.reason = std::move(reason);
        return scan;
    };
    qsizetype i = 0;
    bool inDocument = false; // an element has started
    while (i < n) {
        // Runs of plain bytes and of two-byte letters (Cyrillic) are most of
        // a file.
        while (i < n && kByteClass[b[i]] == kPlain)
            ++i;
        while (i + 1 < n && b[i] >= 0xC2 && b[i] <= 0xDF && (b[i + 1] & 0xC0) == 0x80)
            i += 2;
        if (i >= n)
            break;
        const uchar k = kByteClass[b[i]];
        if (k == kPlain)
            continue;
        if (k == kHigh) {
            const int len = utf8Sequence(b + i, b + n);
            if (len == 0) {
                scan.utf8 = false;
                return scan;
            }
            i += len;
            continue;
        }
        if (k == kControl) {
            // Outside the XML Char range as well: the parser keeps it, but a
            // save writes it as a reference, which the next start refuses.
            return refused(i, QStringLiteral("недопустимый управляющий символ с кодом %1 (строка %2)")
                                  .arg(int(b[i]))
                                  .arg(lineAt(i)));
        }
        if (k == kAmpersand) {
            const bool numeric = i + 1 < n && b[i + 1] == '#';
            if (numeric) {
                scan.charRefs = true;
                if (!validCharReference(s, i)) {
                    const QByteArray ref = s.mid(i, 16);
                    const qsizetype semi = ref.indexOf(';');
                    return refused(i, QStringLiteral("недопустимая ссылка на символ «%1» (строка %2)")
                                          .arg(QString::fromUtf8(semi > 0 ? ref.left(semi + 1) : ref),
                                               QString::number(lineAt(i))));
                }
            }
            bool known = numeric;
            for (const char *name : predefined)
                known = known || startsAt(s, i + 1, name);
            if (!known) {
                const QByteArray ref = s.mid(i, 16);
                const qsizetype semi = ref.indexOf(';');
                return refused(i, QStringLiteral("неизвестная ссылка на сущность «%1» (строка %2)")
                                      .arg(QString::fromUtf8(semi > 0 ? ref.left(semi + 1) : ref.left(1)),
                                           QString::number(lineAt(i))));
            }
            ++i;
            continue;
        }
        // '<': an element's tag unless "<?" or "<!" follows.
        const uchar next = i + 1 < n ? b[i + 1] : 0;
        const char *close = nullptr;
        qsizetype skip = 0;
        if (next == '?') {
            if (inDocument && isDeclaration(s, i))
                return refused(i, QStringLiteral("объявление XML внутри документа (строка %1)").arg(lineAt(i)));
            close = "?>";
            skip = 2;
        } else if (next == '!') {
            if (startsAt(s, i, "<!--")) {
                close = "-->";
                skip = 4;
            } else if (startsAt(s, i, "<![CDATA[")) {
                close = "]]>";
                skip = 9;
            } else {
                return refused(i, QStringLiteral("объявления типа документа (DTD) не допускаются"));
            }
        } else {
            inDocument = true;
            ++i;
            continue;
        }
        const qsizetype end = s.indexOf(close, i + skip);
        // An open construct is the parser's to report.
        const qsizetype stop = end < 0 ? n : end;
        if (!validUtf8(b + i, b + stop)) {
            scan.utf8 = false;
            return scan;
        }
        if (end < 0)
            return scan;
        i = end + qsizetype(qstrlen(close));
    }
    return scan;
}

struct ByteWriter : pugi::xml_writer
{
    QByteArray bytes;
    void write(const void *data, size_t size) override
    {
        bytes.append(static_cast<const char *>(data), qsizetype(size));
    }
};

bool holdsValue(pugi::xml_node element)
{
    const pugi::xml_node first = element.first_child();
    if (!first)
        return true;
    if (first.next_sibling())
        return false;
    return first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata;
}

void checkValueElement(pugi::xml_node element)
{
    if (!element || element.type() != pugi::node_element)
        throw CourseDataError(QStringLiteral("Данные учеников повреждены: ожидался элемент"));
    if (!holdsValue(element))
        throw CourseDataError(
            QStringLiteral("Данные учеников повреждены: элемент %1 содержит вложенные узлы "
                           "вместо значения")
                .arg(nodeLabel(element)));
}

int parseInteger(const QString &text, const char *field)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok)
        throw CourseDataError(
            QStringLiteral("Данные учеников повреждены: значение «%1» элемента <%2> не является "
                           "целым числом")
                .arg(text, QString::fromUtf8(field)));
    return v;
}

// The rename that put the new file in place is an entry of the folder: until
// the folder reaches the disk, a power loss can bring the old file back.
// The data is already in place, so a folder that cannot be synced (a file
// system without the call) is no failure of the save.
void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
#else
    Q_UNUSED(folder);
#endif
}

// Text the parser gets from references but would not get from the plain
// characters a save writes for them (found by fuzzing): it drops a text of
// white space only, deciding so before it expands references, so " &#10; "
// stays a node and is dropped at the next start, moving every record after
// it; and it reads a carriage return (from "&#13;") as a line feed. Both are
// made now what the next start would read, so memory matches every later
// start. Walked without recursion: nesting may be deep.
void normalizeReferencedText(pugi::xml_document &doc)
{
    std::vector<pugi::xml_node> blank;
    pugi::xml_node n = doc.first_child();
    while (n) {
        if (n.type() == pugi::node_pcdata) {
            const char *v = n.value();
            if (std::strspn(v, " \t\r\n") == std::strlen(v)) {
                blank.push_back(n);
            } else if (std::strchr(v, '\r')) {
                QByteArray text(v);
                text.replace("\r\n", "\n").replace('\r', '\n');
                n.set_value(text.constData());
            }
        }
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling())
            n = n.parent();
        if (n)
            n = n.next_sibling();
    }
    for (pugi::xml_node b : blank)
        b.parent().remove_child(b);
}

} // namespace

CourseDataError::CourseDataError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

using namespace dom;

CourseData::CourseData(const QString &fileName)
    : m_fileName(fileName), m_d(std::make_unique<Private>())
{
}

CourseData::~CourseData() = default;

void CourseData::LoadCourseData()
{
    if (m_loaded)
        return;
    const QString path = QFileInfo(m_fileName).absoluteFilePath();
    QFile file(path);
    if (!file.exists())
        throw CourseDataError(readFailure(m_fileName, QStringLiteral("файл не найден")));
    // A FIFO or a device in its place would block open() or never end.
    if (!files::isRegular(path))
        throw CourseDataError(readFailure(m_fileName, QStringLiteral("это не обычный файл")));
    if (!file.open(QIODevice::ReadOnly))
        throw CourseDataError(readFailure(m_fileName, file.errorString()));
    // Read one byte past the bound so an oversized file is noticed even when
    // its size is not known in advance; a file of known size is read at its
    // size, not into a buffer of the bound's size.
    const qint64 known = file.isSequential() ? kMaxFileBytes : qMin(file.size(), kMaxFileBytes);
    const QByteArray raw = file.read(known + 1);
    if (file.error() != QFileDevice::NoError)
        throw CourseDataError(readFailure(m_fileName, file.errorString()));
    if (raw.size() > kMaxFileBytes)
        throw CourseDataError(readFailure(
            m_fileName, QStringLiteral("файл больше %1 МиБ").arg(kMaxFileBytes >> 20)));
    file.close();

    QByteArray utf8;
    QString reason = decodeInput(raw, &utf8);
    Scan scan;
    if (reason.isEmpty()) {
        scan = scanDocument(utf8);
        reason = scan.utf8 ? scan.reason : QStringLiteral("файл содержит байты, недопустимые в UTF-8");
    }
    if (!reason.isEmpty())
        throw CourseDataError(readFailure(m_fileName, reason));

    // Parsed straight into the document the program keeps.
    pugi::xml_document &doc = m_d->doc;
    const pugi::xml_parse_result result =
        doc.load_buffer(utf8.constData(), size_t(utf8.size()), kParseOptions, pugi::encoding_utf8);
    if (!result) {
        doc.reset();
        const qsizetype offset = qBound<qsizetype>(0, qsizetype(result.offset), utf8.size());
        const qsizetype line = utf8.left(offset).count('\n') + 1;
        throw CourseDataError(readFailure(
            m_fileName, QStringLiteral("ошибка разметки XML в строке %1: %2")
                            .arg(line)
                            .arg(QString::fromUtf8(result.description()))));
    }
    if (scan.charRefs)
        normalizeReferencedText(doc);
    m_d->saved = utf8;
    m_path = path;
    m_loaded = true;
}

QByteArray CourseData::serialize() const
{
    ByteWriter writer;
    // Room for the document as last written: a large one is not copied over
    // and over as the buffer grows.
    writer.bytes.reserve(m_serializedSize + 4096);
    writer.bytes.append(kDeclaration);
    m_d->doc.save(writer, "", kFormatOptions, pugi::encoding_utf8);
    m_serializedSize = writer.bytes.size();
    return writer.bytes;
}

void CourseData::SaveCourseData()
{
    const QString label = fileLabel(m_fileName);
    auto failure = [&](const QString &reason) {
        return CourseDataError(
            QStringLiteral("Не удалось сохранить данные учеников (%1): %2").arg(label, reason));
    };
    // A file that was never parsed is never replaced.
    if (!m_loaded)
        throw failure(QStringLiteral("данные не были загружены"));
    const QByteArray bytes = serialize();
    // Never write what the loader would refuse (bytes that are not UTF-8, a
    // reference to a control character typed into a field): such a file
    // would lock every learner out at the next start, so the old one stays.
    if (!scanDocument(bytes).ok())
        throw failure(QStringLiteral("данные содержат символы, недопустимые в файле XML; "
                                     "прежний файл сохранён без изменений"));
    // A save that fails removes the temporary file it made (the save itself
    // cannot where the share went away in the middle).
    const QStringList leftovers = files::saveLeftovers(m_path);
    const auto failed = [&](const QString &reason) {
        files::removeNewSaveLeftovers(m_path, leftovers);
        return failure(reason);
    };
    QSaveFile file(m_path);
    // Unbuffered: a buffered QSaveFile flushes inside commit() and does not
    // notice a short write there (a full disk), so it would put a truncated
    // file in place of the old one. Written directly, every shortfall shows.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw failed(file.errorString());
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw failed(reason);
        }
        done += n;
    }
    if (!file.commit())
        throw failed(file.errorString());
    m_d->saved = bytes;
    syncFolder(QFileInfo(m_path).absolutePath());
}

void CourseData::applyChange(const std::function<void()> &change)
{
    learners::dom::documentElement(*this); // a change needs a loaded document
    try {
        change();
        SaveCourseData();
    } catch (...) {
        // Memory keeps matching the file: no half-built record, nothing the
        // learner was told had failed. The document is read back from the
        // bytes of the file as it stands rather than copied before every
        // change: a school's file runs to tens of megabytes, and a failed
        // change is rare.
        pugi::xml_document &doc = m_d->doc;
        const QByteArray &saved = m_d->saved;
        if (doc.load_buffer(saved.constData(), size_t(saved.size()), kParseOptions,
                            pugi::encoding_utf8) &&
            saved.contains("&#"))
            normalizeReferencedText(doc);
        throw;
    }
}

pugi::xml_node learners::dom::documentElement(const CourseData &data)
{
    if (!data.isLoaded())
        throw CourseDataError(readFailure(data.fileName(), QStringLiteral("данные не загружены")));
    return data.d().doc.document_element();
}


pugi::xml_node learners::dom::childAt(pugi::xml_node parent, int position)
{
    if (!parent)
        throw CourseDataError(QStringLiteral("Данные учеников повреждены: нет элемента"));
    int i = 0;
    for (pugi::xml_node n = parent.first_child(); n && position >= 0; n = n.next_sibling(), ++i)
        if (i == position)
            return n;
    throw CourseDataError(QStringLiteral("Данные учеников повреждены: в %1 нет узла номер %2")
                              .arg(nodeLabel(parent), QString::number(position)));
}

int learners::dom::childCount(pugi::xml_node parent)
{
    int count = 0;
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
        ++count;
    return count;
}

pugi::xml_node learners::dom::child(pugi::xml_node parent, const char *name)
{
    // Processing instructions carry names too; only elements count here.
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0)
            return n;
    return append(parent, name);
}

pugi::xml_node learners::dom::append(pugi::xml_node parent, const char *name)
{
    pugi::xml_node added;
    if (parent.type() == pugi::node_element)
        added = parent.append_child(name);
    if (!added)
        throw CourseDataError(
            QStringLiteral("Данные учеников повреждены: в %1 нельзя добавить элемент <%2>")
                .arg(nodeLabel(parent), QString::fromUtf8(name)));
    return added;
}

pugi::xml_node learners::dom::append(pugi::xml_node parent, const char *name, const QString &text)
{
    pugi::xml_node added = append(parent, name);
    setValue(added, text);
    return added;
}

QString learners::dom::value(pugi::xml_node element)
{
    checkValueElement(element);
    return QString::fromUtf8(element.first_child().value());
}

void learners::dom::setValue(pugi::xml_node element, const QString &text)
{
    checkValueElement(element);
    while (pugi::xml_node n = element.first_child())
        element.remove_child(n);
    if (!text.isEmpty())
        element.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
}

void learners::dom::removeChildAt(pugi::xml_node parent, int position)
{
    parent.remove_child(childAt(parent, position));
}

pugi::xml_node learners::dom::lectureList(const CourseData &data)
{
    return childAt(childAt(documentElement(data), 1), 0);
}

pugi::xml_node learners::dom::learnerList(const CourseData &data)
{
    return childAt(documentElement(data), 2);
}

pugi::xml_node learners::dom::learner(const CourseData &data, int position)
{
    return childAt(learnerList(data), position);
}

int CourseData::learnerCount() const
{
    return childCount(learnerList(*this));
}

QStringList CourseData::learnerNames() const
{
    QStringList names;
    for (pugi::xml_node n = learnerList(*this).first_child(); n; n = n.next_sibling())
        names.append(value(child(n, "name")));
    return names;
}

CourseData::Learner CourseData::learnerFields(int position) const
{
    Learner l = learnerFormFields(position);
    l.date = value(child(learner(*this, position), "date"));
    return l;
}

CourseData::Learner CourseData::learnerFormFields(int position) const
{
    const pugi::xml_node record = learner(*this, position);
    Learner l;
    l.name = value(child(record, "name"));
    l.sourname = value(child(record, "sourname"));
    l.group = value(child(record, "group"));
    l.mail = value(child(record, "mail"));
    return l;
}

QString CourseData::unknownName()
{
    return QStringLiteral("неизвестен");
}

void CourseData::registerLearner(const QString &name, const QString &sourname,
                                 const QString &group, const QString &mail)
{
    applyChange([&] {
        pugi::xml_node record = append(learnerList(*this), "registred_user");
        append(record, "name", name.isEmpty() ? unknownName() : name);
        pugi::xml_node info = append(record, "study_info");
        append(info, "lectures");
        append(info, "tests");
        append(info, "bookmarks");
        append(record, "date", currentTimeStamp());
        append(record, "sourname", sourname);
        append(record, "group", group);
        append(record, "mail", mail);
    });
}

void CourseData::changeLearner(int position, const QString &name, const QString &sourname,
                               const QString &group, const QString &mail)
{
    applyChange([&] {
        const pugi::xml_node record = learner(*this, position);
        setValue(child(record, "name"), name.isEmpty() ? unknownName() : name);
        setValue(child(record, "sourname"), sourname);
        setValue(child(record, "group"), group);
        setValue(child(record, "mail"), mail);
    });
}

void CourseData::deleteLearner(int position)
{
    applyChange([&] { removeChildAt(learnerList(*this), position); });
}

pugi::xml_node learners::dom::testsOf(const CourseData &data, int learnerPosition)
{
    return child(child(learner(data, learnerPosition), "study_info"), "tests");
}

pugi::xml_node learners::dom::bookmarksOf(const CourseData &data, int learnerPosition)
{
    return child(child(learner(data, learnerPosition), "study_info"), "bookmarks");
}

void CourseData::addTestResult(int learnerPosition, const QString &topic, int percent)
{
    applyChange([&] {
        pugi::xml_node record = append(testsOf(*this, learnerPosition), "one");
        append(record, "number", topic);
        append(record, "date", currentTimeStamp());
        append(record, "right", QString::number(percent));
        append(record, "time", QStringLiteral("не определено"));
    });
}

void CourseData::addBookmark(int learnerPosition, int page, int increment, const QString &section)
{
    applyChange([&] {
        pugi::xml_node record = append(bookmarksOf(*this, learnerPosition), "one");
        append(record, "title", QStringLiteral("Лекция %1").arg(page));
        append(record, "id", QString::number(page));
        append(record, "increment", QString::number(std::clamp(increment, 0, 100)));
        // After the three fields the list reads by name, so older readers
        // see the record they know.
        if (!section.isEmpty())
            append(record, "section", section);
    });
}

void CourseData::deleteBookmark(int learnerPosition, int index)
{
    applyChange([&] { removeChildAt(bookmarksOf(*this, learnerPosition), index); });
}

QVector<CourseData::Bookmark> CourseData::bookmarks(int learnerPosition)
{
    QVector<Bookmark> list;
    for (pugi::xml_node n = bookmarksOf(*this, learnerPosition).first_child(); n; n = n.next_sibling()) {
        Bookmark b;
        b.title = value(child(n, "title"));
        b.page = parseInteger(value(child(n, "id")), "id");
        b.increment = parseInteger(value(child(n, "increment")), "increment");
        if (const pugi::xml_node section = n.child("section"))
            b.section = value(section);
        list.append(b);
    }
    return list;
}

// ---- What the program remembers per learner --------------------------------
//
// Kept in elements of the learner record after the registration fields. The
// record's fields are found by name, so these are skipped by every reader
// that does not ask for them. Reads never append: a learner who has none
// keeps the document as it is.

namespace {

// The text of a named child, or empty when there is none or it is not a value.
QString optionalValue(pugi::xml_node parent, const char *name)
{
    const pugi::xml_node n = parent.child(name);
    if (!n)
        return QString();
    try {
        return value(n);
    } catch (const CourseDataError &) {
        return QString();
    }
}

int optionalInt(pugi::xml_node parent, const char *name, int fallback)
{
    bool ok = false;
    const int v = optionalValue(parent, name).toInt(&ok);
    return ok ? v : fallback;
}

// Sets a child's value, the child created when missing.
void setField(pugi::xml_node parent, const char *name, const QString &text)
{
    setValue(child(parent, name), text);
}

} // namespace

CourseData::Place CourseData::place(int learnerPosition) const
{
    Place p;
    const pugi::xml_node node = learner(*this, learnerPosition).child("place");
    if (!node)
        return p;
    p.page = optionalInt(node, "page", -1);
    p.increment = std::clamp(optionalInt(node, "increment", 0), 0, 100);
    p.section = optionalValue(node, "section");
    return p;
}

void CourseData::setPlace(int learnerPosition, const Place &p)
{
    const Place was = place(learnerPosition);
    if (was.page == p.page && was.increment == p.increment && was.section == p.section)
        return;
    applyChange([&] {
        const pugi::xml_node node = child(learner(*this, learnerPosition), "place");
        setField(node, "page", QString::number(p.page));
        setField(node, "increment", QString::number(std::clamp(p.increment, 0, 100)));
        setField(node, "section", p.section);
    });
}

QVector<int> CourseData::openedPages(int learnerPosition) const
{
    QVector<int> pages;
    const QString text = optionalValue(learner(*this, learnerPosition), "opened");
    for (const QString &part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int page = part.toInt(&ok);
        if (ok && !pages.contains(page))
            pages.append(page);
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

void CourseData::markOpened(int learnerPosition, int page)
{
    QVector<int> pages = openedPages(learnerPosition);
    if (pages.contains(page))
        return;
    pages.append(page);
    std::sort(pages.begin(), pages.end());
    QStringList parts;
    for (int p : pages)
        parts.append(QString::number(p));
    applyChange([&] { setField(learner(*this, learnerPosition), "opened", parts.join(QLatin1Char(' '))); });
}

CourseData::Preferences CourseData::preferences(int learnerPosition) const
{
    Preferences p;
    const pugi::xml_node node = learner(*this, learnerPosition).child("preferences");
    if (!node)
        return p;
    p.fontFamily = optionalValue(node, "font");
    p.fontSize = std::clamp(optionalInt(node, "size", 0), 0, 72);
    p.fontColor = optionalValue(node, "color");
    p.bold = optionalValue(node, "bold") == u"1";
    p.italic = optionalValue(node, "italic") == u"1";
    p.zoom = std::clamp(optionalInt(node, "zoom", 0), -9, 40);
    p.narrowColumn = optionalValue(node, "column") == u"narrow";
    return p;
}

void CourseData::setPreferences(int learnerPosition, const Preferences &p)
{
    if (preferences(learnerPosition) == p && learner(*this, learnerPosition).child("preferences"))
        return;
    applyChange([&] {
        const pugi::xml_node node = child(learner(*this, learnerPosition), "preferences");
        setField(node, "font", p.fontFamily);
        setField(node, "size", QString::number(p.fontSize));
        setField(node, "color", p.fontColor);
        setField(node, "bold", p.bold ? QStringLiteral("1") : QStringLiteral("0"));
        setField(node, "italic", p.italic ? QStringLiteral("1") : QStringLiteral("0"));
        setField(node, "zoom", QString::number(p.zoom));
        setField(node, "column", p.narrowColumn ? QStringLiteral("narrow") : QStringLiteral("wide"));
    });
}

namespace {

CourseData::Lecture readLecture(pugi::xml_node n, bool withSections)
{
    CourseData::Lecture lecture;
    const pugi::xml_attribute id = n.attribute("id");
    lecture.hasId = bool(id);
    lecture.id = QString::fromUtf8(id.value());
    lecture.description = value(child(n, "description"));
    if (!withSections)
        return lecture;
    // The first three children are the lecture's own; sections follow.
    int i = 0;
    for (pugi::xml_node s = n.first_child(); s; s = s.next_sibling(), ++i) {
        if (i < 3)
            continue;
        lecture.sections.append({value(child(s, "mark")), value(child(s, "title"))});
    }
    return lecture;
}

CourseData::TestRecord readTestRecord(pugi::xml_node n)
{
    CourseData::TestRecord t;
    t.date = value(child(n, "date"));
    t.number = value(child(n, "number"));
    t.right = value(child(n, "right"));
    return t;
}

} // namespace

QVector<CourseData::TestRecord> CourseData::testRecords(int learnerPosition)
{
    QVector<TestRecord> list;
    for (pugi::xml_node n = testsOf(*this, learnerPosition).first_child(); n; n = n.next_sibling())
        list.append(readTestRecord(n));
    return list;
}

QVector<CourseData::Lecture> CourseData::lectures() const
{
    QVector<Lecture> list;
    readLectures([&](const Lecture &lecture) { list.append(lecture); });
    return list;
}

void CourseData::readLectures(const std::function<void(const Lecture &)> &sink,
                              bool withSections) const
{
    for (pugi::xml_node n = lectureList(*this).first_child(); n; n = n.next_sibling())
        sink(readLecture(n, withSections));
}

void CourseData::readLearnerNames(const std::function<void(const QString &)> &sink) const
{
    for (pugi::xml_node n = learnerList(*this).first_child(); n; n = n.next_sibling())
        sink(value(child(n, "name")));
}

void CourseData::readLearnerRecord(
    int position, const std::function<void(const char *, const QString &)> &field,
    const std::function<void(const TestRecord &)> &test) const
{
    const pugi::xml_node record = learner(*this, position);
    for (const char *name : {"name", "sourname", "group", "mail", "date"})
        field(name, value(child(record, name)));
    const pugi::xml_node tests = child(child(record, "study_info"), "tests");
    for (pugi::xml_node n = tests.first_child(); n; n = n.next_sibling())
        test(readTestRecord(n));
}

void CourseData::readBookmarks(int position, const std::function<void(const QString &)> &title,
                               const std::function<void(int, int)> &place,
                               const std::function<void(const QString &)> &section) const
{
    for (pugi::xml_node n = bookmarksOf(*this, position).first_child(); n; n = n.next_sibling()) {
        title(value(child(n, "title")));
        const int page = parseInteger(value(child(n, "id")), "id");
        place(page, parseInteger(value(child(n, "increment")), "increment"));
        if (section)
            if (const pugi::xml_node s = n.child("section"))
                section(value(s));
    }
}

QString CourseData::timeStamp(const QDateTime &t)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime local = t.toLocalTime();
    if (!local.isValid())
        throw CourseDataError(QStringLiteral("Неверное время для отметки времени"));
    const QDate d = local.date();
    const QTime time = local.time();
    return QStringLiteral("%1 %2 %3 %4:%5:%6 %7\n")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]), QLatin1String(months[d.month() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString CourseData::currentTimeStamp()
{
    return timeStamp(clockSource() ? clockSource()() : QDateTime::currentDateTime());
}

void CourseData::setClock(std::function<QDateTime()> c)
{
    clockSource() = std::move(c);
}

} // namespace learners
