#include "learners/CourseData.h"
#include "common/LearnerTexts.h"
#include "learners/CourseData_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kData = QStringLiteral(TARVEL_TEST_DATA "/learners/");

// The smallest document with the three containers the program reads.
const QByteArray kMinimal = "<d><first/><course><lectures/></course><users/></d>";

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QDateTime fixedTime()
{
    return QDateTime(QDate(2005, 3, 8), QTime(14, 5, 9));
}

// What the program writes before the document element.
QByteArray declared(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body;
}

} // namespace

class TestCourseData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void scanFindsMarkupAtEveryPlace();
    void brokenInputsAreRefused_data();
    void brokenInputsAreRefused();
    void oversizedAndDeepInput();
    void loadsOncePerRun();
    void failedAccesses();
    void lookupsByPositionAndName();
    void elementValues_data();
    void elementValues();
    void registerChangeDelete();
    void testAndBookmarkRecords();
    void missingContainersAreCreated();
    void readsFixture();
    void timeStamp_data();
    void timeStamp();
    void encodingsRoundTrip_data();
    void encodingsRoundTrip();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void savesInARowWriteWholeDocuments();
    void referencedWhitespaceIsNoNode();
    void unwritableTextKeepsOldFile();
    void fifoIsRefusedUnopened();

private:
    // Writes bytes as dect.chh in a fresh folder and loads it.
    void loadFrom(const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<learners::CourseData> m_data;
    QString m_path;
};

void TestCourseData::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("dect.chh"));
    m_data = std::make_unique<learners::CourseData>(m_path);
    learners::CourseData::setClock(fixedTime);
}

void TestCourseData::cleanup()
{
    learners::CourseData::setClock({});
    m_data.reset();
    m_dir.reset();
}

void TestCourseData::loadFrom(const QByteArray &bytes)
{
    writeBytes(m_path, bytes);
    m_data->LoadCourseData();
    QVERIFY(m_data->isLoaded());
}

