#include "common/CourseFolder.h"
#include "learners/CourseData.h"
#include "learners/DectStore.h"
#include "progress/ProgressText.h"

#include <QLocale>
#include <QTest>

using namespace progress;

class TestProgressText : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void percentShownThroughSinglePrecision_data();
    void percentShownThroughSinglePrecision();
    void percentUsesTheLocaleSeparator();
    void notANumberFails_data();
    void notANumberFails();
    void reportText_data();
    void reportText();
    void reportStopsAtAnUnreadableValue_data();
    void reportStopsAtAnUnreadableValue();
    void datesInRussian_data();
    void datesInRussian();
    void testTitles_data();
    void testTitles();

private:
    testsupport::CourseFolder m_course;
};

void TestProgressText::initTestCase()
{
    QVERIFY(m_course.copyFile(QStringLiteral(TARVEL_TEST_DATA "/progress/dect.chh"),
                              QStringLiteral("dect.chh")));
    QVERIFY(m_course.enter());
}

void TestProgressText::percentShownThroughSinglePrecision_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("whole 100") << "100"
                               << "100";
    QTest::newRow("whole 85") << "85"
                              << "85";
    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("negative zero") << "-0"
                                   << "0";
    QTest::newRow("seven tenths") << "0.7"
                                  << "0.699999988079071";
    QTest::newRow("66.7") << "66.7"
                          << "66.6999969482422";
    QTest::newRow("exact half") << "12.5"
                                << "12.5";
    QTest::newRow("trailing zeros dropped") << "50.000"
                                            << "50";
    QTest::newRow("blanks around") << "  85 "
                                   << "85";
    QTest::newRow("plus sign") << "+7"
                               << "7";
    QTest::newRow("negative") << "-3.25"
                              << "-3.25";
    QTest::newRow("leading separator") << ".5"
                                       << "0.5";
    QTest::newRow("trailing separator") << "5."
                                        << "5";
    QTest::newRow("exponent") << "1e2"
                              << "100";
    QTest::newRow("large in exponent form") << "1E20"
                                            << "1.00000002004088E20";
    QTest::newRow("smallest fixed") << "0.0001"
                                    << "9.99999974737875E-5";
    QTest::newRow("power of two small") << "0.00006103515625"
                                        << "6.103515625E-5";
    QTest::newRow("power of two fixed") << "0.0009765625"
                                        << "0.0009765625";
}

void TestProgressText::percentShownThroughSinglePrecision()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(percentText(stored, QLocale::c()), shown);
}

void TestProgressText::percentUsesTheLocaleSeparator()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    QCOMPARE(percentText(QStringLiteral("66,7"), german), QStringLiteral("66,6999969482422"));
    QCOMPARE(percentText(QStringLiteral("1234"), german), QStringLiteral("1234")); // no grouping
    // A result stored under other settings reads the same: either separator
    // is taken, and the shown one is the locale's.
    QCOMPARE(percentText(QStringLiteral("66.7"), german), QStringLiteral("66,6999969482422"));
    QCOMPARE(percentText(QStringLiteral("66,7"), QLocale::c()), QStringLiteral("66.6999969482422"));
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QCOMPARE(percentText(QStringLiteral("12.5"), russian), QStringLiteral("12,5"));
}

void TestProgressText::notANumberFails_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << "   ";
    QTest::newRow("word") << "много";
    QTest::newRow("per cent sign") << "85%";
    QTest::newRow("sign only") << "-";
    QTest::newRow("separator only") << ".";
    QTest::newRow("two separators") << "1.2.3";
    QTest::newRow("both separators") << "1,000.5";
    QTest::newRow("exponent without digits") << "1e";
    QTest::newRow("hex") << "0x10";
    QTest::newRow("infinity") << "inf";
    QTest::newRow("not a number") << "nan";
    QTest::newRow("past single precision") << "1e39";
    QTest::newRow("huge exponent") << "1e400";
    QTest::newRow("tab around") << "\t85";
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0668\u0665");
}

void TestProgressText::notANumberFails()
{
    QFETCH(QString, stored);
    float v = 0;
    QVERIFY(!parseSingle(stored, &v, QLocale::c()));
    QVERIFY_THROWS_EXCEPTION(NotANumberError, percentText(stored, QLocale::c()));
}

