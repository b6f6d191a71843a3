#include "learners/CourseData.h"
#include "learners/CourseData_p.h"
#include "learners/DocumentCheck_p.h"

#include "core/RegularFile.h"
#include "core/SaveLeftovers.h"
#include "core/SystemError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace learners {

using check::decodeInput;
using check::normalizeReferencedText;
using check::Scan;
using check::scanDocument;

namespace {

// Whitespace between elements is dropped, so indentation never counts as a
// child; comments and processing instructions are kept and do count. A
// document type declaration is refused before parsing (check::scanDocument).
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

// The parser's finding in the learner's words; pugixml's own (English) text
// goes to standard error for whoever looks after the course.
QString parseProblem(pugi::xml_parse_status status)
{
    switch (status) {
    case pugi::status_out_of_memory:
        return QStringLiteral("не хватило памяти");
    case pugi::status_unrecognized_tag:
    case pugi::status_bad_start_element:
        return QStringLiteral("испорчен открывающий тег элемента");
    case pugi::status_bad_end_element:
        return QStringLiteral("испорчен закрывающий тег элемента");
    case pugi::status_end_element_mismatch:
        return QStringLiteral("закрывающий тег не соответствует открывающему");
    case pugi::status_bad_attribute:
        return QStringLiteral("испорчен атрибут элемента");
    case pugi::status_bad_comment:
        return QStringLiteral("испорчен комментарий");
    case pugi::status_bad_cdata:
        return QStringLiteral("испорчен раздел CDATA");
    case pugi::status_bad_pi:
    case pugi::status_bad_doctype:
        return QStringLiteral("испорчено объявление или инструкция обработки");
    case pugi::status_bad_pcdata:
        return QStringLiteral("испорчен текст элемента");
    case pugi::status_no_document_element:
        return QStringLiteral("в файле нет ни одного элемента");
    default:
        return QStringLiteral("файл не является правильным документом XML");
    }
}

QString nodeLabel(pugi::xml_node node)
{
    if (node.type() == pugi::node_element)
        return QStringLiteral("<%1>").arg(QString::fromUtf8(node.name()));
    if (node.type() == pugi::node_document)
        return QStringLiteral("документ");
    return QStringLiteral("узел, не являющийся элементом");
}

struct ByteWriter : pugi::xml_writer
{
    QByteArray bytes;
    void write(const void *data, size_t size) override
    {
        bytes.append(static_cast<const char *>(data), qsizetype(size));
    }
};

} // namespace

bool dom::holdsValue(pugi::xml_node element)
{
    const pugi::xml_node first = element.first_child();
    if (!first)
        return true;
    if (first.next_sibling())
        return false;
    return first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata;
}

namespace {

void checkValueElement(pugi::xml_node element)
{
    if (!element || element.type() != pugi::node_element)
        throw CourseDataError(QStringLiteral("Данные учеников повреждены: ожидался элемент"));
    if (!dom::holdsValue(element))
        throw CourseDataError(
            QStringLiteral("Данные учеников повреждены: элемент %1 содержит вложенные узлы "
                           "вместо значения")
                .arg(nodeLabel(element)));
}

} // namespace

int dom::parseInteger(const QString &text, const char *field)
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

namespace {

// A buffer of megabytes about to be filled at once: in 2 MiB pages where it
// is large enough, its pages faulted in with one call (in a virtual machine
// a page fault can cost more than writing the page).
void prepareLargeBuffer([[maybe_unused]] QByteArray &buffer)
{
#if defined(Q_OS_UNIX) && defined(MADV_POPULATE_WRITE)
    // Below a megabyte the few faults cost less than the call.
    constexpr quintptr kPage = 4096;
    constexpr quintptr kLarge = quintptr(2) << 20;
    if (quintptr(buffer.size()) < kLarge / 2)
        return;
    const auto begin = reinterpret_cast<quintptr>(buffer.data());
    const quintptr end = begin + quintptr(buffer.size());
    const quintptr from = (begin + kLarge - 1) & ~(kLarge - 1);
    const quintptr to = end & ~(kLarge - 1);
    if (quintptr(buffer.size()) >= 2 * kLarge && to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE); // only advice
    const quintptr first = begin & ~(kPage - 1);
    madvise(reinterpret_cast<void *>(first), end - first, MADV_POPULATE_WRITE); // only advice
#endif
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


} // namespace

CourseDataError::CourseDataError(const QString &message)
    : StoreError(message)
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
        throw CourseDataError(readFailure(m_fileName, files::systemErrorText(file.errorString())));
    // Read one byte past the bound so an oversized file is noticed even when
    // its size is not known in advance; a file of known size is read at its
    // size, not into a buffer of the bound's size.
    const qint64 known = file.isSequential() ? kMaxFileBytes : qMin(file.size(), kMaxFileBytes);
    QByteArray raw(known + 1, Qt::Uninitialized);
    // Kept after the load (the bytes a failed change goes back to): its
    // pages are faulted in at once rather than one by one as read fills them.
    if (!file.isSequential())
        prepareLargeBuffer(raw);
    const qint64 got = file.read(raw.data(), raw.size());
    raw.truncate(std::max<qint64>(got, 0));
    if (got < 0 || file.error() != QFileDevice::NoError)
        throw CourseDataError(readFailure(m_fileName, files::systemErrorText(file.errorString())));
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
        std::fprintf(stderr, "tarvel: %s:%lld: %s\n", qUtf8Printable(path), qint64(line),
                     result.description());
        std::fflush(stderr);
        throw CourseDataError(readFailure(
            m_fileName, QStringLiteral("ошибка разметки XML в строке %1: %2")
                            .arg(line)
                            .arg(parseProblem(result.status))));
    }
    if (scan.charRefs)
        normalizeReferencedText(doc);
    m_d->saved = utf8;
    // The first save's buffer is sized from the file as read, so that it is
    // not grown by doubling through a document of tens of megabytes.
    m_serializedSize = utf8.size();
    m_path = path;
    m_loaded = true;
}

