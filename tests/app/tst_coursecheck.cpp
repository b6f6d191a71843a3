#include "app/CourseCheck.h"
#include "common/TestSupport.h"
#include "richtext/RVDocument.h"
#include "richtext/RvfFile.h"

#include <QDir>
#include <QRegularExpression>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace

class TestCourseCheck : public QObject
{
    Q_OBJECT
private slots:
    void shippedCourseIsClean();
    void problemsAreNamedWithFileAndLine();
    void shippedTextsSayWhatTheProgramDoes();
};

void TestCourseCheck::shippedCourseIsClean()
{
    const QStringList problems = checkCourse(QStringLiteral(TARVEL_COURSE_DIR));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestCourseCheck::problemsAreNamedWithFileAndLine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(testsupport::copyTree(QStringLiteral(TARVEL_COURSE_DIR "/lections"),
                                  dir.filePath("lections")));
    QVERIFY(QFile::copy(QStringLiteral(TARVEL_COURSE_DIR "/dect.chh"), dir.filePath("dect.chh")));
    QVERIFY(write(dir.filePath("lections/lection2.rvf"),
                  "<?xml version=\"1.0\"?>\n<rvf version=\"1\">\n<p><q/></p>\n</rvf>\n"));
    QVERIFY(write(dir.filePath("lections/lection5.rvf"),
                  "<rvf version=\"1\">\n<p>a <t style=\"3\">wrapped\n   term</t></p>\n</rvf>\n"));
    QVERIFY(QFile::remove(dir.filePath("lections/intro.rvf")));
    QVERIFY(write(dir.filePath("dect.chh"), "<d>\n<first/>\n<course>\n</d>\n"));

    const QStringList problems = checkCourse(dir.path());
    const QStringList expectedStarts{
        "dect.chh: ",
        "lections/intro.rvf: missing",
        "lections/lection2.rvf:3: unknown element <q> in <p>",
        "lections/lection5.rvf:2: a line break inside <t>",
    };
    QCOMPARE(problems.size(), expectedStarts.size());
    for (const QString &start : expectedStarts) {
        QVERIFY2(std::any_of(problems.cbegin(), problems.cend(),
                             [&](const QString &p) { return p.startsWith(start); }),
                 qPrintable(start + "\n in \n" + problems.join(u'\n')));
    }
    // The reader's own reason for the course data names its line too.
    const QString data = *std::find_if(problems.cbegin(), problems.cend(),
                                       [](const QString &p) { return p.startsWith("dect.chh"); });
    QVERIFY2(data.contains("4"), qPrintable(data));
}

namespace {
// A document's words as a reader sees them, spaces folded.
QString plainText(const QString &path)
{
    richtext::RVDocument doc;
    QString error;
    if (!loadRvf(path, doc, &error))
        return QStringLiteral("(unreadable: %1)").arg(error);
    QString text;
    for (const richtext::RVItem &item : doc.items)
        text += item.text + u' ';
    return text.simplified();
}
} // namespace

// The help page tells the learner that the reading size and font are kept
// for each learner (they are), and the course spells «отчёт» one way.
void TestCourseCheck::shippedTextsSayWhatTheProgramDoes()
{
    const QString help = plainText(QStringLiteral(TARVEL_COURSE_DIR "/lections/info.rvf"));
    QVERIFY2(help.contains(QStringLiteral("запоминается для каждого ученика")), qPrintable(help.left(200)));
    QVERIFY(!help.contains(QStringLiteral("до конца сеанса")));
    // Namesakes are told apart in the sign-in list.
    QVERIFY(!help.contains(QStringLiteral("имена будут одинаковыми")));

    const QDir lections(QStringLiteral(TARVEL_COURSE_DIR "/lections"));
    const QRegularExpression withoutYo(QStringLiteral("\\bотчет"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::UseUnicodePropertiesOption);
    for (const QString &name : lections.entryList({QStringLiteral("*.rvf")})) {
        const QString text = plainText(lections.filePath(name));
        QVERIFY2(!text.contains(withoutYo), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestCourseCheck)
#include "tst_coursecheck.moc"
