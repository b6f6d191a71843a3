#pragma once

// Checks on the texts a learner is shown.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace testsupport {

// English words in a text a learner sees; names of files and formats, and
// what is quoted from the file, are not words of a language.
inline QStringList englishWords(const QString &text)
{
    static const QStringList names{"dect", "chh", "XML", "UTF", "DTD", "windows"};
    QStringList found;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))
            .globalMatch(QString(text).remove(QRegularExpression(QStringLiteral("«[^»]*»"))));
    while (it.hasNext()) {
        const QString word = it.next().captured();
        if (!names.contains(word))
            found << word;
    }
    return found;
}

} // namespace testsupport