void TestCourseData::brokenInputsAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing file") << QByteArray() << QStringLiteral("файл не найден");
    QTest::newRow("empty file") << QByteArray("") << QStringLiteral("ошибка разметки");
    QTest::newRow("mismatched tag") << QByteArray("<d><a></b></d>")
                                    << QStringLiteral("ошибка разметки XML в строке 1");
    QTest::newRow("unclosed, error on line 3")
        << QByteArray("<d>\n<a>\n<b>") << QStringLiteral("в строке 3");
    QTest::newRow("text only") << QByteArray("just text") << QStringLiteral("ошибка разметки");
    QTest::newRow("broken start tag") << QByteArray("<d><users><u <name/></u></users></d>")
                                      << QStringLiteral("испорчен");
    QTest::newRow("internal entities (billion laughs)")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE d [<!ENTITY a \"aaaa\">"
                      "<!ENTITY b \"&a;&a;&a;&a;\">]>\n<d>&b;</d>")
        << QStringLiteral("DTD");
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><d>&x;</d>")
        << QStringLiteral("DTD");
    QTest::newRow("external DTD") << QByteArray("<!DOCTYPE d SYSTEM \"http://example.org/d.dtd\"><d/>")
                                  << QStringLiteral("DTD");
    QTest::newRow("undeclared entity")
        << QByteArray("<d><first/><c><l/></c><u>&x;</u></d>") << QStringLiteral("«&x;» (строка 1)");
    QTest::newRow("stray ampersand in attribute")
        << QByteArray("<d>\n<a id=\"R&D\"/></d>") << QStringLiteral("(строка 2)");
    QTest::newRow("invalid UTF-8") << QByteArray("<d>\xC0\xC1</d>") << QStringLiteral("UTF-8");
    QTest::newRow("UTF-8 surrogate and overlong forms")
        << QByteArray("<d>\xED\xA0\x80\xE0\x80\x80</d>") << QStringLiteral("UTF-8");
    QTest::newRow("invalid UTF-8 in a comment") << QByteArray("<d><!-- \xFF --></d>") << QStringLiteral("UTF-8");
    QTest::newRow("invalid UTF-8 after refused markup")
        << QByteArray("<!DOCTYPE d><d>\xC3</d>") << QStringLiteral("UTF-8");
    QTest::newRow("undefined Windows-1251 byte")
        << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?><d>\x98</d>")
        << QStringLiteral("windows-1251");
    QTest::newRow("unknown encoding")
        << QByteArray("<?xml version=\"1.0\" encoding=\"koi8-r\"?><d/>") << QStringLiteral("koi8-r");
    // Skipped by the parser, it would merge the texts around it into one
    // node once saved and move the records after it (found by fuzzing).
    QTest::newRow("XML declaration inside the learner list")
        << QByteArray("<d><first/><c><l/></c><u>a<?xml?>b\n<r/></u></d>")
        << QStringLiteral("объявление XML внутри документа (строка 1)");
    QTest::newRow("XML declaration inside, upper case, on line 2")
        << QByteArray("<?xml version=\"1.0\"?>\n<d><first/><c><l/></c><u><?XML version=\"1.0\"?></u></d>")
        << QStringLiteral("(строка 2)");
    // The parser would take these and the next save write bytes that are
    // not UTF-8, locking everyone out at the next start; a NUL it drops.
    QTest::newRow("reference to a surrogate pair")
        << QByteArray("<d><first/><c><l/></c><u><r><name>&#xD83D;&#xDE00;</name></r></u></d>")
        << QStringLiteral("недопустимая ссылка на символ «&#xD83D;» (строка 1)");
    QTest::newRow("reference past U+10FFFF, in an attribute")
        << QByteArray("<d>\n<a v=\"&#x110000;\"/></d>") << QStringLiteral("«&#x110000;» (строка 2)");
    QTest::newRow("decimal reference to NUL") << QByteArray("<d>A&#0;B</d>") << QStringLiteral("«&#0;»");
    QTest::newRow("reference to U+FFFF") << QByteArray("<d>&#65535;</d>") << QStringLiteral("«&#65535;»");
    QTest::newRow("reference with too many digits")
        << QByteArray("<d>&#x0000000041;</d>") << QStringLiteral("ссылка на символ");
    QTest::newRow("reference without digits") << QByteArray("<d>&#x;</d>") << QStringLiteral("«&#x;»");
    // Kept by the parser, but saved as a reference that the next start
    // would refuse (found by fuzzing).
    QTest::newRow("raw control character")
        << QByteArray("<d>\n<a>x\x02y</a></d>") << QStringLiteral("управляющий символ с кодом 2 (строка 2)");
    QTest::newRow("UTF-16 cut in half a unit") << QByteArray("\xFF\xFE<\0d\0/\0>", 9)
                                               << QStringLiteral("UTF-16");
}

