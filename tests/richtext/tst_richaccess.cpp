// What assistive technology reads of a document view and how it drives it:
// the text in reading order as it is spoken, character places, links,
// pictures and headings as children, the link's press action, Tab through
// the links, and the reading caret told line by line.

#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "richtext/RichViewAccessible.h"
#include "richtext/RvfFile.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A heading, a paragraph with a link inside, a picture with its alt text,
// and a second link in a paragraph of its own.
const QByteArray kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<rvf version="1">
  <p para="2"><t style="1">Лекция 1. Информация</t></p>
  <p para="4">Слово <t style="4">информация</t> пришло из латыни.</p>
  <p para="2"><img src="missing.png" width="40" height="30" alt="Источник, канал и приёмник"/></p>
  <p para="0"><t style="4">Дальше</t></p>
</rvf>
)";

// Powers and indices as a lecture writes them, between two sections.
const QByteArray kFormulas = R"(<?xml version="1.0" encoding="UTF-8"?>
<rvf version="1">
  <p para="2"><t style="1">Лекция 1. Информация</t></p>
  <cp name="1.1 Единицы" tag="1"/>
  <p para="0"><t style="2">1.1 Единицы</t></p>
  <p para="4">Восемь бит дают 2<t style="8">8</t> = 256 комбинаций; 1024 = 2<t style="8">10</t>; <t style="3">N = 2</t><t style="8">i</t>, 2<t style="8">13</t>бит, i = log<t style="7">2</t> N, p<t style="7">1</t> и 10<t style="8">–3</t>. Этих сочетаний хватает, чтобы записать любую букву, цифру или знак препинания, и ещё остаётся запас.</p>
  <cp name="1.2 Формула" tag="2"/>
  <p para="0"><t style="2">1.2 Формула</t></p>
  <p para="4">Конец.</p>
</rvf>
)";

// What the view told assistive technology, in order.
struct Told
{
    QAccessible::Event type;
    QString name;      // the object's name, for focus
    int caret = -1;    // for a caret move
};
QList<Told> told;

void recordEvent(QAccessibleEvent *event)
{
    Told t{event->type(), QString(), -1};
    if (event->type() == QAccessible::TextCaretMoved)
        t.caret = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
    if (event->type() == QAccessible::Focus && event->accessibleInterface())
        t.name = event->accessibleInterface()->text(QAccessible::Name);
    // What a screen reader says of a new description.
    if (event->type() == QAccessible::DescriptionChanged && event->accessibleInterface())
        t.name = event->accessibleInterface()->text(QAccessible::Description);
    told.append(t);
}

struct Fixture
{
    explicit Fixture(const QByteArray &document = kDocument, QSize size = QSize(500, 300))
        : style(TRVStyle::Sheet::Reader)
    {
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("doc.rvf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(document);
        f.close();
        view.setRVStyle(&style);
        view.setAccessibleName(QStringLiteral("Страница"));
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.LoadRVF(path));
        view.Format();
        iface = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(iface);
        text = iface->textInterface();
        QVERIFY(text);
    }
    QTemporaryDir dir;
    TRVStyle style;
    TRichView view;
    QAccessibleInterface *iface = nullptr;
    QAccessibleTextInterface *text = nullptr;
};

} // namespace

class TestRichAccess : public QObject
{
    Q_OBJECT
private slots:
    void readsTheWholeTextInReadingOrder();
    void linksAndPicturesAreChildren();
    void pressingALinkFollowsIt();
    void characterPlacesMatchTheScreen();
    void aNewDocumentInvalidatesOldChildren();
    void tabWalksTheLinksAndTellsWhichIsFocused();
    void selectionIsReadAndSet();
    void altTextSurvivesSaving();
    void raisedAndLoweredTextIsSpokenInWords();
    void headingsAreChildrenWithTheirLevel();
    void caretKeysAreToldLineByLine();

    void init() { told.clear(); }
    void initTestCase()
    {
        richtext::setAccessibilityTap(recordEvent);
    }
};

