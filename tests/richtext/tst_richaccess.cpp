// What assistive technology reads of a document view and how it drives it:
// the text in reading order, character places, links and pictures as
// children, the link's press action, and Tab through the links.

#include "richtext/RichView.h"
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

struct Fixture
{
    Fixture() : style(TRVStyle::Sheet::Reader)
    {
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("doc.rvf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kDocument);
        f.close();
        view.setRVStyle(&style);
        view.setAccessibleName(QStringLiteral("Страница"));
        view.resize(500, 300);
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
    // Paragraphs are new lines; the picture is one embedded-object character.
    QCOMPARE(all, QStringLiteral("Лекция 1. Информация\nСлово информация пришло из латыни.\n") + QChar(0xFFFC) +
                      QStringLiteral("\nДальше"));
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
    QCOMPARE(f.iface->childCount(), 3);
    struct Expected
    {
        QAccessible::Role role;
        QString name;
    } expected[] = {
        {QAccessible::Link, QStringLiteral("информация")},
        {QAccessible::Link, QStringLiteral("Дальше")},
        {QAccessible::Graphic, QStringLiteral("Источник, канал и приёмник")},
    };
    for (int i = 0; i < 3; ++i) {
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

    // Moving the caret onto a link focuses that link.
    const int at = f.text->text(0, f.text->characterCount()).indexOf(QStringLiteral("информация"));
    f.text->setCursorPosition(at + 2);
    QCOMPARE(f.view.focusedLink(), 0);
    QCOMPARE(f.text->cursorPosition(), at);
}

void TestRichAccess::characterPlacesMatchTheScreen()
{
    Fixture f;
    const int count = f.text->characterCount();
    int checked = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = f.text->text(i, i + 1).at(0);
        if (c == QLatin1Char('\n') || c.isSpace())
            continue;
        const QRect r = f.text->characterRect(i);
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

QTEST_MAIN(TestRichAccess)
#include "tst_richaccess.moc"
