// The dect.chh store's own promises, beyond the common contract: how its
// ids follow the document's positions, and that the file it writes is the
// file the document writes.

#include "learners/CourseData.h"
#include "learners/DectStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>

using learners::CourseData;
using learners::DectStore;
using learners::LearnerId;
using learners::StoreError;

Q_DECLARE_METATYPE(std::function<void(DectStore &, LearnerId, const QString &)>)

namespace {

const QString kFixture = QStringLiteral(TARVEL_TEST_DATA "/learners/dect-utf8.chh");

QDateTime fixedTime()
{
    return QDateTime(QDate(2005, 3, 8), QTime(14, 5, 9));
}

QStringList names(const DectStore &store)
{
    QStringList list;
    for (const learners::LearnerEntry &entry : store.learners())
        list.append(entry.name);
    return list;
}

// The kind of failure, or nothing when the call went through.
std::optional<StoreError::Kind> failure(const std::function<void()> &call)
{
    try {
        call();
    } catch (const StoreError &e) {
        return e.kind();
    }
    return std::nullopt;
}

} // namespace

class TestDectStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void idsFollowTheList();
    void writesTheFileTheDocumentWrites();
    void changesPastTheStore();
    void unreadableRecords();
    void valuesBeyondTheBoundsAreRefused_data();
    void valuesBeyondTheBoundsAreRefused();
    void fullListsTakeNoMore_data();
    void fullListsTakeNoMore();
    void noSaveLargerThanTheReaderReads();
    void carriageReturnsSurviveASave();

private:
    QString copyFixture(const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDectStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    CourseData::setClock(fixedTime);
}

void TestDectStore::cleanup()
{
    CourseData::setClock({});
    m_dir.reset();
}

QString TestDectStore::copyFixture(const QString &name)
{
    const QString path = m_dir->filePath(name);
    if (!QFile::copy(kFixture, path))
        return QString();
    return path;
}

// Ids are handed out in list order when the document is first read; a
// deletion moves the learners after it up a position, and their ids with
// them.
void TestDectStore::idsFollowTheList()
{
    CourseData data(copyFixture("dect.chh"));
    DectStore store(data);
    QVERIFY(!store.isOpen());
    store.open();
    QVERIFY(store.isOpen());
    const QVector<learners::LearnerEntry> list = store.learners();
    QCOMPARE(list.size(), 3);
    for (int i = 0; i < list.size(); ++i) {
        QVERIFY(list[i].id.isValid());
        QCOMPARE(store.idAt(i), list[i].id);
        QCOMPARE(store.positionOf(list[i].id), i);
    }
    QVERIFY(!store.idAt(3).isValid());
    QVERIFY(!store.idAt(-1).isValid());

    store.deleteLearner(list[0].id);
    QCOMPARE(store.positionOf(list[2].id), 1);
    QCOMPARE(store.learnerFormFields(list[2].id).name, QStringLiteral("Вера"));
    const LearnerId added = store.registerLearner({"Глеб", "", "", "", ""});
    QCOMPARE(store.positionOf(added), 2);
    QVERIFY(added != list[0].id);
}

// The store changes nothing in the file's format: the same changes made
// through it and through the document by position give the same bytes.
void TestDectStore::writesTheFileTheDocumentWrites()
{
    CourseData viaStore(copyFixture("a.chh"));
    CourseData direct(copyFixture("b.chh"));
    DectStore store(viaStore);
    store.open();
    direct.LoadCourseData();

    const LearnerId boris = store.idAt(1);
    const LearnerId vera = store.idAt(2);
    store.addTestResult(vera, {"3", 75, {{"3", "4", "Вопрос", {true}, true}}});
    direct.addTestResult(2, "3", 75);
    store.addBookmark(boris, 4, 35, QStringLiteral("Раздел"));
    direct.addBookmark(1, 4, 35, QStringLiteral("Раздел"));
    store.setPlace(vera, {5, 20, QStringLiteral("Итоги")});
    direct.setPlace(2, {5, 20, QStringLiteral("Итоги")});
    store.markOpened(vera, 5);
    direct.markOpened(2, 5);
    store.setPreferences(boris, learners::Preferences{"Liberation Serif", 12});
    direct.setPreferences(1, learners::Preferences{"Liberation Serif", 12});
    store.deleteLearner(boris);
    direct.deleteLearner(1);
    const LearnerId gleb = store.registerLearner({"Глеб", "Ёж", "5", "g@h.ru", ""});
    direct.registerLearner("Глеб", "Ёж", "5", "g@h.ru");
    store.changeLearner(vera, {"", "Смирнова", "6", "", ""});
    direct.changeLearner(1, "", "Смирнова", "6", "");
    store.addBookmark(vera, 6);
    direct.addBookmark(1, 6);
    store.addBookmark(vera, 7);
    direct.addBookmark(1, 7);
    store.deleteBookmark(vera, 0);
    direct.deleteBookmark(1, 0);

    QCOMPARE(viaStore.serialize(), direct.serialize());
    QFile a(viaStore.fileName()), b(direct.fileName());
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(a.readAll(), b.readAll());
    QCOMPARE(names(store), (QStringList{"Анна", "неизвестен", "Глеб"}));
    QCOMPARE(store.positionOf(gleb), 2);
}

