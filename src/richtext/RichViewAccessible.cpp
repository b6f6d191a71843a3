#include "richtext/RichViewAccessible.h"

#include "richtext/RichLayout.h"
#include "richtext/RichView.h"

#include <QAbstractTextDocumentLayout>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace richtext {

namespace {

QAccessibleInterface *viewFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TRichView") && object && object->isWidgetType())
        return new RichViewAccessible(static_cast<TRichView *>(object));
    return nullptr;
}

// The text of positions [start, end) as assistive technology reads it:
// paragraph and line ends are new lines, one character each, so offsets
// stay the layout's text positions.
QString plainText(const RichLayout &layout, int start, int end)
{
    QString s = layout.rangeCursor(start, end).selectedText();
    for (QChar &ch : s) {
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
            ch = QLatin1Char('\n');
        else if (ch == QChar::Nbsp)
            ch = QLatin1Char(' ');
    }
    return s;
}

// A link or a picture of the view: a leaf the reader can name, place and
// (for a link) press.
class RichChildAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    RichChildAccessible(TRichView *view, int generation, int item, int link)
        : m_view(view), m_generation(generation), m_item(item), m_link(link)
    {
    }

    bool isValid() const override
    {
        return m_view && m_view->layoutGeneration() == m_generation && m_view->textLayout() &&
               m_item < m_view->textLayout()->itemCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_view ? m_view->window()->windowHandle() : nullptr;
    }
    QVector<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation) const override
    {
        return {};
    }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || t != QAccessible::Name)
            return QString();
        const RichLayout &layout = *m_view->textLayout();
        const richtext::RVDocument &doc = m_view->document();
        if (m_item < doc.items.size() && doc.items[m_item].kind == richtext::RVItem::Kind::Picture)
            return doc.items[m_item].pictureAlt;
        const int pos = layout.itemPosition(m_item);
        return plainText(layout, pos, pos + layout.itemLength(m_item)).trimmed();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        auto *parentIface = static_cast<RichViewAccessible *>(parent());
        const RichLayout &layout = *m_view->textLayout();
        const int pos = layout.itemPosition(m_item);
        return parentIface ? parentIface->screenRect(pos, pos + std::max(1, layout.itemLength(m_item)))
                           : QRect();
    }
    QAccessible::Role role() const override
    {
        return m_link >= 0 ? QAccessible::Link : QAccessible::Graphic;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const QRect r = rect();
        const QRect shown(m_view->viewport()->mapToGlobal(QPoint(0, 0)), m_view->viewport()->size());
        if (!m_view->isVisible())
            s.invisible = true;
        if (r.isEmpty() || !r.intersects(shown))
            s.offscreen = true;
        if (m_link >= 0) {
            s.focusable = true;
            s.linked = true;
            s.focused = m_view->hasFocus() && m_view->focusedLink() == m_link;
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface && m_link >= 0)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    QStringList actionNames() const override
    {
        return {pressAction(), setFocusAction()};
    }
    void doAction(const QString &actionName) override
    {
        if (!isValid() || m_link < 0)
            return;
        if (actionName == setFocusAction()) {
            m_view->setFocus(Qt::OtherFocusReason);
            m_view->setFocusedLink(m_link);
        } else if (actionName == pressAction()) {
            m_view->setFocusedLink(m_link);
            // As a click or Enter on the link would.
            emit m_view->jump(m_link);
        }
    }
    QStringList keyBindingsForAction(const QString &actionName) const override
    {
        if (actionName == pressAction())
            return {QStringLiteral("Return")};
        return {};
    }

private:
    QPointer<TRichView> m_view;
    int m_generation;
    int m_item;
    int m_link;
};

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(viewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void notifyTextReplaced(TRichView *view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(view, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
    // A new page under the keyboard is told as the focus arriving on it, so
    // a screen reader reads where the page now stands (its title, or the
    // section jumped to). Once, after the page has settled.
    if (!view->hasFocus() || view->property("tarvelAnnouncePending").toBool())
        return;
    view->setProperty("tarvelAnnouncePending", true);
    QTimer::singleShot(0, view, [v = QPointer<TRichView>(view)] {
        if (!v)
            return;
        v->setProperty("tarvelAnnouncePending", false);
        if (!v->hasFocus())
            return;
        QAccessibleEvent focus(v.data(), QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    });
}

void notifyLinkFocus(TRichView *view, int id)
{
    if (!QAccessible::isActive() || !view->hasFocus())
        return;
    auto *iface = static_cast<RichViewAccessible *>(QAccessible::queryAccessibleInterface(view));
    QAccessibleInterface *link = iface ? iface->linkChild(id) : nullptr;
    if (!link)
        return;
    QAccessibleEvent event(link, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

RichViewAccessible::RichViewAccessible(TRichView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

RichViewAccessible::~RichViewAccessible()
{
    dropChildren();
}

TRichView *RichViewAccessible::view() const
{
    return static_cast<TRichView *>(widget());
}

void *RichViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State RichViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.editable = false;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

QString RichViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return text(0, characterCount());
    return QAccessibleWidget::text(t);
}

// ---- Children ---------------------------------------------------------------

void RichViewAccessible::dropChildren() const
{
    for (const QAccessible::Id id : m_ids) {
        if (id)
            QAccessible::deleteAccessibleInterface(id);
    }
    m_ids.clear();
    m_children.clear();
}

void RichViewAccessible::sync() const
{
    TRichView *v = view();
    if (m_generation == v->layoutGeneration())
        return;
    dropChildren();
    m_generation = v->layoutGeneration();
    const RichLayout *layout = v->textLayout();
    if (!layout)
        return;
    for (int id = 0; id < layout->linkCount(); ++id)
        m_children.push_back({layout->linkItem(id), id});
    const richtext::RVDocument &doc = v->document();
    for (int i = 0; i < doc.items.size() && i < layout->itemCount(); ++i) {
        if (doc.items[i].kind == richtext::RVItem::Kind::Picture && layout->itemLinkId(i) < 0)
            m_children.push_back({i, -1});
    }
    m_ids.assign(m_children.size(), 0);
}

int RichViewAccessible::childCount() const
{
    sync();
    return int(m_children.size());
}

QAccessibleInterface *RichViewAccessible::child(int index) const
{
    sync();
    if (index < 0 || index >= int(m_children.size()))
        return nullptr;
    QAccessible::Id &id = m_ids[size_t(index)];
    if (!id) {
        const Child &c = m_children[size_t(index)];
        id = QAccessible::registerAccessibleInterface(
            new RichChildAccessible(view(), m_generation, c.item, c.link));
    }
    return QAccessible::accessibleInterface(id);
}

int RichViewAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    sync();
    for (size_t i = 0; i < m_ids.size(); ++i) {
        if (m_ids[i] && QAccessible::accessibleInterface(m_ids[i]) == child)
            return int(i);
    }
    return -1;
}

QAccessibleInterface *RichViewAccessible::childAt(int x, int y) const
{
    for (int i = 0; i < childCount(); ++i) {
        QAccessibleInterface *c = child(i);
        if (c && c->rect().contains(x, y))
            return c;
    }
    return nullptr;
}

QAccessibleInterface *RichViewAccessible::linkChild(int id) const
{
    sync();
    for (size_t i = 0; i < m_children.size(); ++i) {
        if (m_children[i].link == id)
            return child(int(i));
    }
    return nullptr;
}

// ---- Text -------------------------------------------------------------------

int RichViewAccessible::characterCount() const
{
    const RichLayout *layout = view()->textLayout();
    return layout ? std::max(0, layout->characterCount() - 1) : 0;
}

QString RichViewAccessible::text(int startOffset, int endOffset) const
{
    const RichLayout *layout = view()->textLayout();
    if (!layout || startOffset >= endOffset)
        return QString();
    return plainText(*layout, startOffset, endOffset);
}

QRect RichViewAccessible::screenRect(int start, int end) const
{
    const TRichView *v = view();
    const RichLayout *layout = v->textLayout();
    if (!layout)
        return QRect();
    QRectF r = layout->rangeRect(start, end);
    if (r.isNull())
        return QRect();
    // The end of a paragraph still has a place a magnifier can show.
    if (r.width() < 1)
        r.setWidth(std::max<qreal>(1, r.height() / 4));
    r.translate(QPointF(v->documentOrigin()));
    return QRect(v->viewport()->mapToGlobal(r.topLeft().toPoint()), r.size().toSize());
}

QRect RichViewAccessible::characterRect(int offset) const
{
    return screenRect(offset, offset + 1);
}

int RichViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const TRichView *v = view();
    const RichLayout *layout = v->textLayout();
    if (!layout)
        return -1;
    const QPoint local = v->viewport()->mapFromGlobal(point);
    if (!v->viewport()->rect().contains(local))
        return -1;
    const QPointF docPoint = QPointF(local - v->documentOrigin());
    const int pos = layout->positionAt(docPoint, Qt::ExactHit);
    return pos < characterCount() ? pos : -1;
}

void RichViewAccessible::scrollToSubstring(int startIndex, int)
{
    TRichView *v = view();
    const RichLayout *layout = v->textLayout();
    if (!layout || startIndex < 0 || startIndex >= characterCount())
        return;
    const int top = v->documentOrigin().y() + layout->lineTopOf(startIndex);
    if (top < 0 || top > v->viewport()->height() - 20) {
        QScrollBar *vb = v->verticalScrollBar();
        vb->setValue(std::clamp(vb->value() + top - 5, 0, vb->maximum()));
    }
}

int RichViewAccessible::cursorPosition() const
{
    const TRichView *v = view();
    const RichLayout *layout = v->textLayout();
    if (!layout)
        return 0;
    // Where the keyboard acts: the focused link, the selection, else the top
    // of what is in view.
    const int link = v->focusedLink();
    if (link >= 0 && link < layout->linkCount())
        return layout->itemPosition(layout->linkItem(link));
    int start = -1, end = -1;
    v->selectionRange(start, end);
    if (end >= 0)
        return end;
    const int top = layout->positionAt(QPointF(0, 1 - v->documentOrigin().y()));
    return std::max(0, top);
}

void RichViewAccessible::setCursorPosition(int position)
{
    TRichView *v = view();
    const RichLayout *layout = v->textLayout();
    if (!layout)
        return;
    for (int id = 0; id < layout->linkCount(); ++id) {
        const int item = layout->linkItem(id);
        const int pos = layout->itemPosition(item);
        if (position >= pos && position < pos + layout->itemLength(item)) {
            v->setFocusedLink(id);
            return;
        }
    }
    v->setFocusedLink(-1);
    scrollToSubstring(position, position + 1);
}

int RichViewAccessible::selectionCount() const
{
    int start = -1, end = -1;
    view()->selectionRange(start, end);
    return start >= 0 && end > start ? 1 : 0;
}

void RichViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    view()->selectionRange(*startOffset, *endOffset);
}

void RichViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void RichViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setSelectionRange(0, 0);
}

void RichViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setSelectionRange(startOffset, endOffset);
}

QString RichViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // No formatting is reported: the whole text is one run.
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return QString();
}

} // namespace richtext
