#pragma once

// The parsed course data document behind CourseData: for the model itself
// and its own tests. Nothing above the model includes this header.

#include "learners/CourseData.h"

#include <pugixml.hpp>

namespace learners {

struct CourseData::Private
{
    pugi::xml_document doc;
    // The document's file as last read or written, in UTF-8: what a failed
    // change puts the document back to.
    QByteArray saved;
    // The buffer of the save before: the next save writes into it. A large
    // document then reuses memory that is already mapped, rather than
    // faulting in tens of megabytes afresh on every save.
    QByteArray spare;
};

namespace dom {

// The document element; throws when nothing is loaded.
pugi::xml_node documentElement(const CourseData &data);

// The child at position (from 0), counting all child nodes; throws when
// there is none.
pugi::xml_node childAt(pugi::xml_node parent, int position);
int childCount(pugi::xml_node parent);
// The first child element of that name, appended empty when missing.
pugi::xml_node child(pugi::xml_node parent, const char *name);
// An element's text: empty, or its one text node. Throws for anything else.
QString value(pugi::xml_node element);
// Makes text the element's only content (nothing for the empty text).
void setValue(pugi::xml_node element, const QString &text);
// Appends an element, optionally with a value.
pugi::xml_node append(pugi::xml_node parent, const char *name);
pugi::xml_node append(pugi::xml_node parent, const char *name, const QString &text);
void removeChildAt(pugi::xml_node parent, int position);
// Whether an element is empty or holds one text: a value, not a structure.
bool holdsValue(pugi::xml_node element);
// A stored whole number; throws naming the field when it is not one.
int parseInteger(const QString &text, const char *field);

// Layout: containers found by position.
pugi::xml_node lectureList(const CourseData &data);
pugi::xml_node learnerList(const CourseData &data);
pugi::xml_node learner(const CourseData &data, int position);
// The learner records of the list in order: comments and processing
// instructions left in it by hand are passed over.
pugi::xml_node firstRecord(pugi::xml_node list);
pugi::xml_node nextRecord(pugi::xml_node record);
// The learner's study_info/tests and study_info/bookmarks containers,
// created when missing.
pugi::xml_node testsOf(const CourseData &data, int learner);
pugi::xml_node bookmarksOf(const CourseData &data, int learner);

} // namespace dom

} // namespace learners
