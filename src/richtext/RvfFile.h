#pragma once

// Reader and writer of our document format (.rvf, see docs/rvf-format.md).

#include "richtext/RVDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Files larger than this are not documents.
constexpr qint64 kRvfMaxBytes = 16 * 1024 * 1024;
// Characters (UTF-8 bytes of its text, and one per tab, line break or
// picture) one paragraph may hold: some fifty printed pages of Russian.
constexpr qsizetype kRvfMaxParagraphChars = 200000;
// And the whole page, counted alike: twenty paragraphs at the bound. Past
// it the layout and painting of one page would hold the reader too long.
constexpr qsizetype kRvfMaxPageChars = 20 * kRvfMaxParagraphChars;

// Reads a document. On any failure returns false, leaves out untouched and,
// when error is given, says what is wrong and where.
bool loadRvf(const QString &path, richtext::RVDocument &out, QString *error = nullptr);
bool parseRvf(const QByteArray &data, const QString &baseDir, richtext::RVDocument &out, QString *error = nullptr);
// The same, also listing in notes ("line N: ...") what was read sensibly but
// should be mended in the file (the course check shows them).
bool parseRvf(const QByteArray &data, const QString &baseDir, richtext::RVDocument &out, QString *error,
              QStringList *notes);

// Writes a document atomically; relative picture paths are rewritten to be
// relative to the new file's folder. Item tags and page breaks are not stored.
bool saveRvf(const QString &path, const richtext::RVDocument &doc);
QByteArray serializeRvf(const richtext::RVDocument &doc, const QString &targetDir);
