#include "richtext/RvfFile.h"

#include "core/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <pugixml.hpp>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

namespace {

// Larger pictures are a mistake in the file, not a layout to attempt.
constexpr int kMaxPictureSide = 10000;

struct ParseError
{
    QString text;
};

class Reader
{
public:
    Reader(const QByteArray &data, richtext::RVDocument &doc, QStringList *notes)
        : m_data(data), m_doc(doc), m_notes(notes)
    {
    }

    void readRoot(const pugi::xml_node &root);

private:
    int lineOf(const pugi::xml_node &at) const
    {
        const ptrdiff_t offset = at.offset_debug();
        int line = 1;
        if (offset > 0)
            line += int(std::count(m_data.constBegin(), m_data.constBegin() + std::min<qsizetype>(offset, m_data.size()), '\n'));
        return line;
    }

    [[noreturn]] void fail(const pugi::xml_node &at, const QString &what) const
    {
        throw ParseError{QStringLiteral("line %1: %2").arg(lineOf(at)).arg(what)};
    }

    // Something read sensibly that the author should still mend.
    void note(const pugi::xml_node &at, const QString &what) const
    {
        if (m_notes)
            m_notes->append(QStringLiteral("line %1: %2").arg(lineOf(at)).arg(what));
    }

    // Whether the text was wrapped in the file itself: a literal line break,
    // not a written &#10; (which the writer uses for a line break that
    // belongs to the text).
    bool wrappedInSource(const pugi::xml_node &text) const
    {
        const ptrdiff_t from = text.offset_debug();
        if (from < 0 || from >= m_data.size())
            return QByteArrayView(text.value()).contains('\n');
        const qsizetype end = m_data.indexOf('<', from);
        const QByteArrayView raw = QByteArrayView(m_data).sliced(from, (end < 0 ? m_data.size() : end) - from);
        return raw.contains('\n') || raw.contains('\r');
    }

    // A <t> wrapped across source lines: the line break and the indentation
    // after it read as one blank. Runs of blanks within a line stay exact.
    QString joinWrappedLines(const QString &text, const pugi::xml_node &at) const
    {
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
            return text;
        note(at, QStringLiteral("a line break inside <t> (read as one blank); write the text on one line"));
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size();) {
            const QChar c = text[i];
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                while (out.endsWith(QLatin1Char(' ')) || out.endsWith(QLatin1Char('\t')))
                    out.chop(1);
                while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') ||
                                           text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r')))
                    ++i;
                out += QLatin1Char(' ');
            } else {
                out += c;
                ++i;
            }
        }
        return out;
    }

    static QString name(const pugi::xml_node &n) { return QString::fromUtf8(n.name()); }

    std::optional<int> intAttr(const pugi::xml_node &n, const char *attr) const
    {
        const pugi::xml_attribute a = n.attribute(attr);
        if (!a)
            return std::nullopt;
        bool ok = false;
        const int v = QString::fromUtf8(a.value()).trimmed().toInt(&ok, 10);
        if (!ok)
            fail(n, QStringLiteral("attribute %1 of <%2> is not a number").arg(QLatin1String(attr), name(n)));
        return v;
    }

    int styleAttr(const pugi::xml_node &n, const char *attr, int def) const
    {
        const int v = intAttr(n, attr).value_or(def);
        if (v < 0)
            fail(n, QStringLiteral("attribute %1 of <%2> is negative").arg(QLatin1String(attr), name(n)));
        return v;
    }

    bool flagAttr(const pugi::xml_node &n, const char *attr) const
    {
        const int v = intAttr(n, attr).value_or(0);
        if (v != 0 && v != 1)
            fail(n, QStringLiteral("attribute %1 of <%2> must be 0 or 1").arg(QLatin1String(attr), name(n)));
        return v == 1;
    }

    void readCheckpoint(const pugi::xml_node &n)
    {
        m_doc.addCheckpoint(intAttr(n, "tag").value_or(0), QString::fromUtf8(n.attribute("name").value()),
                            flagAttr(n, "event"));
    }

    // A paragraph is read in two passes: its pieces as written (direct
    // text, a literal <t>, a tab, a picture, a line break, a checkpoint),
    // then the items they make once the line edges are trimmed.
    struct Piece
    {
        enum { Text, Literal, Tab, Picture, Line, Checkpoint } kind;
        QString text;
        int style = 0;
        pugi::xml_node node;
    };
    void readParagraph(const pugi::xml_node &p);
    std::vector<Piece> readPieces(const pugi::xml_node &p, int pStyle);
    QString readLiteral(const pugi::xml_node &t);
    static void trimLineEdges(std::vector<Piece> &pieces);
    richtext::RVItem pictureItem(const pugi::xml_node &img, int pStyle) const;
    void addItems(const std::vector<Piece> &pieces, int para, int pStyle);
    void countChars(const pugi::xml_node &at, qsizetype added);

    const QByteArray &m_data;
    richtext::RVDocument &m_doc;
    QStringList *m_notes = nullptr;
    qsizetype m_paragraphChars = 0; // of the paragraph being read
    qsizetype m_pageChars = 0;      // of the whole document
};

