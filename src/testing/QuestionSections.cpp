#include "testing/QuestionSections.h"

#include <QFile>
#include <QFileInfo>

namespace testing {

void QuestionSections::load(const QString &fileName)
{
    m_marks.clear();
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() > kMaxBytes)
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    parse(file.read(kMaxBytes));
}

void QuestionSections::parse(const QByteArray &bytes)
{
    m_marks.clear();
    const QString text = QString::fromUtf8(bytes);
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() != 3)
            continue;
        bool lectureOk = false;
        bool numberOk = false;
        parts[0].toInt(&lectureOk);
        parts[1].toInt(&numberOk);
        if (lectureOk && numberOk)
            m_marks.insert(parts[0] + QLatin1Char(' ') + parts[1], parts[2]);
    }
}

QString QuestionSections::markOf(const QuestionRef &question) const
{
    return m_marks.value(question.lecture + QLatin1Char(' ') + question.number);
}

} // namespace testing