// The check before parsing steps over plain text many bytes at a time:
// what it must refuse is found, and what it must let through is let
// through, wherever it stands among the bytes around it, after ASCII text
// or after Cyrillic letters.
void TestCourseData::scanFindsMarkupAtEveryPlace()
{
    struct Case
    {
        const char *name;
        QByteArray markup;
        QString reason; // empty: the file loads
    };
    const QList<Case> cases = {
        {"document type", "<!DOCTYPE d>", QStringLiteral("DTD")},
        {"unknown entity", "&x;", QStringLiteral("неизвестная ссылка на сущность «&x;»")},
        {"control character", "a\x02", QStringLiteral("управляющий символ с кодом 2")},
        {"declaration inside", "<?xml?>", QStringLiteral("объявление XML внутри документа")},
        {"reference to a surrogate", "&#xD800;", QStringLiteral("недопустимая ссылка на символ")},
        {"overlong form", "\xC0\x80", QStringLiteral("UTF-8")},
        {"letter cut before a tag", "\xD0<b/>", QStringLiteral("UTF-8")},
        {"two leads", "\xD0\xD0\x96", QStringLiteral("UTF-8")},
        {"lone continuation", "\x96", QStringLiteral("UTF-8")},
        {"surrogate in UTF-8", "\xED\xA0\x80", QStringLiteral("UTF-8")},
        {"letter cut at the end", "\xD0", QStringLiteral("UTF-8")},
        {"Cyrillic", "Жук и ёж", QString()},
        {"three- and four-byte letters", "€ 😀", QString()},
        {"tags and references", "<b>x</b><c/>&amp;&#1046;&lt;", QString()},
        {"comment and instruction", "<!-- Ж&x; --><?pi Ж?>", QString()},
        {"line breaks and tabs", "\r\n\tЖ\n", QString()},
    };
    for (const Case &c : cases) {
        for (int offset = 0; offset < 40; ++offset) {
            for (const bool cyrillic : {false, true}) {
                QByteArray pad = cyrillic ? QStringLiteral("Ж").toUtf8().repeated(offset / 2) : QByteArray(offset, 'a');
                if (cyrillic && offset % 2)
                    pad += 'a';
                const QByteArray bytes = "<d><first/><course><lectures/></course><users/><x>" + pad +
                                         c.markup + "</x></d>";
                const QString where = QStringLiteral("%1, %2 bytes of %3 before")
                                          .arg(QLatin1String(c.name))
                                          .arg(offset)
                                          .arg(cyrillic ? QStringLiteral("letters") : QStringLiteral("ASCII"));
                writeBytes(m_path, bytes);
                learners::CourseData data(m_path);
                QString message;
                try {
                    data.LoadCourseData();
                } catch (const learners::CourseDataError &e) {
                    message = e.message();
                }
                if (c.reason.isEmpty())
                    QVERIFY2(message.isEmpty(), qPrintable(where + QStringLiteral(": ") + message));
                else
                    QVERIFY2(message.contains(c.reason), qPrintable(where + QStringLiteral(": ") + message));
            }
        }
    }
}

// A file that cannot be parsed leaves the document unloaded, and nothing
// the program does afterwards may replace it.
void TestCourseData::brokenInputsAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const bool missing = bytes.isNull();
    if (!missing)
        writeBytes(m_path, bytes);

    try {
        m_data->LoadCourseData();
        QFAIL("the file was accepted");
    } catch (const learners::CourseDataError &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Не удалось прочитать данные учеников (dect.chh): ")),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        // In Russian: the parser's and the system's own words go to stderr.
        QVERIFY2(testsupport::englishWords(e.message()).isEmpty(), qPrintable(e.message()));
    }
    QVERIFY(!m_data->isLoaded());

    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->SaveCourseData());
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->registerLearner("А", "Б", "В", "Г"));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->learnerNames());
    QCOMPARE(QFile::exists(m_path), !missing);
    if (!missing)
        QCOMPARE(readBytes(m_path), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), missing ? 0 : 1);
}

void TestCourseData::oversizedAndDeepInput()
{
    // Past the bound the file is refused unread, and left alone.
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(learners::CourseData::kMaxFileBytes + 1));
    }
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->LoadCourseData());
    QVERIFY(!m_data->isLoaded());
    QCOMPARE(QFileInfo(m_path).size(), learners::CourseData::kMaxFileBytes + 1);

    // Deep nesting is no threat to the stack: load, change, save, reload.
    const int depth = 200000;
    QByteArray deep = "<d><first/><course><lectures/></course><users/><x>";
    deep += QByteArray("<n>").repeated(depth) + QByteArray("</n>").repeated(depth) + "</x></d>";
    loadFrom(deep);
    m_data->registerLearner("Оля", "", "", "");
    learners::CourseData reread(m_path);
    reread.LoadCourseData();
    QCOMPARE(reread.learnerNames(), QStringList{"Оля"});
}

void TestCourseData::loadsOncePerRun()
{
    loadFrom(kMinimal);
    m_data->registerLearner("Анна", "", "", "");
    // Changes made by others later are not seen: the document is loaded once.
    writeBytes(m_path, kMinimal);
    m_data->LoadCourseData();
    QCOMPARE(m_data->learnerNames(), QStringList{"Анна"});
}