// A change made to the document past the store: a learner appended is given
// a new id and the others keep theirs; after a learner removed, the store
// cannot know who went, so every old id is refused rather than taken to name
// the learner who moved into its position.
void TestDectStore::changesPastTheStore()
{
    CourseData data(copyFixture("dect.chh"));
    DectStore store(data);
    store.open();
    const QVector<learners::LearnerEntry> before = store.learners();

    data.registerLearner("Дина", "", "", "");
    const QVector<learners::LearnerEntry> grown = store.learners();
    QCOMPARE(grown.size(), 4);
    for (int i = 0; i < before.size(); ++i)
        QCOMPARE(grown[i].id, before[i].id);
    QVERIFY(grown[3].id.isValid());
    for (const learners::LearnerEntry &old : before)
        QVERIFY(grown[3].id != old.id);

    data.deleteLearner(0);
    for (const learners::LearnerEntry &old : grown)
        QVERIFY(failure([&] { store.learnerFormFields(old.id); }) == StoreError::Kind::NotFound);
    const QVector<learners::LearnerEntry> now = store.learners();
    QCOMPARE(now.size(), 3);
    QCOMPARE(store.learnerFormFields(now[0].id).name, QStringLiteral("Борис"));
}

// Records the document cannot read fail with the document's own message
// (a StoreError of kind Failed); the list gives what it read before the
// damage; nothing works on a store whose file was never read.
void TestDectStore::unreadableRecords()
{
    {
        CourseData data(m_dir->filePath("missing.chh"));
        DectStore store(data);
        QVERIFY(failure([&] { store.learners(); }) == StoreError::Kind::Failed);
        QVERIFY(failure([&] { store.registerLearner({"Я", "", "", "", ""}); }) == StoreError::Kind::Failed);
        QString message;
        try {
            store.open();
        } catch (const StoreError &e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Не удалось прочитать данные учеников")),
                 qPrintable(message));
        QVERIFY(!store.isOpen());
    }

    const QString path = m_dir->filePath("damaged.chh");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<d><first/><course><lectures/></course><users>"
               "<u><name>Оля</name><study_info><tests><one><number><x/></number></one></tests>"
               "</study_info></u><u><name><b/></name></u><u><name>Ян</name></u></users></d>");
    file.close();
    CourseData data(path);
    DectStore store(data);
    store.open();
    QStringList listed;
    QVERIFY(failure([&] {
                 store.readLearners([&](const learners::LearnerEntry &e) { listed.append(e.name); });
             }) == StoreError::Kind::Failed);
    QCOMPARE(listed, QStringList{"Оля"});
    QVERIFY(failure([&] { store.testRecords(store.idAt(0)); }) == StoreError::Kind::Failed);
    // The learner after the damaged one is still reached by id.
    QCOMPARE(store.learnerFormFields(store.idAt(2)).name, QStringLiteral("Ян"));
}


namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

void TestDectStore::valuesBeyondTheBoundsAreRefused_data()
{
    QTest::addColumn<QString>("field"); // named in the message
    QTest::addColumn<std::function<void(DectStore &, LearnerId, const QString &)>>("change");
    using Change = std::function<void(DectStore &, LearnerId, const QString &)>;
    QTest::newRow("surname at registration") << "Фамилия" << Change([](DectStore &s, LearnerId, const QString &v) {
        s.registerLearner({"Пётр", v, "", "", ""});
    });
    QTest::newRow("first name when changed") << "Имя" << Change([](DectStore &s, LearnerId l, const QString &v) {
        s.changeLearner(l, {v, "", "", "", ""});
    });
    QTest::newRow("group") << "Группа" << Change([](DectStore &s, LearnerId, const QString &v) {
        s.registerLearner({"Пётр", "", v, "", ""});
    });
    QTest::newRow("e-mail") << "Электронная почта" << Change([](DectStore &s, LearnerId l, const QString &v) {
        s.changeLearner(l, {"Анна", "", "", v, ""});
    });
    QTest::newRow("bookmark's section") << "Раздел закладки" << Change([](DectStore &s, LearnerId l, const QString &v) {
        s.addBookmark(l, 3, 0, v);
    });
    QTest::newRow("place's section") << "Раздел" << Change([](DectStore &s, LearnerId l, const QString &v) {
        s.setPlace(l, {3, 0, v});
    });
    QTest::newRow("font") << "Шрифт" << Change([](DectStore &s, LearnerId l, const QString &v) {
        s.setPreferences(l, learners::Preferences{v, 12});
    });
    QTest::newRow("test's topic") << "Тема теста" << Change([](DectStore &s, LearnerId l, const QString &v) {
        s.addTestResult(l, {v, 50, {}});
    });
}

