// The learner store contract, run the same against every store of
// storeFactories(): whatever keeps the records, the screens see one
// behaviour.

#include "StoreContract.h"

#include <QTest>

#include <map>

Q_DECLARE_METATYPE(learners::LearnerFields)

using learners::LearnerFields;
using learners::LearnerId;
using learners::LearnerStore;
using learners::StoreError;

namespace {

QDateTime registrationTime()
{
    return QDateTime(QDate(2005, 3, 8), QTime(14, 5, 9));
}
const QString kRegistrationStamp = QStringLiteral("Tue Mar 08 14:05:09 2005\n");

LearnerFields fields(const QString &name, const QString &sourname = QString(),
                     const QString &group = QString(), const QString &mail = QString())
{
    return LearnerFields{name, sourname, group, mail, QString()};
}

QStringList names(const LearnerStore &store)
{
    QStringList list;
    for (const learners::LearnerEntry &entry : store.learners())
        list.append(entry.name);
    return list;
}

LearnerId idAt(const LearnerStore &store, int position)
{
    const QVector<learners::LearnerEntry> list = store.learners();
    return position < list.size() ? list[position].id : LearnerId();
}

// The learner's fields and results as the statistics view reads them.
QStringList record(const LearnerStore &store, LearnerId learner)
{
    QStringList lines;
    store.readLearnerRecord(
        learner,
        [&](const char *field, const QString &value) {
            lines.append(QString::fromLatin1(field) + u'=' + value);
        },
        [&](const learners::TestRecord &t) {
            lines.append(QStringLiteral("test %1 %2%").arg(t.number, t.right));
        });
    return lines;
}

QStringList bookmarkLines(const LearnerStore &store, LearnerId learner)
{
    QStringList lines;
    for (const learners::Bookmark &b : store.bookmarks(learner))
        lines.append(QStringLiteral("%1|%2|%3|%4").arg(b.title).arg(b.page).arg(b.increment).arg(b.section));
    return lines;
}

learners::TestResult result(const QString &topic, int percent)
{
    return learners::TestResult{topic, percent, {}};
}

} // namespace

class TestLearnerStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void registerAndList_data();
    void registerAndList();
    void changeKeepsDateAndRecords_data();
    void changeKeepsDateAndRecords();
    void deleteKeepsEveryOtherId_data();
    void deleteKeepsEveryOtherId();
    void unknownIdIsRefused_data();
    void unknownIdIsRefused();
    void testResults_data();
    void testResults();
    void bookmarks_data();
    void bookmarks();
    void placeOpenedPreferences_data();
    void placeOpenedPreferences();
    void failedChangeLeavesRecords_data();
    void failedChangeLeavesRecords();

private:
    // One row per store.
    static void addStoreRows();
    std::unique_ptr<contract::StoreUnderTest> makeStore();
};

void TestLearnerStore::initTestCase()
{
    LearnerStore::setClock(registrationTime);
}

void TestLearnerStore::cleanupTestCase()
{
    LearnerStore::setClock({});
}

void TestLearnerStore::addStoreRows()
{
    QTest::addColumn<int>("store");
    const QVector<contract::StoreFactory> factories = contract::storeFactories();
    for (int i = 0; i < factories.size(); ++i)
        QTest::newRow(qPrintable(factories[i].name)) << i;
}

std::unique_ptr<contract::StoreUnderTest> TestLearnerStore::makeStore()
{
    QFETCH(int, store);
    return contract::storeFactories().at(store).make();
}

void TestLearnerStore::registerAndList_data()
{
    QTest::addColumn<int>("store");
    QTest::addColumn<LearnerFields>("entered");
    QTest::addColumn<LearnerFields>("stored");
    const struct
    {
        const char *name;
        LearnerFields entered, stored;
    } cases[] = {
        {"every field", fields("Иван", "Петров", "9А", "ivan@example.ru"),
         fields("Иван", "Петров", "9А", "ivan@example.ru")},
        {"every field empty", fields(""), fields("неизвестен")},
        {"only a surname", fields("", "Сидорова"), fields("неизвестен", "Сидорова")},
        {"markup and quotes kept as text", fields("<Ян> & \"Ко\"", "'; DROP TABLE x; --", "a\tb", "ё@ё.рф"),
         fields("<Ян> & \"Ко\"", "'; DROP TABLE x; --", "a\tb", "ё@ё.рф")},
    };
    const QVector<contract::StoreFactory> factories = contract::storeFactories();
    for (int i = 0; i < factories.size(); ++i)
        for (const auto &c : cases)
            QTest::addRow("%s: %s", qPrintable(factories[i].name), c.name) << i << c.entered << c.stored;
}