void TestRichAccess::readsTheWholeTextInReadingOrder()
{
    Fixture f;
    QCOMPARE(f.iface->role(), QAccessible::EditableText);
    QVERIFY(f.iface->state().readOnly);
    QVERIFY(f.iface->state().multiLine);
    QVERIFY(!f.iface->state().editable);
    QCOMPARE(f.iface->text(QAccessible::Name), QStringLiteral("Страница"));

    const QString all = f.text->text(0, f.text->characterCount());
    // Paragraphs are new lines; the picture is read as its alt text, in its place.
    QCOMPARE(all, QStringLiteral("Лекция 1. Информация\nСлово информация пришло из латыни.\n"
                                 "Источник, канал и приёмник\nДальше"));
    QCOMPARE(f.iface->text(QAccessible::Value), all);
    QCOMPARE(f.text->text(7, 9), QStringLiteral("1."));
    // Qt's line and word helpers work on this text too.
    int start = -1, end = -1;
    QCOMPARE(f.text->textAtOffset(25, QAccessible::LineBoundary, &start, &end).trimmed(),
             QStringLiteral("Слово информация пришло из латыни."));
    QCOMPARE(f.text->text(-5, 0), QString());
    QCOMPARE(f.text->text(0, 100000), all);
}

void TestRichAccess::linksAndPicturesAreChildren()
{
    Fixture f;
    QCOMPARE(f.iface->childCount(), 4);
    struct Expected
    {
        QAccessible::Role role;
        QString name;
    } expected[] = {
        {QAccessible::Link, QStringLiteral("информация")},
        {QAccessible::Link, QStringLiteral("Дальше")},
        {QAccessible::Graphic, QStringLiteral("Источник, канал и приёмник")},
        {QAccessible::Heading, QStringLiteral("Лекция 1. Информация")},
    };
    for (int i = 0; i < 4; ++i) {
        QAccessibleInterface *c = f.iface->child(i);
        QVERIFY(c && c->isValid());
        QCOMPARE(c->role(), expected[i].role);
        QCOMPARE(c->text(QAccessible::Name), expected[i].name);
        QCOMPARE(c->parent(), f.iface);
        QCOMPARE(f.iface->indexOfChild(c), i);
        // The same object each time: a screen reader holds on to it.
        QCOMPARE(f.iface->child(i), c);
        QVERIFY(!c->rect().isEmpty());
        QCOMPARE(f.iface->childAt(c->rect().center().x(), c->rect().center().y()), c);
    }
    // A link sits where the view draws it.
    const QRect link = f.view.linkRect(1);
    QCOMPARE(f.iface->child(1)->rect().topLeft(), f.view.viewport()->mapToGlobal(link.topLeft()));
    QVERIFY(f.iface->child(0)->actionInterface());
    QVERIFY(!f.iface->child(2)->actionInterface());
}

void TestRichAccess::pressingALinkFollowsIt()
{
    Fixture f;
    QSignalSpy jumps(&f.view, &TRichView::jump);
    QAccessibleActionInterface *action = f.iface->child(1)->actionInterface();
    QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
    action->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(jumps.count(), 1);
    QCOMPARE(jumps.at(0).at(0).toInt(), 1);
    QCOMPARE(f.view.focusedLink(), 1);

    // Moving the caret onto a link focuses that link; the caret stays put.
    const int at = f.text->text(0, f.text->characterCount()).indexOf(QStringLiteral("информация"));
    f.text->setCursorPosition(at + 2);
    QCOMPARE(f.view.focusedLink(), 0);
    QCOMPARE(f.text->cursorPosition(), at + 2);
    f.text->setCursorPosition(2);
    QCOMPARE(f.view.focusedLink(), -1);
}

