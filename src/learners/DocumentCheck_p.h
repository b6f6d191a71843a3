#pragma once

// The byte, UTF-8 and XML checks of the course data file, apart from the
// document model: for CourseData and its own tests only.

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

namespace learners::check {

// Brings the file's bytes to UTF-8: UTF-8 (with or without a byte-order
// mark), UTF-16 with a byte-order mark (or the XML declaration's own bytes
// showing it), or Windows-1251 when the declaration names it. Returns the
// reason on failure.
QString decodeInput(const QByteArray &raw, QByteArray *utf8);

// What one pass over a document's bytes found.
struct Scan
{
    bool utf8 = true;   // every byte is part of well-formed UTF-8
    QString reason;     // the markup that is refused, when the bytes are UTF-8
    bool charRefs = false; // the text holds character references
    bool ok() const { return utf8 && reason.isEmpty(); }
};

// Checks in one pass that the bytes are UTF-8 and hold no markup the parser
// would take differently from what a save writes (see the definition).
Scan scanDocument(const QByteArray &s);

// Makes text that came from character references what the next start would
// read from the plain characters a save writes for them.
void normalizeReferencedText(pugi::xml_document &doc);

} // namespace learners::check
