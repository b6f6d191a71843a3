// The search: Russian-aware matching in the index, and from the reader's
// toolbar and Ctrl+F to the page scrolled to the marked hit.
#include "common/ReaderFixture.h"
#include "common/TestSupport.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderWindow.h"
#include "reader/SearchIndex.h"
#include "reader/SearchWindow.h"
#include "richtext/RichView.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A small page: a heading, a section checkpoint, paragraphs of one and of
// several items.
richtext::RVDocument samplePage()
{
    richtext::RVDocument doc;
    doc.addText(QStringLiteral("Память"), 1, 0, 0, 8);
    doc.addCheckpoint(1, QStringLiteral("5.1 Оперативная память"), false);
    doc.addText(QStringLiteral("Оперативная ПАМЯТЬ хранит программы."), 0, 0, 0, 8);
    doc.addText(QStringLiteral("Ёмкость памяти "), 0, 0, 0, 8);
    doc.addText(QStringLiteral("измеряют"), 4, -1, 0, 8);
    doc.addText(QStringLiteral(" в байтах."), 0, -1, 0, 8);
    doc.addCheckpoint(2, QStringLiteral("5.2 Внешняя память"), false);
    doc.addText(QStringLiteral("Диск хранит данные и памятью не является."), 0, 0, 0, 8);
    doc.addText(QStringLiteral("Ёлка, елка и ЕЛКА."), 0, 0, 0, 8);
    return doc;
}

QString spanText(const richtext::RVDocument &doc, const reader::SearchIndex::Hit::Span &s)
{
    return doc.items[s.item].text.mid(s.offset, s.length);
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    void matching_data();
    void matching();
    void hitsTellWhereTheyAre();
    void wordFormsMeetOthersStayApart_data();
    void wordFormsMeetOthersStayApart();
    void snowballStems_data();
    void snowballStems();
    void snippetsMarkTheFoundWords();
    void shippedCourse();
    void fromTheToolbarToTheMarkedHit();
    void ctrlFOpensTheSearchAndEnterChoosesTheFirstHit();
    void pagesAddedAfterASearch();

private:
};

void TestSearch::matching_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("snippetsContain"); // one per hit, in order

    QTest::newRow("case is ignored") << "память"
        << QStringList{"Память", "ПАМЯТЬ", "Ёмкость памяти", "памятью"};
    QTest::newRow("word forms by their stem") << "памятью"
        << QStringList{"Память", "ПАМЯТЬ", "Ёмкость памяти", "памятью"};
    QTest::newRow("ё is е") << "емкость" << QStringList{"Ёмкость"};
    QTest::newRow("е finds ё, Ё and Е alike") << "ёлка" << QStringList{"Ёлка, елка и ЕЛКА."};
    QTest::newRow("a prefix finds longer words") << "операт" << QStringList{"Оперативная ПАМЯТЬ"};
    QTest::newRow("every word in one paragraph") << "память байт"
        << QStringList{"Ёмкость памяти"};
    QTest::newRow("words across items of a paragraph") << "памяти измеряют"
        << QStringList{"Ёмкость памяти измеряют в байтах."};
    QTest::newRow("words in different paragraphs") << "диск оперативная" << QStringList{};
    QTest::newRow("nothing") << "процессор" << QStringList{};
    QTest::newRow("only punctuation") << " ,.!? " << QStringList{};
    QTest::newRow("short words are not cut") << "в" << QStringList{"в байтах"};
}

void TestSearch::matching()
{
    QFETCH(QString, query);
    QFETCH(QStringList, snippetsContain);

    reader::SearchIndex index;
    index.addDocument(5, QStringLiteral("Лекция 5"), samplePage());
    const auto hits = index.find(query);
    QStringList snippets;
    for (const auto &hit : hits)
        snippets << hit.snippet;
    QCOMPARE(hits.size(), snippetsContain.size());
    for (int i = 0; i < hits.size(); ++i)
        QVERIFY2(hits[i].snippet.contains(snippetsContain[i]), qPrintable(snippets.join(" | ")));
}