void TestRichAccess::characterPlacesMatchTheScreen()
{
    Fixture f;
    const int count = f.text->characterCount();
    int checked = 0;
    QRect previous;
    for (int i = 0; i < count; ++i) {
        const QChar c = f.text->text(i, i + 1).at(0);
        const QRect r = f.text->characterRect(i);
        // The picture's alt text: every letter of it is the picture.
        const bool sameAsBefore = r == previous;
        previous = r;
        if (c == QLatin1Char('\n') || c.isSpace() || sameAsBefore)
            continue;
        QVERIFY2(!r.isEmpty(), qPrintable(QString::number(i)));
        QCOMPARE(f.text->offsetAtPoint(r.center()), i);
        ++checked;
    }
    QVERIFY(checked > 40);
    // Outside the view there is no character.
    QCOMPARE(f.text->offsetAtPoint(f.view.mapToGlobal(QPoint(-20, -20))), -1);
    QCOMPARE(f.text->characterRect(-1), QRect());

    // Scrolled, the places follow the text.
    f.view.resize(500, 60);
    const QRect before = f.text->characterRect(count - 1);
    f.text->scrollToSubstring(count - 1, count);
    const QRect after = f.text->characterRect(count - 1);
    QVERIFY(f.view.scrollPosition() > 0);
    QCOMPARE(after.top(), before.top() - f.view.scrollPosition());
}

void TestRichAccess::aNewDocumentInvalidatesOldChildren()
{
    Fixture f;
    QAccessibleInterface *old = f.iface->child(0);
    QVERIFY(old->isValid());
    f.view.Clear();
    f.view.AddNL(QStringLiteral("Одна строка"), rvs::tsNormal, rvs::psLeft);
    f.view.Format();
    QCOMPARE(f.iface->childCount(), 0);
    QCOMPARE(f.text->text(0, f.text->characterCount()), QStringLiteral("Одна строка"));
}

void TestRichAccess::tabWalksTheLinksAndTellsWhichIsFocused()
{
    Fixture f;
    f.view.setFocus(Qt::TabFocusReason);
    QVERIFY(f.view.hasFocus());
    QCOMPARE(f.view.focusedLink(), -1);
    QTest::keyClick(&f.view, Qt::Key_Tab);
    QCOMPARE(f.view.focusedLink(), 0);
    QVERIFY(f.iface->child(0)->state().focused);
    QVERIFY(!f.iface->child(1)->state().focused);
    QTest::keyClick(&f.view, Qt::Key_Tab);
    QCOMPARE(f.view.focusedLink(), 1);
    QSignalSpy jumps(&f.view, &TRichView::jump);
    QTest::keyClick(&f.view, Qt::Key_Space);
    QCOMPARE(jumps.count(), 1);
    QCOMPARE(jumps.at(0).at(0).toInt(), 1);
    QTest::keyClick(&f.view, Qt::Key_Backtab);
    QCOMPARE(f.view.focusedLink(), 0);
}

void TestRichAccess::selectionIsReadAndSet()
{
    Fixture f;
    QCOMPARE(f.text->selectionCount(), 0);
    f.text->setSelection(0, 3, 9);
    QCOMPARE(f.text->selectionCount(), 1);
    int start = -1, end = -1;
    f.text->selection(0, &start, &end);
    QCOMPARE(start, 3);
    QCOMPARE(end, 9);
    QCOMPARE(f.view.selectedText(), QStringLiteral("ция 1."));
    f.text->removeSelection(0);
    QCOMPARE(f.text->selectionCount(), 0);
    // A view without selection keeps none.
    f.view.setSelectionEnabled(false);
    f.text->setSelection(0, 3, 9);
    QCOMPARE(f.text->selectionCount(), 0);
}

void TestRichAccess::altTextSurvivesSaving()
{
    richtext::RVDocument doc;
    QString error;
    QVERIFY2(parseRvf(kDocument, QStringLiteral("/tmp"), doc, &error), qPrintable(error));
    QCOMPARE(doc.items[4].kind, richtext::RVItem::Kind::Picture);
    QCOMPARE(doc.items[4].pictureAlt, QStringLiteral("Источник, канал и приёмник"));
    richtext::RVDocument back;
    QVERIFY(parseRvf(serializeRvf(doc, QStringLiteral("/tmp")), QStringLiteral("/tmp"), back));
    QCOMPARE(back.items[4].pictureAlt, doc.items[4].pictureAlt);
    // Quotes and angle brackets in the alt text stay text.
    doc.items[4].pictureAlt = QStringLiteral("a \"b\" <c> & d");
    QVERIFY(parseRvf(serializeRvf(doc, QStringLiteral("/tmp")), QStringLiteral("/tmp"), back));
    QCOMPARE(back.items[4].pictureAlt, doc.items[4].pictureAlt);
}