// A new learner comes last, under an id nobody else has, with the date of
// registration, and is there after a restart.
void TestLearnerStore::registerAndList()
{
    QFETCH(LearnerFields, entered);
    QFETCH(LearnerFields, stored);
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    QVERIFY(store.isOpen());
    QVERIFY(store.learners().isEmpty());

    const LearnerId first = store.registerLearner(fields("Первый"));
    const LearnerId id = store.registerLearner(entered);
    QVERIFY(first.isValid());
    QVERIFY(id.isValid());
    QVERIFY(id != first);
    QCOMPARE(names(store), (QStringList{"Первый", stored.name}));
    QCOMPARE(idAt(store, 1), id);

    // Through fixture->store(): after reopen() the first store is gone.
    const auto check = [&](LearnerId learner) {
        const LearnerStore &store = fixture->store();
        const LearnerFields form = store.learnerFormFields(learner);
        QCOMPARE(form.name, stored.name);
        QCOMPARE(form.sourname, stored.sourname);
        QCOMPARE(form.group, stored.group);
        QCOMPARE(form.mail, stored.mail);
        QCOMPARE(record(store, learner),
                 (QStringList{"name=" + stored.name, "sourname=" + stored.sourname,
                              "group=" + stored.group, "mail=" + stored.mail,
                              "date=" + kRegistrationStamp}));
    };
    check(id);
    if (QTest::currentTestFailed())
        return;
    fixture->reopen();
    QCOMPARE(names(fixture->store()), (QStringList{"Первый", stored.name}));
    check(idAt(fixture->store(), 1));
}

void TestLearnerStore::changeKeepsDateAndRecords_data()
{
    addStoreRows();
}

// A change rewrites the four form fields only: the date, the results, the
// bookmarks and the place stay, and so does the learner's place in the list.
void TestLearnerStore::changeKeepsDateAndRecords()
{
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    const LearnerId anna = store.registerLearner(fields("Анна", "Орлова", "7Б", "a@b.ru"));
    const LearnerId boris = store.registerLearner(fields("Борис"));
    store.addTestResult(anna, result("1", 80));
    store.addBookmark(anna, 1, 30, QStringLiteral("Начало"));
    store.setPlace(anna, learners::Place{1, 30, QStringLiteral("Начало")});

    LearnerStore::setClock([] { return QDateTime(QDate(2006, 1, 2), QTime(3, 4, 5)); });
    store.changeLearner(anna, fields("", "Орлова-Ким", "8Б", ""));
    LearnerStore::setClock(registrationTime);

    for (int pass = 0; pass < 2; ++pass) {
        LearnerStore &s = fixture->store();
        const LearnerId a = pass == 0 ? anna : idAt(s, 0);
        const LearnerId b = pass == 0 ? boris : idAt(s, 1);
        QCOMPARE(names(s), (QStringList{"неизвестен", "Борис"}));
        QCOMPARE(record(s, a), (QStringList{"name=неизвестен", "sourname=Орлова-Ким", "group=8Б", "mail=",
                                            "date=" + kRegistrationStamp, "test 1 80%"}));
        QCOMPARE(bookmarkLines(s, a), QStringList{"Лекция 1|1|30|Начало"});
        QCOMPARE(s.place(a), (learners::Place{1, 30, QStringLiteral("Начало")}));
        QCOMPARE(s.learnerFormFields(b).name, QStringLiteral("Борис"));
        QVERIFY(s.testRecords(b).isEmpty());
        fixture->reopen();
    }
}

void TestLearnerStore::deleteKeepsEveryOtherId_data()
{
    addStoreRows();
}