void TestSearch::hitsTellWhereTheyAre()
{
    const richtext::RVDocument page = samplePage();
    reader::SearchIndex index;
    index.addDocument(5, QStringLiteral("Лекция 5"), page);
    index.addDocument(11, QStringLiteral("Словарь"), page);

    const auto hits = index.find(QStringLiteral("ИЗМЕРЯЮТ емкость"));
    QCOMPARE(hits.size(), 2);
    QCOMPARE(hits[0].page, 5);
    QCOMPARE(hits[0].pageTitle, QStringLiteral("Лекция 5"));
    QCOMPARE(hits[1].page, 11);
    QCOMPARE(hits[0].section, QStringLiteral("5.1 Оперативная память"));
    // The first match, and every match of the paragraph, by item and offset.
    QCOMPARE(hits[0].item, 2);
    QCOMPARE(hits[0].offset, 0);
    QCOMPARE(spanText(page, {hits[0].item, hits[0].offset, hits[0].length}), QStringLiteral("Ёмкость"));
    QCOMPARE(hits[0].spans.size(), 2);
    QCOMPARE(spanText(page, hits[0].spans[1]), QStringLiteral("измеряют"));
    QCOMPARE(hits[0].spans[1].item, 3);

    // A later section; the heading above the first checkpoint has none.
    QCOMPARE(index.find(QStringLiteral("диск")).value(0).section, QStringLiteral("5.2 Внешняя память"));
    QCOMPARE(index.find(QStringLiteral("хранит")).size(), 4);
    QVERIFY(index.find(QStringLiteral("память")).value(0).section.isEmpty());
    // The limit holds.
    QCOMPARE(index.find(QStringLiteral("память"), 3).size(), 3);

    // A long paragraph gives a snippet around the match, cut at words.
    richtext::RVDocument longPage;
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("слово%1 ").arg(i);
    longPage.addText(text + QStringLiteral("цель ") + text, 0, 0, 0, 8);
    reader::SearchIndex longIndex;
    longIndex.addDocument(1, QStringLiteral("Лекция 1"), longPage);
    const QString snippet = longIndex.find(QStringLiteral("цель")).value(0).snippet;
    QVERIFY(snippet.startsWith(QChar(0x2026)) && snippet.endsWith(QChar(0x2026)));
    QVERIFY(snippet.contains(QStringLiteral(" цель ")));
    QVERIFY(snippet.size() < 160);
    QVERIFY(!snippet.mid(1).startsWith(QStringLiteral("лово")));
}

void TestSearch::wordFormsMeetOthersStayApart_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("found"); // the paragraphs found, in order

    // Too short a cut made "объём" find "объектах" and "поле" "получают";
    // endings such as -ым, -им, -ую were not cut at all.
    QTest::newRow("объём, not объектах") << "объём" << QStringList{"объёма", "объёмы"};
    QTest::newRow("поле, not получают or полный") << "поле" << QStringList{"поле", "полей"};
    QTest::newRow("-ым") << "двоичный" << QStringList{"двоичным", "двоичных", "двоичную"};
    QTest::newRow("-ую") << "двоичная" << QStringList{"двоичным", "двоичных", "двоичную"};
    QTest::newRow("-им") << "синий" << QStringList{"синим"};
    QTest::newRow("fleeting vowel, from the bare form") << "узел" << QStringList{"узлы", "узла"};
    QTest::newRow("fleeting vowel, to the bare form") << "узлах" << QStringList{"узлы", "узла"};
    // The bare form in the text, found from the other forms: е and о.
    QTest::newRow("fleeting е, the bare form in the text") << "ветра" << QStringList{"ветер"};
    QTest::newRow("fleeting о, the bare form in the text") << "углами" << QStringList{"угол"};
    QTest::newRow("forms cut one letter apart") << "память" << QStringList{"памяти"};
    QTest::newRow("a word still being typed") << "двоич"
        << QStringList{"двоичным", "двоичных", "двоичную"};
}

void TestSearch::wordFormsMeetOthersStayApart()
{
    QFETCH(QString, query);
    QFETCH(QStringList, found);

    richtext::RVDocument page;
    for (const char *word : {"объектах", "объёма", "объёмы", "получают", "полный", "поле", "полей", "двоичным",
                             "двоичных", "двоичную", "синим", "узлы", "узла", "памяти", "ветер", "угол"})
        page.addText(QString::fromUtf8(word), 0, 0, 0, 8);
    reader::SearchIndex index;
    index.addDocument(1, QStringLiteral("Лекция 1"), page);
    QStringList got;
    for (const auto &hit : index.find(query))
        got << hit.snippet;
    QCOMPARE(got, found);
}

void TestSearch::snowballStems_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("stem");
    // Pairs as the Snowball Russian algorithm gives them (words folded: ё is е).
    const char *const pairs[][2] = {
        {"двоичный", "двоичн"}, {"двоичным", "двоичн"}, {"двоичную", "двоичн"}, {"объектах", "объект"},
        {"получают", "получа"}, {"поле", "пол"},         {"памяти", "памят"},     {"изучение", "изучен"},
        {"узлы", "узл"},         {"узел", "узел"},       {"байтах", "байт"},     {"вычислительных", "вычислительн"},
        {"информация", "информац"}, {"сложнейший", "сложн"}, {"program", "program"}};
    for (const auto &pair : pairs)
        QTest::newRow(pair[0]) << QString::fromUtf8(pair[0]) << QString::fromUtf8(pair[1]);
}