void TestProgressText::reportText_data()
{
    QTest::addColumn<int>("learner");
    QTest::addColumn<QStringList>("expected");
    const QString sep(22, u'~');
    const QStringList head{"расшифрованный файл отчета"};
    QTest::newRow("no results")
        << 0
        << (head + QStringList{"Имя: Анна", "Фамилия: Петрова", "Группа: ИТ-11",
                               "Почтовый ящик: ", "Дата регистрации: Tue Mar 08 14:05:09 2005\n",
                               sep, "Прохождение тестов", sep});
    QTest::newRow("two results") << 1
                                 << (head + QStringList{
                                                "Имя: Борис", "Фамилия: Орлов", "Группа: ИТ-12",
                                                "Почтовый ящик: boris@example.org",
                                                "Дата регистрации: Mon Mar 07 09:15:00 2005\n", sep,
                                                "Прохождение тестов", sep, "Тест по лекции: 3",
                                                "Дата выполнения: Wed Mar 09 10:00:00 2005\n",
                                                "Правильность: 85%", sep, "Тест по лекции: 0",
                                                "Дата выполнения: Thu Mar 10 11:30:15 2005\n",
                                                "Правильность: 66" + QLocale().decimalPoint() +
                                                    "6999969482422%", // the settings' separator
                                                sep});
    QTest::newRow("no study_info")
        << 3
        << (head + QStringList{"Имя: Глеб", "Фамилия: Белов", "Группа: ИТ-14",
                               "Почтовый ящик: gleb@example.org",
                               "Дата регистрации: Sat Mar 05 07:00:00 2005\n", sep,
                               "Прохождение тестов", sep});
}

void TestProgressText::reportText()
{
    QFETCH(int, learner);
    QFETCH(QStringList, expected);
    learners::CourseData data;
    data.LoadCourseData();
    const learners::DectStore store(data);
    QStringList lines;
    progress::reportText(store, store.idAt(learner), [&](const QString &line) { lines.append(line); });
    QCOMPARE(lines, expected);
}

void TestProgressText::reportStopsAtAnUnreadableValue_data()
{
    QTest::addColumn<int>("learner");
    QTest::addColumn<int>("linesBefore");
    QTest::addColumn<QString>("lastLine");
    // The second result's share is not a number: its lines never appear.
    QTest::newRow("bad right") << 2 << 13 << QString(22, u'~');
    QTest::newRow("no such learner") << 7 << 1 << "расшифрованный файл отчета";
    QTest::newRow("nobody signed in") << -1 << 1 << "расшифрованный файл отчета";
}

void TestProgressText::reportStopsAtAnUnreadableValue()
{
    QFETCH(int, learner);
    QFETCH(int, linesBefore);
    QFETCH(QString, lastLine);
    learners::CourseData data;
    data.LoadCourseData();
    const learners::DectStore store(data);
    QStringList lines;
    bool failed = false;
    try {
        progress::reportText(store, store.idAt(learner), [&](const QString &line) { lines.append(line); });
    } catch (const std::exception &) {
        failed = true;
    }
    QVERIFY(failed);
    QCOMPARE(lines.size(), linesBefore);
    QCOMPARE(lines.constLast(), lastLine);
}

// The statistics view's dates: what the test run stores, in Russian; any
// other text as it stands.
void TestProgressText::datesInRussian_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("as the test run stores it") << "Thu Dec 10 20:27:09 2026\n"
                                               << "10 декабря 2026 г., 20:27:09";
    QTest::newRow("January, single-digit day") << "Mon Jan 05 09:05:03 2026\n"
                                               << "5 января 2026 г., 09:05:03";
    QTest::newRow("May, without the line feed") << "Sun May 31 23:59:59 2020"
                                                << "31 мая 2020 г., 23:59:59";
    QTest::newRow("hand-edited text") << "вчера\n" << "вчера";
    QTest::newRow("unknown month") << "Thu Foo 10 20:27:09 2026" << "Thu Foo 10 20:27:09 2026";
    QTest::newRow("bad clock") << "Thu Dec 10 25:27:09 2026" << "Thu Dec 10 25:27:09 2026";
    QTest::newRow("day out of range") << "Thu Dec 40 20:27:09 2026" << "Thu Dec 40 20:27:09 2026";
    QTest::newRow("missing year") << "Thu Dec 10 20:27:09" << "Thu Dec 10 20:27:09";
    QTest::newRow("empty") << "" << "";
}

void TestProgressText::datesInRussian()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(russianDate(stored), shown);
}

void TestProgressText::testTitles_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("title");
    QTest::newRow("general test") << "0" << "Общий тест";
    QTest::newRow("a lecture") << "3" << "Лекция 3. Логика";
    QTest::newRow("first lecture") << "1" << "Лекция 1. Информация";
    QTest::newRow("past the list") << "9" << "Лекция 9";
    QTest::newRow("not a number") << "x" << "Лекция x";
}

void TestProgressText::testTitles()
{
    QFETCH(QString, number);
    QFETCH(QString, title);
    const QStringList titles{"Как работать с учебником", "Информация", "Системы счисления", "Логика"};
    QCOMPARE(testTitle(number, titles), title);
}

QTEST_GUILESS_MAIN(TestProgressText)
#include "tst_progresstext.moc"
