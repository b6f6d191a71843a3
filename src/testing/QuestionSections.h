#pragma once

#include "testing/TestRun.h"

#include <QHash>
#include <QString>

namespace testing {

// The section each question tests, from the optional course file beside the
// banks: one line "<lecture> <number> <mark>" per question (UTF-8). A missing
// file, or a line that does not read, leaves those questions without a
// section; the review then leads to the lecture's start.
class QuestionSections
{
public:
    static constexpr char kFileName[] = "questions.sec";
    // Larger files are not a section list and are not read.
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    void load(const QString &fileName = QString::fromLatin1(kFileName));
    void parse(const QByteArray &bytes);

    // The section mark ("3.4"), or empty when none is known.
    QString markOf(const QuestionRef &question) const;
    bool isEmpty() const { return m_marks.isEmpty(); }

private:
    QHash<QString, QString> m_marks; // "lecture number" -> mark
};

} // namespace testing
