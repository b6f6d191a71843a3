#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the 8-bit code page of older course folders and of the
// learner texts the program keeps. Only what the learner records need.
namespace learners {

// Decodes Windows-1251 bytes. Returns false (and leaves *out unspecified)
// when a byte has no character in the code page (0x98).
bool decodeCp1251(const QByteArray &bytes, QString *out);

// Encodes to Windows-1251; characters the code page lacks become '?'.
QByteArray encodeCp1251(const QString &text);

// The text as it comes back from the 8-bit code page: characters the code
// page lacks become '?'.
QString throughCp1251(const QString &text);

} // namespace learners