void TestSearch::snowballStems()
{
    QFETCH(QString, word);
    QFETCH(QString, stem);
    QCOMPARE(reader::SearchIndex::stem(word), stem);
}

void TestSearch::snippetsMarkTheFoundWords()
{
    // White space is squeezed in the snippet and a long paragraph is cut
    // with an ellipsis in front: the marks still fall on the words.
    richtext::RVDocument page;
    QString lead;
    for (int i = 0; i < 20; ++i)
        lead += QStringLiteral("слово ");
    page.addText(lead + QStringLiteral("Числа  в\n  двоичным   коде и <двоичных> & прочих"), 0, 0, 0, 8);
    reader::SearchIndex index;
    index.addDocument(1, QStringLiteral("Лекция 1"), page);
    const auto hits = index.find(QStringLiteral("двоичный"));
    QCOMPARE(hits.size(), 1);
    const auto &hit = hits[0];
    QVERIFY(hit.snippet.startsWith(QChar(0x2026)));
    QVERIFY2(hit.snippet.contains(QStringLiteral("в двоичным коде")), qPrintable(hit.snippet));
    QStringList marked;
    for (const auto &m : hit.snippetMarks)
        marked << hit.snippet.mid(m.offset, m.length);
    QCOMPARE(marked, (QStringList{"двоичным", "двоичных"}));

    // The list shows them marked; the text around stays escaped.
    reader::SearchWindow window;
    window.showFor(index);
    window.search(QStringLiteral("двоичный"));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("lstHits"));
    QVERIFY(list);
    QCOMPARE(list->count(), 1);
    const QString html = list->item(0)->data(reader::SearchWindow::MarkedTextRole).toString();
    QVERIFY2(html.contains(QRegularExpression(QStringLiteral("<b[^>]*>двоичным</b>"))), qPrintable(html));
    QVERIFY2(html.contains(QRegularExpression(QStringLiteral("&lt;<b[^>]*>двоичных</b>&gt; &amp;"))),
             qPrintable(html));
    QVERIFY(list->item(0)->text().contains(QStringLiteral("<двоичных>")));
}

void TestSearch::shippedCourse()
{
    testsupport::ReaderFixture reader;
    QVERIFY(reader.open(QStringLiteral(TARVEL_COURSE_DIR)));
    reader::SearchIndex &index = frmMain->searchIndex();
    QCOMPARE(&frmMain->searchIndex(), &index); // built once per run

    // Every searched page is in the index under its own title (a one-letter
    // query is a prefix of a great many words).
    QMap<int, QString> titles;
    for (const auto &hit : index.find(QStringLiteral("в"), 100000))
        titles.insert(hit.page, hit.pageTitle);
    QCOMPARE(titles.keys(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, pages::kDictionary,
                                        pages::kIntroduction, pages::kHelp}));
    QCOMPARE(titles[2], QStringLiteral("Лекция 2. ") + frmMain->XML().lectures()[2].description);
    QCOMPARE(titles[pages::kDictionary], QStringLiteral("Словарь"));
    QCOMPARE(titles[pages::kIntroduction], QStringLiteral("Введение"));
    QCOMPARE(titles[pages::kHelp], QStringLiteral("Справка"));

    const auto hits = index.find(QStringLiteral("таблицы истинности"));
    QVERIFY(!hits.isEmpty());
    QCOMPARE(hits[0].page, 3);
    QVERIFY(hits[0].pageTitle.startsWith(QStringLiteral("Лекция 3. ")));
    QVERIFY(std::any_of(hits.begin(), hits.end(), [](const auto &hit) {
        return hit.section.startsWith(QStringLiteral("3.3 "));
    }));
}