// Deleting a learner takes everything stored under them; every other learner
// keeps their id and their records, and the id is not handed out again.
void TestLearnerStore::deleteKeepsEveryOtherId()
{
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    QVector<LearnerId> ids;
    for (const QString &name : {QStringLiteral("А"), QStringLiteral("Б"), QStringLiteral("В")}) {
        const LearnerId id = store.registerLearner(fields(name));
        store.addTestResult(id, result("0", 10 * int(ids.size() + 1)));
        store.addBookmark(id, int(ids.size()) + 1);
        store.markOpened(id, int(ids.size()) + 1);
        ids.append(id);
    }

    store.deleteLearner(ids[1]);
    QCOMPARE(names(store), (QStringList{"А", "В"}));
    QCOMPARE(record(store, ids[2]).last(), QStringLiteral("test 0 30%"));
    QCOMPARE(bookmarkLines(store, ids[2]), QStringList{"Лекция 3|3|0|"});
    QCOMPARE(store.openedPages(ids[2]), QVector<int>{3});
    QCOMPARE(record(store, ids[0]).last(), QStringLiteral("test 0 10%"));

    const LearnerId added = store.registerLearner(fields("Г"));
    QVERIFY(!ids.contains(added));
    QCOMPARE(store.learners().last().id, added);

    fixture->reopen();
    LearnerStore &again = fixture->store();
    QCOMPARE(names(again), (QStringList{"А", "В", "Г"}));
    QCOMPARE(record(again, idAt(again, 1)).last(), QStringLiteral("test 0 30%"));
    QCOMPARE(bookmarkLines(again, idAt(again, 1)), QStringList{"Лекция 3|3|0|"});
}

void TestLearnerStore::unknownIdIsRefused_data()
{
    QTest::addColumn<int>("store");
    QTest::addColumn<QString>("operation");
    const QStringList operations = {
        "learnerFormFields", "changeLearner", "deleteLearner", "claimLearner", "readLearnerRecord",
        "testRecords",       "addTestResult", "addBookmark",   "deleteBookmark", "bookmarks",
        "place",             "setPlace",      "openedPages",   "markOpened",    "preferences",
        "setPreferences",
    };
    const QVector<contract::StoreFactory> factories = contract::storeFactories();
    for (int i = 0; i < factories.size(); ++i)
        for (const QString &op : operations)
            QTest::addRow("%s: %s", qPrintable(factories[i].name), qPrintable(op)) << i << op;
}

// A deleted learner's id, and the id of nobody, are refused by every
// operation with "not found", and nothing of anybody else changes: no
// operation falls back on a neighbour in the list.
void TestLearnerStore::unknownIdIsRefused()
{
    QFETCH(QString, operation);
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    const LearnerId kept = store.registerLearner(fields("Оставленный"));
    store.addBookmark(kept, 1);
    const LearnerId gone = store.registerLearner(fields("Удалённый"));
    store.deleteLearner(gone);
    const LearnerId after = store.registerLearner(fields("Следующий"));
    store.addBookmark(after, 1);

    const std::map<QString, std::function<void(LearnerId)>> calls = {
        {"learnerFormFields", [&](LearnerId id) { store.learnerFormFields(id); }},
        {"changeLearner", [&](LearnerId id) { store.changeLearner(id, fields("X")); }},
        {"deleteLearner", [&](LearnerId id) { store.deleteLearner(id); }},
        {"claimLearner", [&](LearnerId id) { store.claimLearner(id); }},
        {"readLearnerRecord", [&](LearnerId id) { record(store, id); }},
        {"testRecords", [&](LearnerId id) { store.testRecords(id); }},
        {"addTestResult", [&](LearnerId id) { store.addTestResult(id, result("0", 50)); }},
        {"addBookmark", [&](LearnerId id) { store.addBookmark(id, 1); }},
        {"deleteBookmark", [&](LearnerId id) { store.deleteBookmark(id, 0); }},
        {"bookmarks", [&](LearnerId id) { store.bookmarks(id); }},
        {"place", [&](LearnerId id) { store.place(id); }},
        {"setPlace", [&](LearnerId id) { store.setPlace(id, learners::Place{1, 0, {}}); }},
        {"openedPages", [&](LearnerId id) { store.openedPages(id); }},
        {"markOpened", [&](LearnerId id) { store.markOpened(id, 1); }},
        {"preferences", [&](LearnerId id) { store.preferences(id); }},
        {"setPreferences", [&](LearnerId id) { store.setPreferences(id, learners::Preferences{"Arial"}); }},
    };
    for (const LearnerId id : {gone, LearnerId(), LearnerId(after.value() + 1000)}) {
        bool refused = false;
        try {
            calls.at(operation)(id);
        } catch (const StoreError &e) {
            refused = e.kind() == StoreError::Kind::NotFound && !e.message().isEmpty();
        }
        QVERIFY2(refused, qPrintable(id.toString()));
    }
    QCOMPARE(names(store), (QStringList{"Оставленный", "Следующий"}));
    for (const LearnerId id : {kept, after}) {
        QCOMPARE(bookmarkLines(store, id), QStringList{"Лекция 1|1|0|"});
        QVERIFY(store.testRecords(id).isEmpty());
        QCOMPARE(store.place(id).page, -1);
        QVERIFY(store.openedPages(id).isEmpty());
    }
}

