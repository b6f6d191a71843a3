// The dect.chh store's own promises, beyond the common contract: how its
// ids follow the document's positions, and that the file it writes is the
// file the document writes.

#include "learners/CourseData.h"
#include "learners/DectStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using learners::CourseData;
using learners::DectStore;
using learners::LearnerId;
using learners::StoreError;

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

QTEST_GUILESS_MAIN(TestDectStore)
#include "tst_dectstore.moc"