void TestSearch::fromTheToolbarToTheMarkedHit()
{
    testsupport::ReaderFixture reader;
    QVERIFY(reader.open(QStringLiteral(TARVEL_COURSE_DIR)));
    frmMain->RichView1Jump(1);
    frmMain->FlashButtonsFSCommand(QStringLiteral("DoSearch"), QString());
    auto *window = frmMain->findChild<reader::SearchWindow *>();
    QVERIFY(window && window->isVisible());
    QTRY_VERIFY(parts::edQuery()->hasFocus());

    parts::edQuery()->setText(QStringLiteral("закон де моргана"));
    QVERIFY(!window->hits().isEmpty());
    QCOMPARE(parts::lstHits()->count(), window->hits().size());
    QCOMPARE(parts::lblStatus()->text(),
             QStringLiteral("Найдено мест: %1").arg(window->hits().size()));
    // Each line names the page and section, then the snippet.
    const auto hit = window->hits().back();
    QVERIFY(parts::lstHits()->item(window->hits().size() - 1)
                ->text()
                .startsWith(hit.pageTitle + (hit.section.isEmpty() ? QString() : " — " + hit.section)));

    window->choose(window->hits().size() - 1);
    QVERIFY(!window->isVisible());
    QCOMPARE(frmMain->state().CurrentPage(), hit.page);
    QCOMPARE(frmMain->history().back().GetKind(), int(hkPage));
    QCOMPARE(frmMain->history().back().Arg2, hit.page);
    // The hit is marked and in view.
    TRichView *view = parts::RichView1();
    QCOMPARE(view->highlights().size(), hit.spans.size());
    QCOMPARE(view->highlights()[0].item, hit.item);
    const QString marked = reader::SearchIndex::fold(
        view->document().items[hit.item].text.mid(hit.offset, hit.length));
    bool isAQueryWord = false;
    for (const QString &word : reader::SearchIndex::queryWords(QStringLiteral("закон де моргана")))
        isAQueryWord = isAQueryWord || marked.startsWith(reader::SearchIndex::stem(word));
    QVERIFY2(isAQueryWord, qPrintable(marked));
}

void TestSearch::ctrlFOpensTheSearchAndEnterChoosesTheFirstHit()
{
    testsupport::ReaderFixture reader;
    QVERIFY(reader.open(QStringLiteral(TARVEL_COURSE_DIR)));
    frmMain->RichView1Jump(2);
    frmMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frmMain));
    QTest::keyClick(parts::RichView1(), Qt::Key_F, Qt::ControlModifier);
    auto *window = frmMain->findChild<reader::SearchWindow *>();
    QVERIFY(window && window->isVisible());
    parts::edQuery()->setText(QStringLiteral("зюзюкать"));
    QCOMPARE(parts::lblStatus()->text(), QStringLiteral("Ничего не найдено"));
    parts::edQuery()->setText(QStringLiteral("восьмеричной"));
    QVERIFY(!window->hits().isEmpty());
    const auto first = window->hits().front();
    QTest::keyClick(parts::edQuery(), Qt::Key_Return);
    QCOMPARE(frmMain->state().CurrentPage(), first.page);
    TRichView *view = parts::RichView1();
    const int top = view->textTop(first.item, first.offset);
    QVERIFY(top >= 0);
    QVERIFY2(top >= view->scrollPosition() && top < view->scrollPosition() + view->viewport()->height(),
             qPrintable(QStringLiteral("%1 not in %2").arg(top).arg(view->scrollPosition())));
    // Opening another page drops the marks.
    frmMain->OpenPage(1);
    QVERIFY(view->highlights().isEmpty());
    // The query and hits wait for the next opening.
    frmMain->openSearch();
    QCOMPARE(parts::edQuery()->text(), QStringLiteral("восьмеричной"));
    QCOMPARE(window->hits().size(), parts::lstHits()->count());
}

// Pages added after a search are searched too: their words, their forms,
// and words still being typed, beside the pages already there.
void TestSearch::pagesAddedAfterASearch()
{
    reader::SearchIndex index;
    index.addDocument(1, QStringLiteral("Первая"), samplePage());
    const int once = int(index.find(QStringLiteral("память")).size());
    QVERIFY(once > 0);
    QCOMPARE(index.find(QStringLiteral("кэш")).size(), 0);
    QCOMPARE(index.find(QStringLiteral("опер")).size(), 1);

    richtext::RVDocument more = samplePage();
    more.addText(QStringLiteral("Кэш-память быстрее оперативной памяти."), 0, 0, 0, 8);
    index.addDocument(2, QStringLiteral("Вторая"), more);

    const auto memory = index.find(QStringLiteral("память"));
    QCOMPARE(int(memory.size()), 2 * once + 1);
    for (int i = 0; i < memory.size(); ++i)
        QCOMPARE(memory[i].page, i < once ? 1 : 2);
    const auto cache = index.find(QStringLiteral("кэш памяти"));
    QCOMPARE(cache.size(), 1);
    QCOMPARE(cache[0].pageTitle, QStringLiteral("Вторая"));
    QCOMPARE(cache[0].spans.size(), 3); // Кэш, память, памяти
    QCOMPARE(index.find(QStringLiteral("опер")).size(), 3);
    QCOMPARE(index.find(QStringLiteral("быстр")).size(), 1);
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