bool isXmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

QString collapseSpace(const QString &s)
{
    QString out;
    out.reserve(s.size());
    bool inSpace = false;
    for (const QChar c : s) {
        if (isXmlSpace(c)) {
            if (!inSpace)
                out += QLatin1Char(' ');
            inSpace = true;
        } else {
            out += c;
            inSpace = false;
        }
    }
    return out;
}

void Reader::readRoot(const pugi::xml_node &root)
{
    if (std::string_view(root.name()) != "rvf")
        fail(root, QStringLiteral("the root element is <%1>, not <rvf>").arg(name(root)));
    const pugi::xml_attribute version = root.attribute("version");
    if (version && QString::fromUtf8(version.value()).trimmed() != QLatin1String("1"))
        fail(root, QStringLiteral("unsupported version \"%1\"").arg(QString::fromUtf8(version.value())));

    for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
        switch (n.type()) {
        case pugi::node_element: {
            const std::string_view tag(n.name());
            if (tag == "p") {
                readParagraph(n);
            } else if (tag == "hr") {
                if (n.first_child())
                    fail(n, QStringLiteral("<hr> must be empty"));
                m_doc.addBreak();
            } else if (tag == "cp") {
                if (n.first_child())
                    fail(n, QStringLiteral("<cp> must be empty"));
                readCheckpoint(n);
            } else {
                fail(n, QStringLiteral("unknown element <%1>").arg(name(n)));
            }
            break;
        }
        case pugi::node_pcdata:
        case pugi::node_cdata:
            if (!QString::fromUtf8(n.value()).trimmed().isEmpty())
                fail(n, QStringLiteral("text outside a paragraph"));
            break;
        default:
            break; // comments, processing instructions
        }
    }
}

void Reader::readParagraph(const pugi::xml_node &p)
{
    const int para = styleAttr(p, "para", 0);
    const int pStyle = styleAttr(p, "style", 0);
    std::vector<Piece> pieces = readPieces(p, pStyle);
    trimLineEdges(pieces);
    addItems(pieces, para, pStyle);
}

void Reader::countChars(const pugi::xml_node &at, qsizetype added)
{
    // One paragraph is laid out as one block; past the bound its layout
    // would take minutes, so the file is refused as it is read.
    m_paragraphChars += added;
    m_pageChars += added;
    if (m_paragraphChars > kRvfMaxParagraphChars)
        fail(at, QStringLiteral("paragraph longer than %1 characters").arg(kRvfMaxParagraphChars));
    if (m_pageChars > kRvfMaxPageChars)
        fail(at, QStringLiteral("page longer than %1 characters").arg(kRvfMaxPageChars));
}