// Positions past the end, values that are not values: each access throws.
void TestCourseData::failedAccesses()
{
    loadFrom("<d><first/><course/></d>");
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::learnerList(*m_data));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->learnerNames());
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::lectureList(*m_data)); // course without children

    learners::CourseData other(m_dir->filePath("other.chh"));
    writeBytes(other.fileName(), "<d><first/><course><l/></course>"
                                 "<users><u><name>А<b/></name></u><!--note--></users></d>");
    other.LoadCourseData();
    // The comment is a note, not a learner: one record.
    QCOMPARE(other.learnerCount(), 1);
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::learner(other, 1));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::learner(other, -1));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, other.learnerNames()); // name holds two nodes
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, other.learnerFields(1)); // no second record
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, other.changeLearner(0, "Б", "", "", ""));
    // Nothing half-changed is left in memory, nothing reached the file.
    QVERIFY(!other.serialize().contains("sourname"));
}

void TestCourseData::lookupsByPositionAndName()
{
    loadFrom("<r>\n  <!--c-->\n  <?a x?>\n  <a>1</a>\n  <b/>\n  <a>2</a>\n</r>");
    const pugi::xml_node r = learners::dom::documentElement(*m_data);
    QCOMPARE(learners::dom::childCount(r), 5); // indentation is no child; comment and PI are
    QCOMPARE(learners::dom::childAt(r, 0).type(), pugi::node_comment);
    QCOMPARE(learners::dom::childAt(r, 1).type(), pugi::node_pi);
    QCOMPARE(learners::dom::value(learners::dom::childAt(r, 4)), QStringLiteral("2"));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::childAt(r, 5));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::childAt(r, -1));

    QCOMPARE(learners::dom::value(learners::dom::child(r, "a")), QStringLiteral("1"));
    // A name that is not there is appended empty and belongs to the document.
    const pugi::xml_node z = learners::dom::child(r, "z");
    QCOMPARE(learners::dom::childCount(r), 6);
    QCOMPARE(learners::dom::childAt(r, 5), z);
    QCOMPARE(learners::dom::value(z), QString());
    QCOMPARE(learners::dom::child(r, "z"), z);
    m_data->SaveCourseData();
    QCOMPARE(readBytes(m_path), declared("<r><!--c--><?a x?><a>1</a><b/><a>2</a><z/></r>"));
}

void TestCourseData::elementValues_data()
{
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty tag") << QByteArray("<v/>") << true << QString();
    QTest::newRow("open and close") << QByteArray("<v></v>") << true << QString();
    QTest::newRow("not trimmed") << QByteArray("<v> a b </v>") << true << QStringLiteral(" a b ");
    QTest::newRow("predefined entities")
        << QByteArray("<v>&lt;a&gt; &amp; &quot;&apos;&#1025;</v>") << true
        << QStringLiteral("<a> & \"'Ё");
    QTest::newRow("CDATA") << QByteArray("<v><![CDATA[x<y&z]]></v>") << true
                           << QStringLiteral("x<y&z");
    QTest::newRow("line feed kept, CR LF made LF")
        << QByteArray("<v>Tue\r\n</v>") << true << QStringLiteral("Tue\n");
    QTest::newRow("child element") << QByteArray("<v><w/></v>") << false << QString();
    QTest::newRow("text and element") << QByteArray("<v>a<w/></v>") << false << QString();
    QTest::newRow("text, comment, text") << QByteArray("<v>a<!--c-->b</v>") << false << QString();
    QTest::newRow("comment only") << QByteArray("<v><!--c--></v>") << false << QString();
}

void TestCourseData::elementValues()
{
    QFETCH(QByteArray, element);
    QFETCH(bool, valid);
    QFETCH(QString, expected);
    loadFrom("<r>" + element + "</r>");
    const pugi::xml_node v = learners::dom::childAt(learners::dom::documentElement(*m_data), 0);
    if (!valid) {
        QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::value(v));
        QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, learners::dom::setValue(v, "x"));
        return;
    }
    QCOMPARE(learners::dom::value(v), expected);
    // Writing makes the text the only content; the empty text leaves none.
    learners::dom::setValue(v, QStringLiteral("Жёлтый <&>"));
    QCOMPARE(learners::dom::value(v), QStringLiteral("Жёлтый <&>"));
    QCOMPARE(learners::dom::childCount(v), 1);
    learners::dom::setValue(v, QString());
    QCOMPARE(learners::dom::childCount(v), 0);
}