// A value far longer than any a learner types (a script registering
// learners with surnames of millions of characters) is refused with the
// field named, and the file stays as it was. At the bound it goes in.
void TestDectStore::valuesBeyondTheBoundsAreRefused()
{
    using Change = std::function<void(DectStore &, LearnerId, const QString &)>;
    QFETCH(QString, field);
    QFETCH(Change, change);
    CourseData data(copyFixture("bounds.chh"));
    DectStore store(data);
    store.open();
    const LearnerId anna = store.idAt(0);
    const QByteArray before = fileBytes(data.fileName());
    for (const qsizetype length : {qsizetype(learners::LearnerStore::kMaxFieldChars) + 1, qsizetype(15000000)}) {
        try {
            change(store, anna, QString(length, QLatin1Char('x')));
            QFAIL("a value beyond the bound was taken");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("«%1»").arg(field)), qPrintable(e.message()));
        }
        QCOMPARE(fileBytes(data.fileName()), before);
    }
    change(store, anna, QString(learners::LearnerStore::kMaxFieldChars, QChar(0x0416)));
    QVERIFY(fileBytes(data.fileName()) != before);
    CourseData again(data.fileName());
    again.LoadCourseData();
}

void TestDectStore::fullListsTakeNoMore_data()
{
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("bound");
    QTest::newRow("bookmarks") << QByteArray("bookmarks")
                               << QByteArray("<one><title>Лекция 2</title><id>2</id><increment>0</increment></one>")
                               << learners::LearnerStore::kMaxBookmarks;
    QTest::newRow("test results") << QByteArray("tests")
                                  << QByteArray("<one><number>3</number><date>x</date><right>85</right>"
                                                "<time>не определено</time></one>")
                                  << learners::LearnerStore::kMaxTestResults;
}

// A learner's bookmarks and results are bounded too: a full list takes no
// more, with a message, and the file is left alone.
void TestDectStore::fullListsTakeNoMore()
{
    QFETCH(QByteArray, element);
    QFETCH(QByteArray, record);
    QFETCH(int, bound);
    QByteArray text = fileBytes(kFixture);
    const QByteArray open = "<" + element + ">";
    const qsizetype at = text.indexOf(open);
    QVERIFY(at >= 0);
    // The first learner's list, filled to the bound.
    const qsizetype end = text.indexOf("</" + element + ">", at);
    text.replace(at + open.size(), end - at - open.size(), record.repeated(bound));
    const QString path = m_dir->filePath("full.chh");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    CourseData data(path);
    DectStore store(data);
    store.open();
    const LearnerId anna = store.idAt(0);
    const auto add = [&] {
        if (element == "tests")
            store.addTestResult(anna, {"3", 50, {}});
        else
            store.addBookmark(anna, 3);
    };
    QCOMPARE(failure(add), StoreError::Kind::Failed);
    QCOMPARE(fileBytes(path), text);
}

// The course data file is never written larger than it can be read back:
// such a file would lock every learner out at the next start. The save is
// refused, the old file and the document in memory stay as they were.
void TestDectStore::noSaveLargerThanTheReaderReads()
{
    CourseData data(copyFixture("huge.chh"));
    data.LoadCourseData();
    const QByteArray before = fileBytes(data.fileName());
    const int learnersBefore = data.learnerCount();
    const QString surname(int(CourseData::kMaxFileBytes / 2) + 1, QChar(0x0416)); // two bytes each
    try {
        data.registerLearner(QStringLiteral("Пётр"), surname, QString(), QString());
        QFAIL("a file beyond the read bound was written");
    } catch (const StoreError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("МиБ")), qPrintable(e.message()));
    }
    QCOMPARE(fileBytes(data.fileName()), before);
    QCOMPARE(data.learnerCount(), learnersBefore);
    CourseData again(data.fileName());
    again.LoadCourseData();
    QCOMPARE(again.learnerCount(), learnersBefore);
}

// A carriage return in a field ("&#13;" in the file, or typed) is the same
// character after a save and a new reading, not a line feed.
void TestDectStore::carriageReturnsSurviveASave()
{
    CourseData data(copyFixture("cr.chh"));
    DectStore store(data);
    store.open();
    const LearnerId anna = store.idAt(0);
    store.changeLearner(anna, {"Анна", "a\rb", "c\r\nd", "e\n", ""});
    QVERIFY(fileBytes(data.fileName()).contains("a&#13;b"));
    for (int round = 0; round < 2; ++round) {
        CourseData again(data.fileName());
        DectStore reread(again);
        reread.open();
        const learners::LearnerFields fields = reread.learnerFormFields(reread.idAt(0));
        QCOMPARE(fields.sourname, QStringLiteral("a\rb"));
        QCOMPARE(fields.group, QStringLiteral("c\r\nd"));
        QCOMPARE(fields.mail, QStringLiteral("e\n"));
        // Saved once more from what was read: still the same.
        reread.markOpened(reread.idAt(0), 2);
    }
}

QTEST_GUILESS_MAIN(TestDectStore)
#include "tst_dectstore.moc"