std::vector<Reader::Piece> Reader::readPieces(const pugi::xml_node &p, int pStyle)
{
    std::vector<Piece> pieces;
    m_paragraphChars = 0;
    for (pugi::xml_node n = p.first_child(); n; n = n.next_sibling()) {
        switch (n.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
            countChars(n, qsizetype(std::strlen(n.value())));
            // Text split only by a comment or CDATA is one run.
            if (!pieces.empty() && pieces.back().kind == Piece::Text)
                pieces.back().text += QString::fromUtf8(n.value());
            else
                pieces.push_back({Piece::Text, QString::fromUtf8(n.value()), pStyle, n});
            break;
        case pugi::node_element: {
            const std::string_view tag(n.name());
            if (tag == "t") {
                pieces.push_back({Piece::Literal, readLiteral(n), styleAttr(n, "style", 0), n});
            } else if (tag == "br" || tag == "tab" || tag == "img" || tag == "cp") {
                if (n.first_child())
                    fail(n, QStringLiteral("<%1> must be empty").arg(name(n)));
                const auto kind = tag == "br" ? Piece::Line
                                  : tag == "tab" ? Piece::Tab
                                  : tag == "img" ? Piece::Picture
                                                 : Piece::Checkpoint;
                countChars(n, 1);
                pieces.push_back({kind, QString(), tag == "tab" ? styleAttr(n, "style", pStyle) : pStyle, n});
            } else {
                fail(n, QStringLiteral("unknown element <%1> in <p>").arg(name(n)));
            }
            break;
        }
        default:
            break;
        }
    }
    for (Piece &pc : pieces) {
        if (pc.kind == Piece::Text)
            pc.text = collapseSpace(pc.text);
    }
    return pieces;
}

QString Reader::readLiteral(const pugi::xml_node &t)
{
    QString text;
    for (pugi::xml_node c = t.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
            countChars(c, qsizetype(std::strlen(c.value())));
            if (c.type() == pugi::node_pcdata && wrappedInSource(c))
                text += joinWrappedLines(QString::fromUtf8(c.value()), t);
            else
                text += QString::fromUtf8(c.value());
        } else if (c.type() == pugi::node_element) {
            fail(c, QStringLiteral("element <%1> inside <t>").arg(name(c)));
        }
    }
    return text;
}

void Reader::trimLineEdges(std::vector<Piece> &pieces)
{
    // Direct text is trimmed where it meets the start or end of a line; a
    // line runs between <br>s, and checkpoints take no room on it.
    auto isContent = [](const Piece &pc) { return pc.kind != Piece::Checkpoint; };
    for (size_t i = 0; i < pieces.size(); ++i) {
        Piece &pc = pieces[i];
        if (pc.kind != Piece::Text)
            continue;
        bool atLineStart = true;
        for (size_t j = i; j-- > 0;) {
            if (!isContent(pieces[j]))
                continue;
            atLineStart = pieces[j].kind == Piece::Line;
            break;
        }
        bool atLineEnd = true;
        for (size_t j = i + 1; j < pieces.size(); ++j) {
            if (!isContent(pieces[j]))
                continue;
            atLineEnd = pieces[j].kind == Piece::Line;
            break;
        }
        if (atLineStart && pc.text.startsWith(QLatin1Char(' ')))
            pc.text.remove(0, 1);
        if (atLineEnd && pc.text.endsWith(QLatin1Char(' ')))
            pc.text.chop(1);
    }
}

richtext::RVItem Reader::pictureItem(const pugi::xml_node &img, int pStyle) const
{
    richtext::RVItem item;
    item.kind = richtext::RVItem::Kind::Picture;
    item.styleNo = pStyle;
    item.picturePath = QString::fromUtf8(img.attribute("src").value());
    if (item.picturePath.isEmpty())
        fail(img, QStringLiteral("<img> without src"));
    item.pictureJump = flagAttr(img, "jump");
    item.pictureAlt = QString::fromUtf8(img.attribute("alt").value());
    item.pictureWidth = styleAttr(img, "width", 0);
    item.pictureHeight = styleAttr(img, "height", 0);
    if (item.pictureWidth > kMaxPictureSide || item.pictureHeight > kMaxPictureSide)
        fail(img, QStringLiteral("picture size over %1 pixels").arg(kMaxPictureSide));
    return item;
}