void TestCourseData::registerChangeDelete()
{
    loadFrom(kMinimal);
    m_data->registerLearner("Дмитрий", "Петров", "ИВТ-11", "");
    // Every change is on disk at once, in the fixed order, without indentation.
    const QByteArray first =
        "<registred_user><name>Дмитрий</name><study_info><lectures/><tests/><bookmarks/>"
        "</study_info><date>Tue Mar 08 14:05:09 2005\n</date><sourname>Петров</sourname>"
        "<group>ИВТ-11</group><mail/></registred_user>";
    QCOMPARE(readBytes(m_path),
             declared("<d><first/><course><lectures/></course><users>" + first + "</users></d>"));

    m_data->registerLearner("", "", "", "");
    m_data->registerLearner("Зоя", "Зуева", "", "zoya@example.org");
    QCOMPARE(m_data->learnerNames(), (QStringList{"Дмитрий", "неизвестен", "Зоя"}));
    m_data->addTestResult(2, "4", 90);

    // A change rewrites the four fields and leaves the date and results alone.
    learners::CourseData::setClock([] { return QDateTime(QDate(2024, 1, 1), QTime(0, 0)); });
    m_data->changeLearner(0, "", "Иванов", "Г-1", "d@example.org");
    const learners::CourseData::Learner changed = m_data->learnerFields(0);
    QCOMPARE(changed.name, QStringLiteral("неизвестен"));
    QCOMPARE(changed.sourname, QStringLiteral("Иванов"));
    QCOMPARE(changed.group, QStringLiteral("Г-1"));
    QCOMPARE(changed.mail, QStringLiteral("d@example.org"));
    QCOMPARE(changed.date, QStringLiteral("Tue Mar 08 14:05:09 2005\n"));

    // Removing position 1 of 3 moves the last learner up, with its results.
    m_data->deleteLearner(1);
    QCOMPARE(m_data->learnerNames(), (QStringList{"неизвестен", "Зоя"}));
    QCOMPARE(m_data->testRecords(1).size(), 1);
    QCOMPARE(m_data->testRecords(1).at(0).right, QStringLiteral("90"));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->deleteLearner(2));

    learners::CourseData reread(m_path);
    reread.LoadCourseData();
    QCOMPARE(reread.serialize(), m_data->serialize());
    QCOMPARE(reread.learnerFields(1).mail, QStringLiteral("zoya@example.org"));
}

void TestCourseData::testAndBookmarkRecords()
{
    loadFrom(kMinimal);
    m_data->registerLearner("Ира", "", "", "");
    const QByteArray before = readBytes(m_path);
    m_data->addTestResult(0, "0", 45);
    m_data->addBookmark(0, 3);
    m_data->addBookmark(0, 11);
    const QByteArray after = readBytes(m_path);
    QVERIFY(after.contains(
        "<tests><one><number>0</number><date>Tue Mar 08 14:05:09 2005\n</date><right>45</right>"
        "<time>не определено</time></one></tests>"));
    QVERIFY(after.contains("<bookmarks><one><title>Лекция 3</title><id>3</id><increment>0"
                           "</increment></one><one><title>Лекция 11</title><id>11</id>"
                           "<increment>0</increment></one></bookmarks>"));
    QVERIFY(before != after);

    QCOMPARE(m_data->bookmarks(0).size(), 2);
    m_data->deleteBookmark(0, 0);
    const auto marks = m_data->bookmarks(0);
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks.at(0).title, QStringLiteral("Лекция 11"));
    QCOMPARE(marks.at(0).page, 11);
    QCOMPARE(marks.at(0).increment, 0);
    QVERIFY(!readBytes(m_path).contains("Лекция 3"));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->deleteBookmark(0, 1));
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->addTestResult(1, "1", 10));

    const auto tests = m_data->testRecords(0);
    QCOMPARE(tests.size(), 1);
    QCOMPARE(tests.at(0).number, QStringLiteral("0"));
    QCOMPARE(tests.at(0).date, QStringLiteral("Tue Mar 08 14:05:09 2005\n"));

    // A bookmark whose page is not a number fails the list.
    learners::dom::setValue(learners::dom::child(learners::dom::childAt(learners::dom::bookmarksOf(*m_data, 0), 0), "id"),
                         "x1");
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError, m_data->bookmarks(0));
}