void TestLearnerStore::testResults_data()
{
    addStoreRows();
}

// Results come back oldest first, with the time they were stored, in the
// statistics' order of fields; each learner sees only their own.
void TestLearnerStore::testResults()
{
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    const LearnerId a = store.registerLearner(fields("А"));
    const LearnerId b = store.registerLearner(fields("Б"));
    LearnerStore::setClock([] { return QDateTime(QDate(2024, 2, 29), QTime(9, 7, 3)); });
    learners::TestResult withAnswers = result("3", 100);
    withAnswers.answers.append({"3", "7", "Что такое тарвел?", {true, false, false, false, false}, true});
    store.addTestResult(a, result("0", 0));
    store.addTestResult(b, result("1", 55));
    store.addTestResult(a, withAnswers);
    LearnerStore::setClock(registrationTime);

    for (int pass = 0; pass < 2; ++pass) {
        LearnerStore &s = fixture->store();
        const LearnerId first = pass == 0 ? a : idAt(s, 0);
        const LearnerId second = pass == 0 ? b : idAt(s, 1);
        const QVector<learners::TestRecord> records = s.testRecords(first);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0].number, QStringLiteral("0"));
        QCOMPARE(records[0].right, QStringLiteral("0"));
        QCOMPARE(records[1].number, QStringLiteral("3"));
        QCOMPARE(records[1].right, QStringLiteral("100"));
        QCOMPARE(records[1].date, QStringLiteral("Thu Feb 29 09:07:03 2024\n"));
        QCOMPARE(record(s, first).mid(5), (QStringList{"test 0 0%", "test 3 100%"}));
        QCOMPARE(record(s, second).mid(5), QStringList{"test 1 55%"});
        fixture->reopen();
    }
}

void TestLearnerStore::bookmarks_data()
{
    addStoreRows();
}

// Bookmarks keep their order, title, page, increment (held to 0..100) and
// section; one is deleted by its place in the list.
void TestLearnerStore::bookmarks()
{
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    const LearnerId a = store.registerLearner(fields("А"));
    const LearnerId b = store.registerLearner(fields("Б"));
    store.addBookmark(a, 2);
    store.addBookmark(a, 5, 40, QStringLiteral("Раздел «Второй»"));
    store.addBookmark(a, 7, 250);
    store.addBookmark(b, 1, -5);
    QCOMPARE(bookmarkLines(store, a),
             (QStringList{"Лекция 2|2|0|", "Лекция 5|5|40|Раздел «Второй»", "Лекция 7|7|100|"}));
    QCOMPARE(bookmarkLines(store, b), QStringList{"Лекция 1|1|0|"});

    store.deleteBookmark(a, 1);
    QCOMPARE(bookmarkLines(store, a), (QStringList{"Лекция 2|2|0|", "Лекция 7|7|100|"}));

    // The sink form gives the same, field by field.
    QStringList seen;
    store.readBookmarks(
        a, [&](const QString &title) { seen.append(title); },
        [&](int page, int increment) { seen.append(QStringLiteral("%1/%2").arg(page).arg(increment)); });
    QCOMPARE(seen, (QStringList{"Лекция 2", "2/0", "Лекция 7", "7/100"}));

    fixture->reopen();
    QCOMPARE(bookmarkLines(fixture->store(), idAt(fixture->store(), 0)),
             (QStringList{"Лекция 2|2|0|", "Лекция 7|7|100|"}));
    QCOMPARE(bookmarkLines(fixture->store(), idAt(fixture->store(), 1)), QStringList{"Лекция 1|1|0|"});
}

void TestLearnerStore::placeOpenedPreferences_data()
{
    addStoreRows();
}