void TestRichAccess::raisedAndLoweredTextIsSpokenInWords()
{
    Fixture f(kFormulas, QSize(2000, 300));
    const QString all = f.text->text(0, f.text->characterCount());
    const QString said = QStringLiteral(
        "Восемь бит дают 2 в степени 8 = 256 комбинаций; 1024 = 2 в степени 10; N = 2 в степени i, "
        "2 в степени 13 бит, i = log по основанию 2 N, p с индексом 1 и 10 в степени минус 3.");
    QVERIFY2(all.contains(said), qPrintable(all));
    // Nothing unreadable: no object characters, the layout's marks left out.
    QVERIFY(!all.contains(QChar::ObjectReplacementCharacter));

    // Offsets and layout positions lead to each other: every layout
    // position comes back from its offset, and the words before the
    // exponent stand where the exponent is drawn.
    const richtext::RichLayout &layout = *f.view.textLayout();
    QAccessibleTextInterface *text = f.text;
    const int words = all.indexOf(QStringLiteral("в степени 8"));
    const int eight = layout.itemPosition(3);
    QCOMPARE(f.view.document().items[3].text, QStringLiteral("8"));
    f.view.setCaretPosition(eight);
    QCOMPARE(text->cursorPosition(), words);
    QCOMPARE(text->characterRect(words), text->characterRect(words + 10));
    QCOMPARE(text->offsetAtPoint(text->characterRect(words).center()), words);
    text->setCursorPosition(words + 3);
    QCOMPARE(f.view.caretPosition(), eight);
    // The word at the exponent is the spoken one.
    int start = -1, end = -1;
    QCOMPARE(text->textAtOffset(words + 10, QAccessible::WordBoundary, &start, &end), QStringLiteral("8"));
}

void TestRichAccess::headingsAreChildrenWithTheirLevel()
{
    Fixture f(kFormulas);
    struct Expected
    {
        QString name;
        QString level;
    };
    const QList<Expected> expected = {{QStringLiteral("Лекция 1. Информация"), QStringLiteral("уровень 1")},
                                      {QStringLiteral("1.1 Единицы"), QStringLiteral("уровень 2")},
                                      {QStringLiteral("1.2 Формула"), QStringLiteral("уровень 2")}};
    QList<QAccessibleInterface *> headings;
    for (int i = 0; i < f.iface->childCount(); ++i) {
        if (f.iface->child(i)->role() == QAccessible::Heading)
            headings << f.iface->child(i);
    }
    QCOMPARE(headings.size(), expected.size());
    for (int i = 0; i < headings.size(); ++i) {
        QCOMPARE(headings[i]->text(QAccessible::Name), expected[i].name);
        QCOMPARE(headings[i]->text(QAccessible::Description), expected[i].level);
        QVERIFY(!headings[i]->rect().isEmpty());
        QCOMPARE(headings[i]->parent(), f.iface);
    }

    // H goes from heading to heading, Shift+H back; each is said with its
    // level, and the caret stands at its start.
    f.view.setFocus();
    QVERIFY(f.view.hasFocus());
    const QString all = f.text->text(0, f.text->characterCount());
    const int second = all.indexOf(QStringLiteral("1.2 Формула"));
    QTest::keyClick(&f.view, Qt::Key_H);
    QTest::keyClick(&f.view, Qt::Key_H);
    QCOMPARE(f.text->cursorPosition(), second);
    QVERIFY(headings[2]->state().focused);
    QVERIFY(!headings[1]->state().focused);
    const auto focused = [] {
        QStringList names;
        for (const Told &t : told) {
            if (t.type == QAccessible::Focus)
                names << t.name;
        }
        return names;
    };
    QCOMPARE(focused(), QStringList({QStringLiteral("1.1 Единицы"), QStringLiteral("1.2 Формула")}));
    // A line key after a heading gives the focus back to the page before
    // the caret moves: a screen reader reads the page's lines again.
    told.clear();
    QTest::keyClick(&f.view, Qt::Key_Down);
    QCOMPARE(focused(), QStringList({QStringLiteral("Страница")}));
    QCOMPARE(told.last().type, QAccessible::TextCaretMoved);
    QCOMPARE(told.last().caret, f.text->cursorPosition());
    told.clear();
    QTest::keyClick(&f.view, Qt::Key_Down);
    QVERIFY(focused().isEmpty());
    QTest::keyClick(&f.view, Qt::Key_H, Qt::ShiftModifier);
    QCOMPARE(f.text->cursorPosition(), second);
    QCOMPARE(focused().last(), QStringLiteral("1.2 Формула"));
    // Past the last heading the caret stays.
    QTest::keyClick(&f.view, Qt::Key_H);
    told.clear();
    QTest::keyClick(&f.view, Qt::Key_H);
    QCOMPARE(f.text->cursorPosition(), second);
    QVERIFY(told.isEmpty());
}