// A record without study_info gets its containers with the first result.
void TestCourseData::missingContainersAreCreated()
{
    QVERIFY(QFile::copy(kData + "dect-utf8.chh", m_path));
    m_data->LoadCourseData();
    QCOMPARE(m_data->testRecords(2).size(), 0); // created in memory only
    QVERIFY(!readBytes(m_path).contains("<registred_user><name>Вера</name><study_info>"));
    m_data->addBookmark(2, 5);
    QVERIFY(readBytes(m_path).contains(
        "<registred_user><name>Вера</name><study_info><tests/><bookmarks><one><title>Лекция 5"
        "</title><id>5</id><increment>0</increment></one></bookmarks></study_info>"
        "</registred_user>"));
}

void TestCourseData::readsFixture()
{
    QVERIFY(QFile::copy(kData + "dect-utf8.chh", m_path));
    m_data->LoadCourseData();
    QCOMPARE(m_data->learnerNames(), (QStringList{"Анна", "Борис", "Вера"}));
    // Fields are found by name, whatever their order.
    const learners::CourseData::Learner boris = m_data->learnerFields(1);
    QCOMPARE(boris.sourname, QStringLiteral("Борисов"));
    QCOMPARE(boris.mail, QStringLiteral("boris@example.org"));
    QCOMPARE(boris.date, QStringLiteral("Wed Mar 09 10:00:00 2005\n"));
    QCOMPARE(m_data->learnerFields(0).mail, QString());

    const auto marks = m_data->bookmarks(1);
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks.at(0).page, 4);
    QCOMPARE(marks.at(0).increment, 50);
    const auto tests = m_data->testRecords(0);
    QCOMPARE(tests.size(), 1);
    QCOMPARE(tests.at(0).number, QStringLiteral("3"));
    QCOMPARE(tests.at(0).right, QStringLiteral("85"));

    const auto lectures = m_data->lectures();
    QCOMPARE(lectures.size(), 2);
    QCOMPARE(lectures.at(0).id, QStringLiteral("0"));
    QCOMPARE(lectures.at(0).sections.size(), 0); // three children, no sections
    QCOMPARE(lectures.at(1).description, QStringLiteral("Лекция 1. Информация и её измерение"));
    QCOMPARE(lectures.at(1).sections.size(), 2);
    QCOMPARE(lectures.at(1).sections.at(1).mark, QStringLiteral("1.2"));
    QCOMPARE(lectures.at(1).sections.at(1).title, QStringLiteral("Единицы измерения & <биты>"));
}

void TestCourseData::timeStamp_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example") << fixedTime() << QStringLiteral("Tue Mar 08 14:05:09 2005\n");
    QTest::newRow("midnight, Sunday, padded day")
        << QDateTime(QDate(2023, 1, 1), QTime(0, 0, 0)) << QStringLiteral("Sun Jan 01 00:00:00 2023\n");
    QTest::newRow("last second of a year")
        << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << QStringLiteral("Fri Dec 31 23:59:59 1999\n");
    QTest::newRow("leap day")
        << QDateTime(QDate(2024, 2, 29), QTime(9, 7, 3)) << QStringLiteral("Thu Feb 29 09:07:03 2024\n");
    QTest::newRow("UTC given, local written")
        << QDateTime(QDate(2010, 6, 15), QTime(12, 0, 0)).toUTC()
        << QStringLiteral("Tue Jun 15 12:00:00 2010\n");
}

void TestCourseData::timeStamp()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, expected);
    const QString stamp = learners::CourseData::timeStamp(time);
    QCOMPARE(stamp, expected);
    QCOMPARE(stamp.size(), 25);
}

void TestCourseData::encodingsRoundTrip_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("UTF-8") << QStringLiteral("dect-utf8.chh");
    QTest::newRow("Windows-1251") << QStringLiteral("dect-cp1251.chh");
    QTest::newRow("UTF-16 LE") << QStringLiteral("dect-utf16le.chh");
    QTest::newRow("UTF-16 BE") << QStringLiteral("dect-utf16be.chh");
    QTest::newRow("UTF-8 with BOM") << QStringLiteral("bom");
    QTest::newRow("Windows-1251, declared loosely") << QStringLiteral("loose");
}