void Reader::addItems(const std::vector<Piece> &pieces, int para, int pStyle)
{
    richtext::RVItem::Start next = richtext::RVItem::Start::NewParagraph;
    bool lineHasItem = false;
    auto add = [&](richtext::RVItem item) {
        item.start = next;
        item.paraNo = para;
        next = richtext::RVItem::Start::Continue;
        lineHasItem = true;
        m_doc.appendItem(std::move(item));
    };
    auto addEmpty = [&]() {
        richtext::RVItem item;
        item.styleNo = pStyle;
        add(std::move(item));
    };

    for (const Piece &pc : pieces) {
        switch (pc.kind) {
        case Piece::Text:
            if (pc.text.isEmpty())
                break;
            [[fallthrough]];
        case Piece::Literal:
        case Piece::Tab: {
            richtext::RVItem item;
            item.kind = pc.kind == Piece::Tab ? richtext::RVItem::Kind::Tab : richtext::RVItem::Kind::Text;
            item.text = pc.kind == Piece::Tab ? QStringLiteral("\t") : pc.text;
            item.styleNo = pc.style;
            add(std::move(item));
            break;
        }
        case Piece::Picture:
            add(pictureItem(pc.node, pStyle));
            break;
        case Piece::Line:
            // An empty line still takes a (blank) item.
            if (!lineHasItem)
                addEmpty();
            next = richtext::RVItem::Start::NewLine;
            lineHasItem = false;
            break;
        case Piece::Checkpoint:
            readCheckpoint(pc.node);
            break;
        }
    }
    if (!lineHasItem)
        addEmpty();
}

QString xmlEscape(const QString &s, bool attribute)
{
    QString out;
    out.reserve(s.size() + 8);
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        switch (u) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += attribute ? QLatin1String("&quot;") : QLatin1String("\""); break;
        default:
            // Control characters (a line break too: one written as it is
            // would read as a wrapped line), and in attributes all white
            // space but the blank, go as references so that the parser
            // gives them back.
            if (u < 0x20 && !(u == '\t' && !attribute))
                out += QStringLiteral("&#%1;").arg(int(u));
            else
                out += c;
        }
    }
    return out;
}

} // namespace

bool parseRvf(const QByteArray &data, const QString &baseDir, richtext::RVDocument &out, QString *error)
{
    return parseRvf(data, baseDir, out, error, nullptr);
}

bool parseRvf(const QByteArray &data, const QString &baseDir, richtext::RVDocument &out, QString *error,
              QStringList *notes)
{
    if (data.size() > kRvfMaxBytes) {
        if (error)
            *error = QStringLiteral("the file is larger than %1 bytes").arg(kRvfMaxBytes);
        return false;
    }
    pugi::xml_document xml;
    // pugixml never expands entities; a DOCTYPE is parsed only to be refused.
    // White-space-only text is kept because blanks between items inside a
    // paragraph matter.
    const unsigned flags = pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_doctype;
    const pugi::xml_parse_result res = xml.load_buffer(data.constData(), size_t(data.size()), flags, pugi::encoding_auto);
    if (!res) {
        if (error) {
            const int line = 1 + int(std::count(data.constBegin(),
                                                data.constBegin() + std::clamp<qsizetype>(res.offset, 0, data.size()), '\n'));
            *error = QStringLiteral("line %1: %2").arg(line).arg(QString::fromUtf8(res.description()));
        }
        return false;
    }
    for (pugi::xml_node n = xml.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype) {
            if (error)
                *error = QStringLiteral("a DOCTYPE is not allowed in a document");
            return false;
        }
    }
    const pugi::xml_node root = xml.document_element();
    if (!root) {
        if (error)
            *error = QStringLiteral("no root element");
        return false;
    }
    richtext::RVDocument doc;
    doc.baseDir = baseDir;
    try {
        Reader(data, doc, notes).readRoot(root);
    } catch (const ParseError &e) {
        if (error)
            *error = e.text;
        return false;
    }
    out = std::move(doc);
    return true;
}