namespace {

// A buffer of many megabytes filled at once: in 2 MiB pages the kernel
// faults it in a few hundred times instead of one time per 4 KiB, which on
// a file of tens of megabytes was much of a first save.
void adviseLargePages([[maybe_unused]] QByteArray &buffer)
{
#if defined(Q_OS_UNIX) && defined(MADV_HUGEPAGE)
    constexpr quintptr kLarge = quintptr(2) << 20;
    if (quintptr(buffer.capacity()) < 4 * kLarge)
        return;
    const auto begin = reinterpret_cast<quintptr>(buffer.data());
    const quintptr from = (begin + kLarge - 1) & ~(kLarge - 1);
    const quintptr to = (begin + quintptr(buffer.capacity())) & ~(kLarge - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE); // only advice
#endif
}

} // namespace

QByteArray CourseData::serialize() const
{
    ByteWriter writer;
    // The buffer of the save before, emptied but not freed (the document is
    // written into memory already faulted in); no one else may hold it.
    if (!m_d->spare.isDetached())
        m_d->spare = QByteArray();
    writer.bytes.swap(m_d->spare);
    writer.bytes.resize(0);
    // Room for the document as last written: a large one is not copied over
    // and over as the buffer grows.
    writer.bytes.reserve(m_serializedSize + 4096);
    adviseLargePages(writer.bytes);
    writer.bytes.append(kDeclaration);
    m_d->doc.save(writer, "", kFormatOptions, pugi::encoding_utf8);
    // A carriage return typed into a field would come back as a line feed
    // (XML reads a bare CR as LF): written as a reference it stays. The
    // document has none elsewhere, as reading turns them all into LF.
    if (writer.bytes.contains('\r'))
        writer.bytes.replace("\r", "&#13;");
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
    // Nor a file larger than the loader reads.
    if (bytes.size() > kMaxFileBytes)
        throw failure(QStringLiteral("данные стали бы больше %1 МиБ, и программа не смогла бы их "
                                     "прочитать; прежний файл сохранён без изменений")
                          .arg(kMaxFileBytes >> 20));
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
        throw failed(files::systemErrorText(file.errorString()));
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = files::systemErrorText(file.errorString());
            file.cancelWriting();
            throw failed(reason);
        }
        done += n;
    }
    if (!file.commit())
        throw failed(files::systemErrorText(file.errorString()));
    // What was saved before becomes the next save's buffer.
    m_d->spare = std::exchange(m_d->saved, bytes);
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

// A comment or processing instruction in the learner list is a note left by
// whoever edited the file, not a learner: it is kept in the file and passed
// over when the learners are counted, read and found by position.
namespace {
bool isRecord(pugi::xml_node n)
{
    return n.type() != pugi::node_comment && n.type() != pugi::node_pi;
}
} // namespace

pugi::xml_node learners::dom::firstRecord(pugi::xml_node list)
{
    pugi::xml_node n = list.first_child();
    while (n && !isRecord(n))
        n = n.next_sibling();
    return n;
}

pugi::xml_node learners::dom::nextRecord(pugi::xml_node n)
{
    n = n.next_sibling();
    while (n && !isRecord(n))
        n = n.next_sibling();
    return n;
}

pugi::xml_node learners::dom::learner(const CourseData &data, int position)
{
    const pugi::xml_node list = learnerList(data);
    int i = 0;
    for (pugi::xml_node n = firstRecord(list); n && position >= 0; n = nextRecord(n), ++i)
        if (i == position)
            return n;
    throw CourseDataError(QStringLiteral("Данные учеников повреждены: в %1 нет ученика номер %2")
                              .arg(nodeLabel(list), QString::number(position)));
}

int CourseData::learnerCount() const
{
    int count = 0;
    for (pugi::xml_node n = firstRecord(learnerList(*this)); n; n = nextRecord(n))
        ++count;
    return count;
}

QStringList CourseData::learnerNames() const
{
    QStringList names;
    readLearnerNames([&](const QString &name) { names.append(name); });
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
    return LearnerStore::unknownName();
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
    applyChange([&] { learnerList(*this).remove_child(learner(*this, position)); });
}

} // namespace learners