// Every encoding reads to the same document; the program writes UTF-8 that
// reads back unchanged, Cyrillic included.
void TestCourseData::encodingsRoundTrip()
{
    QFETCH(QString, fixture);
    if (fixture == QLatin1String("bom")) {
        writeBytes(m_path, "\xEF\xBB\xBF" + readBytes(kData + "dect-utf8.chh"));
    } else if (fixture == QLatin1String("loose")) {
        // Another quote, spaces round "=", upper case, another attribute.
        QByteArray bytes = readBytes(kData + "dect-cp1251.chh");
        bytes.replace("<?xml version=\"1.0\" encoding=\"windows-1251\"?>",
                      "<?xml version='1.0' encoding = \n'WINDOWS-1251' standalone=\"yes\"?>");
        QVERIFY(bytes.startsWith("<?xml version='1.0' encoding"));
        writeBytes(m_path, bytes);
    } else {
        QVERIFY(QFile::copy(kData + fixture, m_path));
    }
    m_data->LoadCourseData();

    learners::CourseData reference(kData + "dect-utf8.chh");
    reference.LoadCourseData();
    QCOMPARE(m_data->serialize(), reference.serialize());
    QCOMPARE(m_data->learnerFields(0).sourname, QStringLiteral("Ёлкина"));

    m_data->registerLearner("Щука", "Ъ", "№ 5", "—");
    const QByteArray written = readBytes(m_path);
    QVERIFY(written.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(!written.contains("windows-1251") && !written.contains("UTF-16"));
    QVERIFY(written.contains("<name>Щука</name>"));

    learners::CourseData reread(m_path);
    reread.LoadCourseData();
    QCOMPARE(reread.serialize(), m_data->serialize());
    QCOMPARE(reread.learnerFields(3).group, QStringLiteral("№ 5"));
    reread.SaveCourseData();
    QCOMPARE(readBytes(m_path), written);
}

void TestCourseData::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("disk full") << QStringLiteral("full");
    QTest::newRow("read-only folder") << QStringLiteral("readonly");
    QTest::newRow("directory in the file's place") << QStringLiteral("directory");
}

// A failed save throws, leaves what was on disk as it was, and takes the
// change back out of memory, so the learner is never told of a success.
void TestCourseData::failedSaveKeepsOldFile()
{
    QFETCH(QString, how);
    QVERIFY(QFile::copy(kData + "dect-utf8.chh", m_path));
    m_data->LoadCourseData();
    // One change saved first: the failed change goes back to the file as
    // last written, not as loaded.
    m_data->registerLearner("Первый", "", "", "");
    const QByteArray inMemory = m_data->serialize();
    const QByteArray onDisk = readBytes(m_path);

    struct rlimit oldLimit {};
    if (how == QLatin1String("full")) {
        // A file-size limit fails the write part-way, as a full disk does.
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
        struct rlimit small = oldLimit;
        small.rlim_cur = 512;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    } else if (how == QLatin1String("readonly")) {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QDir().mkpath(m_path + "/inside"));
    }

    QString message;
    try {
        m_data->registerLearner("Олег", "", "", "");
    } catch (const learners::CourseDataError &e) {
        message = e.message();
    }
    if (how == QLatin1String("full"))
        setrlimit(RLIMIT_FSIZE, &oldLimit);
    else if (how == QLatin1String("readonly"))
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY2(message.startsWith(QStringLiteral("Не удалось сохранить данные учеников (dect.chh): ")),
             qPrintable(message));
    QCOMPARE(m_data->serialize(), inMemory);
    if (how == QLatin1String("directory")) {
        QVERIFY(QFileInfo(m_path).isDir());
        QVERIFY(QFileInfo::exists(m_path + "/inside"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    } else {
        QCOMPARE(readBytes(m_path), onDisk);
        // No temporary file is left behind.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"dect.chh"});
        m_data->registerLearner("Олег", "", "", ""); // and the next save succeeds
        QVERIFY(readBytes(m_path).contains("Олег"));
    }
}

// Each save writes into the buffer of the one before: a document that grows
// and shrinks between saves is written whole every time, nothing of an
// earlier, longer save left at its end, and a failed change still goes back
// to the file as last written.
void TestCourseData::savesInARowWriteWholeDocuments()
{
    loadFrom("<d><first/><c><l/></c><users/></d>");
    const auto fileMatches = [&] {
        learners::CourseData reread(m_path);
        reread.LoadCourseData();
        QCOMPARE(reread.learnerNames(), m_data->learnerNames());
        QCOMPARE(readBytes(m_path), m_data->serialize());
    };
    const QString longName(5000, QChar(u'ж'));
    m_data->registerLearner(longName, "", "", "");
    fileMatches();
    m_data->registerLearner("Второй", "", "", "");
    fileMatches();
    m_data->deleteLearner(0);
    fileMatches();
    m_data->addBookmark(0, 3);
    fileMatches();
    // A control character is refused by the save; memory goes back to the file.
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError,
                             m_data->registerLearner(QStringLiteral("А\x02"), "", "", ""));
    fileMatches();
    QCOMPARE(m_data->learnerNames(), QStringList{"Второй"});
    m_data->changeLearner(0, longName, "", "", "");
    fileMatches();
}

