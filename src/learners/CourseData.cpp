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
    const QByteArray raw = file.read(known + 1);
    if (file.error() != QFileDevice::NoError)
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
    m_path = path;
    m_loaded = true;
}

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

namespace {
// A comment or processing instruction in the learner list is a note left by
// whoever edited the file, not a learner: it is kept in the file and passed
// over when the learners are counted, read and found by position.
bool isRecord(pugi::xml_node n)
{
    return n.type() != pugi::node_comment && n.type() != pugi::node_pi;
}

pugi::xml_node firstRecord(pugi::xml_node list)
{
    pugi::xml_node n = list.first_child();
    while (n && !isRecord(n))
        n = n.next_sibling();
    return n;
}

pugi::xml_node nextRecord(pugi::xml_node n)
{
    n = n.next_sibling();
    while (n && !isRecord(n))
        n = n.next_sibling();
    return n;
}
} // namespace

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

void CourseData::addBookmark(int learnerPosition, int page, int increment, const QString &section,
                             int anchor)
{
    applyChange([&] {
        pugi::xml_node record = append(bookmarksOf(*this, learnerPosition), "one");
        append(record, "title", LearnerStore::bookmarkTitle(page));
        append(record, "id", QString::number(page));
        append(record, "increment", QString::number(std::clamp(increment, 0, 100)));
        // After the three fields the list reads by name, so older readers
        // see the record they know.
        if (!section.isEmpty())
            append(record, "section", section);
        if (anchor >= 0)
            append(record, "anchor", QString::number(anchor));
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
    p.anchor = std::max(-1, optionalInt(node, "anchor", -1));
    return p;
}

QVector<int> CourseData::bookmarkAnchors(int learnerPosition) const
{
    QVector<int> anchors;
    for (pugi::xml_node n = bookmarksOf(*this, learnerPosition).first_child(); n; n = n.next_sibling())
        anchors.append(std::max(-1, optionalInt(n, "anchor", -1)));
    return anchors;
}

void CourseData::setPlace(int learnerPosition, const Place &p)
{
    const Place was = place(learnerPosition);
    if (was.page == p.page && was.increment == p.increment && was.section == p.section &&
        was.anchor == std::max(-1, p.anchor))
        return;
    applyChange([&] {
        pugi::xml_node node = child(learner(*this, learnerPosition), "place");
        setField(node, "page", QString::number(p.page));
        setField(node, "increment", QString::number(std::clamp(p.increment, 0, 100)));
        setField(node, "section", p.section);
        // Older copies read the three fields above by name and skip this one.
        if (p.anchor >= 0)
            setField(node, "anchor", QString::number(p.anchor));
        else if (const pugi::xml_node anchor = node.child("anchor"))
            node.remove_child(anchor);
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
    for (pugi::xml_node n = firstRecord(learnerList(*this)); n; n = nextRecord(n))
        sink(value(child(n, "name")));
}

void CourseData::readLearnerEntries(
    const std::function<void(const QString &, const QString &, const QString &)> &sink) const
{
    // Surname and group only tell namesakes apart: one that is missing or
    // damaged reads as empty and is neither added nor reported.
    const auto optional = [](pugi::xml_node record, const char *name) {
        const pugi::xml_node e = record.child(name);
        return e && holdsValue(e) ? QString::fromUtf8(e.first_child().value()) : QString();
    };
    for (pugi::xml_node n = firstRecord(learnerList(*this)); n; n = nextRecord(n))
        sink(value(child(n, "name")), optional(n, "sourname"), optional(n, "group"));
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
    return LearnerStore::timeStamp(t);
}

QString CourseData::currentTimeStamp()
{
    return LearnerStore::currentTimeStamp();
}

void CourseData::setClock(std::function<QDateTime()> c)
{
    LearnerStore::setClock(std::move(c));
}

} // namespace learners