void TestRichAccess::caretKeysAreToldLineByLine()
{
    // Narrow: the formulas paragraph takes several lines.
    Fixture f(kFormulas, QSize(600, 90));
    f.view.setFocus();
    QVERIFY(f.view.hasFocus());
    QAccessibleTextInterface *text = f.text;
    int start = -1, end = -1;

    QTest::keyClick(&f.view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&f.view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(text->cursorPosition(), 0);
    QCOMPARE(told.last().type, QAccessible::TextCaretMoved);
    QCOMPARE(told.last().caret, 0);
    QCOMPARE(text->textAtOffset(0, QAccessible::LineBoundary, &start, &end).trimmed(),
             QStringLiteral("Лекция 1. Информация"));

    // Down to each line of the wrapped paragraph: a line on screen each,
    // and the lines together are the paragraph.
    QTest::keyClick(&f.view, Qt::Key_Down);
    QTest::keyClick(&f.view, Qt::Key_Down);
    QTest::keyClick(&f.view, Qt::Key_Home);
    const int first = text->cursorPosition();
    QCOMPARE(told.last().caret, first);
    const QString paragraph = text->textAtOffset(first, QAccessible::ParagraphBoundary, &start, &end);
    QVERIFY2(paragraph.startsWith(QStringLiteral("Восемь бит")), qPrintable(paragraph));
    QString lines;
    int lineCount = 0;
    for (int guard = 0; guard < 40; ++guard) {
        const int caret = text->cursorPosition();
        const QString line = text->textAtOffset(caret, QAccessible::LineBoundary, &start, &end);
        QCOMPARE(start, caret);
        QCOMPARE(line, text->text(start, end));
        lines += line;
        ++lineCount;
        if (line.endsWith(QLatin1Char('\n')))
            break;
        // The line after this one is where Down goes.
        int nextStart = -1, nextEnd = -1;
        const QString next = text->textAfterOffset(caret, QAccessible::LineBoundary, &nextStart, &nextEnd);
        QTest::keyClick(&f.view, Qt::Key_Down);
        QVERIFY(text->cursorPosition() >= nextStart && text->cursorPosition() < nextEnd);
        QTest::keyClick(&f.view, Qt::Key_Home);
        QCOMPARE(text->cursorPosition(), nextStart);
        int backStart = -1, backEnd = -1;
        QCOMPARE(text->textBeforeOffset(nextStart, QAccessible::LineBoundary, &backStart, &backEnd), line);
        QCOMPARE(next, text->text(nextStart, nextEnd));
    }
    QVERIFY2(lineCount >= 2, qPrintable(lines));
    QCOMPARE(lines, paragraph);
    // The view followed the caret.
    QVERIFY(f.view.scrollPosition() > 0);
    const QRect shown(f.view.viewport()->mapToGlobal(QPoint(0, 0)), f.view.viewport()->size());
    QVERIFY(shown.contains(text->characterRect(text->cursorPosition()).center()));

    // Shift selects from the caret; the selection is told in spoken offsets.
    QTest::keyClick(&f.view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&f.view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    QCOMPARE(text->text(start, end), QStringLiteral("Лекция "));
    QCOMPARE(f.view.selectedText(), QStringLiteral("Лекция "));
    QTest::keyClick(&f.view, Qt::Key_Right);
    QCOMPARE(text->selectionCount(), 0);
}

QTEST_MAIN(TestRichAccess)
#include "tst_richaccess.moc"