// Text from references reads as the next start would read what a save
// writes for it: white space alone is no node, and a carriage return stays
// one (the save writes it as a reference again). Positions in the lists and
// values stay the same across a save.
void TestCourseData::referencedWhitespaceIsNoNode()
{
    loadFrom("<d><first/><c><l/></c><users> &#10; <u><name>&#32;</name><sourname>a&#13;b&#xD;&#xA;c</sourname>"
             "</u></users></d>");
    QCOMPARE(m_data->learnerCount(), 1);
    QCOMPARE(m_data->learnerFields(0).name, QString());
    QCOMPARE(m_data->learnerFields(0).sourname, QStringLiteral("a\rb\r\nc"));
    m_data->registerLearner("Оля", "", "", "");
    learners::CourseData reread(m_path);
    reread.LoadCourseData();
    QCOMPARE(reread.serialize(), m_data->serialize());
    // A change taken back reads the same way.
    const QByteArray before = m_data->serialize();
    QVERIFY_THROWS_EXCEPTION(learners::CourseDataError,
                             m_data->applyChange([&] {
                                 learners::dom::removeChildAt(learners::dom::learnerList(*m_data), 0);
                                 throw learners::CourseDataError(QStringLiteral("отказ"));
                             }));
    QCOMPARE(m_data->serialize(), before);
    QCOMPARE(m_data->learnerFields(0).sourname, QStringLiteral("a\rb\r\nc"));
}

// What the loader would refuse is never written: the save fails, says so and
// keeps the old file, and the change is taken back.
void TestCourseData::unwritableTextKeepsOldFile()
{
    loadFrom(kMinimal);
    const QByteArray onDisk = readBytes(m_path);
    auto refused = [&](const std::function<void()> &change) {
        try {
            change();
            QFAIL("the save succeeded");
        } catch (const learners::CourseDataError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Не удалось сохранить данные учеников (dect.chh): ")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("недопустимые")), qPrintable(e.message()));
        }
        QCOMPARE(readBytes(m_path), onDisk);
    };
    // A control character typed into a field would be written as "&#2;".
    refused([&] { m_data->registerLearner(QStringLiteral("А\x02"), "", "", ""); });
    QCOMPARE(m_data->learnerCount(), 0);
    // A lone surrogate, as the parser would store a reference to one.
    learners::dom::documentElement(*m_data).child("first").text().set("\xED\xA0\xBD");
    refused([&] { m_data->SaveCourseData(); });
}

// A FIFO in the file's place would block the start for ever in open().
void TestCourseData::fifoIsRefusedUnopened()
{
    QVERIFY(::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0);
    try {
        m_data->LoadCourseData();
        QFAIL("the FIFO was accepted");
    } catch (const learners::CourseDataError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("не обычный файл")), qPrintable(e.message()));
    }
    QVERIFY(!m_data->isLoaded());
}

QTEST_GUILESS_MAIN(TestCourseData)
#include "tst_coursedata.moc"
