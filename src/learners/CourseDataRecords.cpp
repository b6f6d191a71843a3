// What the program keeps per learner beside the registration fields (test
// results, bookmarks, the reading place, preferences, opened lectures), the
// lecture list, and the streaming readers of the learner list. The document
// itself, its loading and saving live in CourseData.cpp.

#include "learners/CourseData.h"
#include "learners/CourseData_p.h"
#include "learners/LearnerStore.h"

#include <utility>

namespace learners {

using namespace dom;

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
