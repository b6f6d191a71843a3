#pragma once

// Generated inputs of the benchmarks, written once per run into a scratch
// folder: a course data document of many learners, large banks, a lecture
// many times its length.

#include "core/LineCodec.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace benchdata {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The course's lecture list, then `learners` learners of `results` test
// results each, as the program itself writes them (no indentation).
inline QByteArray courseData(const QByteArray &courseFile, int learners, int results)
{
    // Keep the shipped head (info, course) and replace the learner list.
    const qsizetype users = courseFile.indexOf("<users");
    QByteArray out = courseFile.left(users > 0 ? users : 0);
    if (out.isEmpty())
        out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<d><first/><course><lectures/></course>";
    out.reserve(qsizetype(learners) * results * 120 + out.size());
    out += "<users>";
    for (int i = 0; i < learners; ++i) {
        out += "<registred_user><name>Ученик ";
        out += QByteArray::number(i);
        out += "</name><study_info><lectures/><tests>";
        for (int r = 0; r < results; ++r) {
            out += "<one><number>";
            out += QByteArray::number(r % 9);
            out += "</number><date>Tue Mar 08 14:05:09 2005\n</date><right>";
            out += QByteArray::number((i + r) % 101);
            out += "</right><time>не определено</time></one>";
        }
        out += "</tests><bookmarks><one><title>Лекция 3</title><id>3</id><increment>0</increment>"
               "</one></bookmarks></study_info><date>Tue Mar 08 14:05:09 2005\n</date>"
               "<sourname>Иванов</sourname><group>ИВТ-1</group><mail>a@b.c</mail></registred_user>";
    }
    out += "</users></course_data>\n";
    return out;
}

// A question bank of `questions` coded lines, CR LF separated.
inline QByteArray questionBank(int questions)
{
    QByteArray out;
    for (int i = 0; i < questions; ++i) {
        out += core::EncodeLine(QStringLiteral("%1 %2 Сколько бит в байте, если в килобайте %3 байт?")
                              .arg(i % 8 + 1)
                              .arg(i / 8 + 1)
                              .arg(i))
                   .toLatin1();
        out += "\r\n";
    }
    return out;
}

// Five answer records per question.
inline QByteArray answerBank(int questions)
{
    QByteArray out;
    for (int i = 0; i < questions; ++i) {
        for (int k = 0; k < 5; ++k) {
            out += core::EncodeLine(QStringLiteral("%1 %2 %3 Вариант ответа номер %4")
                                  .arg(i % 8 + 1)
                                  .arg(i / 8 + 1)
                                  .arg(k == 0 ? 1 : 0)
                                  .arg(k))
                       .toLatin1();
            out += "\r\n";
        }
    }
    return out;
}

// A lecture document `times` its length, still a valid document of the
// format: the items between <rvf> and </rvf> repeated. Its links past the
// first copy number beyond the course's pages; nothing here follows them.
inline QByteArray repeatedDocument(const QByteArray &rvf, int times)
{
    const qsizetype root = rvf.indexOf("<rvf");
    const qsizetype open = root < 0 ? -1 : rvf.indexOf('>', root);
    const qsizetype close = rvf.lastIndexOf("</rvf>");
    if (open < 0 || close < open || rvf.at(open - 1) == '/')
        return {};
    const QByteArray body = rvf.mid(open + 1, close - open - 1);
    QByteArray out = rvf.left(open + 1);
    out.reserve(rvf.size() + body.size() * (times - 1));
    for (int i = 0; i < times; ++i)
        out += body;
    out += rvf.mid(close);
    return out;
}

} // namespace benchdata