// A new learner has no place, no opened page and the program's own
// preferences; what is set comes back after a restart, per learner.
void TestLearnerStore::placeOpenedPreferences()
{
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    const LearnerId a = store.registerLearner(fields("А"));
    const LearnerId b = store.registerLearner(fields("Б"));
    QCOMPARE(store.place(a), learners::Place());
    QVERIFY(store.openedPages(a).isEmpty());
    QCOMPARE(store.preferences(a), learners::Preferences());

    const learners::Place place{4, 65, QStringLiteral("Закон Ома")};
    learners::Preferences prefs;
    prefs.fontFamily = QStringLiteral("DejaVu Serif");
    prefs.fontSize = 14;
    prefs.fontColor = QStringLiteral("#203040");
    prefs.bold = true;
    prefs.zoom = -2;
    prefs.narrowColumn = true;
    store.setPlace(a, place);
    store.setPreferences(a, prefs);
    for (int page : {5, 2, 5, 8, 2})
        store.markOpened(a, page);
    store.markOpened(b, 1);

    for (int pass = 0; pass < 2; ++pass) {
        LearnerStore &s = fixture->store();
        const LearnerId first = pass == 0 ? a : idAt(s, 0);
        const LearnerId second = pass == 0 ? b : idAt(s, 1);
        QCOMPARE(s.place(first), place);
        QCOMPARE(s.preferences(first), prefs);
        QCOMPARE(s.openedPages(first), (QVector<int>{2, 5, 8}));
        QCOMPARE(s.place(second), learners::Place());
        QCOMPARE(s.preferences(second), learners::Preferences());
        QCOMPARE(s.openedPages(second), QVector<int>{1});
        fixture->reopen();
    }
}

void TestLearnerStore::failedChangeLeavesRecords_data()
{
    addStoreRows();
}

// A change that cannot be kept is refused as a whole: the learner is told
// (a StoreError with a message), the records read as before, no id is spent
// on a learner who was never stored, and the next change after the fault is
// mended goes through.
void TestLearnerStore::failedChangeLeavesRecords()
{
    auto fixture = makeStore();
    LearnerStore &store = fixture->store();
    const LearnerId a = store.registerLearner(fields("А"));
    store.addBookmark(a, 1);
    if (!fixture->breakWrites())
        QSKIP("this store offers no write fault");

    const std::vector<std::pair<const char *, std::function<void()>>> changes = {
        {"register", [&] { store.registerLearner(fields("Б")); }},
        {"change", [&] { store.changeLearner(a, fields("Изменённый")); }},
        {"delete", [&] { store.deleteLearner(a); }},
        {"result", [&] { store.addTestResult(a, result("0", 90)); }},
        {"bookmark", [&] { store.addBookmark(a, 2); }},
        {"delete bookmark", [&] { store.deleteBookmark(a, 0); }},
        {"place", [&] { store.setPlace(a, learners::Place{2, 10, {}}); }},
        {"opened", [&] { store.markOpened(a, 3); }},
        {"preferences", [&] { store.setPreferences(a, learners::Preferences{"Arial"}); }},
    };
    for (const auto &[name, change] : changes) {
        QString message;
        try {
            change();
        } catch (const StoreError &e) {
            message = e.message();
        }
        QVERIFY2(!message.isEmpty(), name);
        QCOMPARE(names(store), QStringList{"А"});
        QCOMPARE(idAt(store, 0), a);
        QCOMPARE(bookmarkLines(store, a), QStringList{"Лекция 1|1|0|"});
        QVERIFY(store.testRecords(a).isEmpty());
        QCOMPARE(store.place(a), learners::Place());
        QVERIFY(store.openedPages(a).isEmpty());
        QCOMPARE(store.preferences(a), learners::Preferences());
    }
    fixture->mendWrites();

    const LearnerId b = store.registerLearner(fields("Б"));
    QVERIFY(b.isValid() && b != a);
    QCOMPARE(store.learners().last().id, b);
    store.addTestResult(a, result("0", 90));
    fixture->reopen();
    QCOMPARE(names(fixture->store()), (QStringList{"А", "Б"}));
    QCOMPARE(fixture->store().testRecords(idAt(fixture->store(), 0)).size(), 1);
}

QTEST_GUILESS_MAIN(TestLearnerStore)
#include "tst_learnerstore.moc"