bool loadRvf(const QString &path, richtext::RVDocument &out, QString *error)
{
    // A FIFO or a device would block open() or never end.
    if (QFileInfo::exists(path) && !files::isRegular(path)) {
        if (error)
            *error = QStringLiteral("not a regular file");
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    if (f.size() > kRvfMaxBytes) {
        if (error)
            *error = QStringLiteral("the file is larger than %1 bytes").arg(kRvfMaxBytes);
        return false;
    }
    // A buffer the size of the file, not of the bound: asking for the bound
    // mapped and released 16 MiB for every page opened. A file that grew
    // since is read on, up to one byte past the bound.
    QByteArray data = f.read(std::min<qint64>(f.size(), kRvfMaxBytes) + 1);
    if (f.error() == QFileDevice::NoError && !f.atEnd() && data.size() <= kRvfMaxBytes)
        data += f.read(kRvfMaxBytes + 1 - data.size());
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return parseRvf(data, QFileInfo(path).absolutePath(), out, error);
}

namespace {

QString checkpointElement(const richtext::RVCheckpoint &cp)
{
    return QStringLiteral("<cp name=\"%1\" tag=\"%2\" event=\"%3\"/>")
        .arg(xmlEscape(cp.name, true))
        .arg(cp.tag)
        .arg(cp.raiseEvent ? 1 : 0);
}

// A picture's path, relative to the document, is written relative to the
// folder the document goes to.
QString pictureElement(const richtext::RVItem &item, const QDir &source, const QDir &target)
{
    QString src = item.picturePath;
    if (QFileInfo(src).isRelative())
        src = target.relativeFilePath(source.absoluteFilePath(src));
    QString x = QStringLiteral("<img src=\"%1\"").arg(xmlEscape(src, true));
    if (item.pictureJump)
        x += QLatin1String(" jump=\"1\"");
    if (!item.pictureAlt.isEmpty())
        x += QStringLiteral(" alt=\"%1\"").arg(xmlEscape(item.pictureAlt, true));
    if (item.pictureWidth > 0)
        x += QStringLiteral(" width=\"%1\"").arg(item.pictureWidth);
    if (item.pictureHeight > 0)
        x += QStringLiteral(" height=\"%1\"").arg(item.pictureHeight);
    x += QLatin1String("/>");
    return x;
}

} // namespace

QByteArray serializeRvf(const richtext::RVDocument &doc, const QString &targetDir)
{
    const QDir source(doc.baseDir.isEmpty() ? QDir::currentPath() : doc.baseDir);
    const QDir target(targetDir.isEmpty() ? QDir::currentPath() : targetDir);

    QString x;
    x += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rvf version=\"1\">\n");
    size_t cpNext = 0;
    const auto &cps = doc.checkpoints;
    auto writeCheckpoints = [&](int itemIndex, const char *indent) {
        while (cpNext < cps.size() && cps[cpNext].itemIndex == itemIndex) {
            const richtext::RVCheckpoint &cp = cps[cpNext++];
            x += QLatin1String(indent);
            x += checkpointElement(cp);
            if (*indent)
                x += QLatin1Char('\n');
        }
    };

    bool inPara = false;
    for (qsizetype i = 0; i < doc.items.size(); ++i) {
        const richtext::RVItem &item = doc.items[i];
        const bool opens = i == 0 || item.kind == richtext::RVItem::Kind::Break || item.start == richtext::RVItem::Start::NewParagraph
                           || !inPara;
        if (opens && inPara) {
            x += QLatin1String("</p>\n");
            inPara = false;
        }
        // A checkpoint on a paragraph's first item sits before the paragraph;
        // on a later item, inside it.
        writeCheckpoints(int(i), inPara ? "" : "  ");
        if (item.kind == richtext::RVItem::Kind::Break) {
            x += QLatin1String("  <hr/>\n");
            continue;
        }
        if (!inPara) {
            x += QStringLiteral("  <p para=\"%1\">").arg(std::max(0, item.paraNo));
            inPara = true;
        } else if (item.start == richtext::RVItem::Start::NewLine) {
            x += QLatin1String("<br/>");
        }
        switch (item.kind) {
        case richtext::RVItem::Kind::Text:
            x += QStringLiteral("<t style=\"%1\">%2</t>").arg(std::max(0, item.styleNo)).arg(xmlEscape(item.text, false));
            break;
        case richtext::RVItem::Kind::Tab:
            x += QStringLiteral("<tab style=\"%1\"/>").arg(std::max(0, item.styleNo));
            break;
        case richtext::RVItem::Kind::Picture:
            x += pictureElement(item, source, target);
            break;
        case richtext::RVItem::Kind::Break:
            break;
        }
    }
    if (inPara)
        x += QLatin1String("</p>\n");
    // The end checkpoints.
    while (cpNext < cps.size()) {
        x += QLatin1String("  ") + checkpointElement(cps[cpNext++]) + QLatin1Char('\n');
    }
    x += QLatin1String("</rvf>\n");
    return x.toUtf8();
}

bool saveRvf(const QString &path, const richtext::RVDocument &doc)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = serializeRvf(doc, QFileInfo(path).absolutePath());
    if (f.write(data) != data.size())
        return false;
    return f.commit();
}
