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

AccessibilityTap g_tap = nullptr;
// Set on a view while a screen reader has the focus on one of its children
// (a link or a heading): it then takes the page itself for unfocused.
const char *const kChildFocused = "tarvelChildFocused";

// Whether anyone listens: a screen reader through the platform, or a tap.
bool told()
{
    return QAccessible::isActive() || g_tap;
}

void tell(QAccessibleEvent *event)
{
    if (g_tap)
        g_tap(event);
    QAccessible::updateAccessibility(event);
}

RichViewAccessible *viewInterface(TRichView *view)
{
    return view ? static_cast<RichViewAccessible *>(QAccessible::queryAccessibleInterface(view)) : nullptr;
}

// A link, a picture or a heading of the view: a leaf the reader can name,
// place and (for a link) press.
class RichChildAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    RichChildAccessible(TRichView *view, int generation, int item, int link, int heading)
        : m_view(view), m_generation(generation), m_item(item), m_link(link), m_heading(heading)
    {
    }

    bool isValid() const override
    {
        if (!m_view || m_view->layoutGeneration() != m_generation || !m_view->textLayout())
            return false;
        if (m_heading >= 0)
            return m_heading < int(viewInterface(m_view)->headings().size());
        return m_item < m_view->textLayout()->itemCount();
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
        if (!isValid())
            return QString();
        const RichViewAccessible *parentIface = viewInterface(m_view);
        int start = 0, end = 0;
        range(&start, &end);
        // No attribute carries a heading's level to the screen reader here:
        // it is said after the heading's role.
        if (m_heading >= 0 && t == QAccessible::Description)
            return QStringLiteral("уровень %1").arg(parentIface->headings()[size_t(m_heading)].level);
        if (t != QAccessible::Name)
            return QString();
        const richtext::RVDocument &doc = m_view->document();
        if (m_heading < 0 && m_item < doc.items.size() && doc.items[m_item].kind == richtext::RVItem::Kind::Picture)
            return doc.items[m_item].pictureAlt;
        return parentIface->spoken().textOf(start, end).simplified();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        int start = 0, end = 0;
        range(&start, &end);
        return viewInterface(m_view)->screenRect(start, std::max(start + 1, end));
    }
    QAccessible::Role role() const override
    {
        if (m_heading >= 0)
            return QAccessible::Heading;
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
        } else if (m_heading >= 0) {
            // The heading the reading caret stands on is where the keys act.
            int start = 0, end = 0;
            range(&start, &end);
            const int caret = m_view->caretPosition();
            s.focusable = true;
            s.focused = m_view->hasFocus() && m_view->focusedLink() < 0 && caret >= start && caret < end;
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
    // The layout text positions the child takes, [start, end).
    void range(int *start, int *end) const
    {
        if (m_heading >= 0) {
            const Heading &h = viewInterface(m_view)->headings()[size_t(m_heading)];
            *start = h.start;
            *end = h.end;
            return;
        }
        const RichLayout &layout = *m_view->textLayout();
        *start = layout.itemPosition(m_item);
        *end = *start + layout.itemLength(m_item);
    }

    QPointer<TRichView> m_view;
    int m_generation;
    int m_item;
    int m_link;
    int m_heading;
};

} // namespace

void setAccessibilityTap(AccessibilityTap tap)
{
    g_tap = tap;
}

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
    if (!told())
        return;
    QAccessibleEvent event(view, QAccessible::ObjectReorder);
    tell(&event);
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
        tell(&focus);
    });
}

void notifyLinkFocus(TRichView *view, int id)
{
    if (!told() || !view->hasFocus())
        return;
    auto *iface = static_cast<RichViewAccessible *>(QAccessible::queryAccessibleInterface(view));
    QAccessibleInterface *link = iface ? iface->linkChild(id) : nullptr;
    if (!link)
        return;
    QAccessibleEvent event(link, QAccessible::Focus);
    tell(&event);
    view->setProperty(kChildFocused, true);
}

void notifyCaretMoved(TRichView *view)
{
    if (!told())
        return;
    RichViewAccessible *iface = viewInterface(view);
    if (!iface || !view->textLayout())
        return;
    // The caret moves in the page: the focus comes back to it first, or the
    // screen reader would not read where the caret went.
    if (view->property(kChildFocused).toBool() && view->hasFocus()) {
        view->setProperty(kChildFocused, false);
        QAccessibleEvent focus(view, QAccessible::Focus);
        tell(&focus);
    }
    int start = -1, end = -1;
    view->selectionRange(start, end);
    if (end > start) {
        QAccessibleTextSelectionEvent selection(view, iface->spoken().offsetOf(start),
                                                iface->spoken().offsetOf(end));
        tell(&selection);
    }
    QAccessibleTextCursorEvent event(view, iface->cursorPosition());
    tell(&event);
}

void notifyHeadingReached(TRichView *view, int index)
{
    if (!told() || !view->hasFocus())
        return;
    RichViewAccessible *iface = viewInterface(view);
    QAccessibleInterface *heading = iface ? iface->headingChild(index) : nullptr;
    if (!heading)
        return;
    // Told as the focus arriving on the heading: a screen reader says its
    // text, its role and its level.
    QAccessibleEvent event(heading, QAccessible::Focus);
    tell(&event);
    view->setProperty(kChildFocused, true);
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
    for (int h = 0; h < int(headings().size()); ++h)
        m_children.push_back({-1, -1, h});
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
            new RichChildAccessible(view(), m_generation, c.item, c.link, c.heading));
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

QAccessibleInterface *RichViewAccessible::headingChild(int index) const
{
    sync();
    for (size_t i = 0; i < m_children.size(); ++i) {
        if (index >= 0 && m_children[i].heading == index)
            return child(int(i));
    }
    return nullptr;
}

const SpokenText &RichViewAccessible::spoken() const
{
    const TRichView *v = view();
    if (m_spokenGeneration != v->layoutGeneration()) {
        const RichLayout *layout = v->textLayout();
        m_spoken = layout ? SpokenText(v->document(), *layout, *v->rvStyle()) : SpokenText();
        m_headings = layout ? findHeadings(v->document(), *layout) : std::vector<Heading>();
        m_spokenGeneration = v->layoutGeneration();
    }
    return m_spoken;
}

const std::vector<Heading> &RichViewAccessible::headings() const
{
    spoken();
    return m_headings;
}

// ---- Text -------------------------------------------------------------------

int RichViewAccessible::characterCount() const
{
    return spoken().length();
}

QString RichViewAccessible::text(int startOffset, int endOffset) const
{
    const QString &all = spoken().text();
    startOffset = std::max(0, startOffset);
    endOffset = std::min(int(all.size()), endOffset);
    if (startOffset >= endOffset)
        return QString();
    return all.mid(startOffset, endOffset - startOffset);
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
    if (offset < 0 || offset >= characterCount())
        return QRect();
    const int pos = spoken().positionOf(offset);
    return screenRect(pos, pos + 1);
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
    if (pos < 0 || pos >= layout->characterCount() - 1)
        return -1;
    return spoken().offsetOf(pos);
}

void RichViewAccessible::scrollToSubstring(int startIndex, int)
{
    TRichView *v = view();
    const RichLayout *layout = v->textLayout();
    if (!layout || startIndex < 0 || startIndex >= characterCount())
        return;
    startIndex = spoken().positionOf(startIndex);
    const int top = v->documentOrigin().y() + layout->lineTopOf(startIndex);
    if (top < 0 || top > v->viewport()->height() - 20) {
        QScrollBar *vb = v->verticalScrollBar();
        vb->setValue(std::clamp(vb->value() + top - 5, 0, vb->maximum()));
    }
}

int RichViewAccessible::cursorPosition() const
{
    if (!view()->textLayout())
        return 0;
    return spoken().offsetOf(view()->caretPosition());
}

void RichViewAccessible::setCursorPosition(int position)
{
    if (!view()->textLayout())
        return;
    view()->setCaretPosition(spoken().positionOf(position));
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
    int start = 0, end = 0;
    view()->selectionRange(start, end);
    *startOffset = spoken().offsetOf(start);
    *endOffset = spoken().offsetOf(end);
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
    if (selectionIndex == 0 && view()->textLayout())
        view()->setSelectionRange(spoken().positionOf(startOffset), spoken().positionOf(endOffset));
}

QString RichViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // No formatting is reported: the whole text is one run.
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return QString();
}

void RichViewAccessible::lineOffsets(int pos, int *start, int *end) const
{
    int from = pos, to = pos;
    lineAt(*view()->textLayout(), pos, &from, &to);
    *start = spoken().offsetOf(from);
    *end = spoken().offsetOf(to);
}

QString RichViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                         int *endOffset) const
{
    if (boundaryType != QAccessible::LineBoundary || !view()->textLayout())
        return QAccessibleTextInterface::textAtOffset(offset, boundaryType, startOffset, endOffset);
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset > characterCount())
        return QString();
    lineOffsets(spoken().positionOf(offset), startOffset, endOffset);
    return text(*startOffset, *endOffset);
}

QString RichViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const
{
    if (boundaryType != QAccessible::LineBoundary || !view()->textLayout())
        return QAccessibleTextInterface::textBeforeOffset(offset, boundaryType, startOffset, endOffset);
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset > characterCount())
        return QString();
    int start = 0, end = 0;
    lineOffsets(spoken().positionOf(offset), &start, &end);
    if (start <= 0)
        return QString();
    lineOffsets(spoken().positionOf(start - 1), startOffset, endOffset);
    return text(*startOffset, *endOffset);
}

QString RichViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                            int *endOffset) const
{
    if (boundaryType != QAccessible::LineBoundary || !view()->textLayout())
        return QAccessibleTextInterface::textAfterOffset(offset, boundaryType, startOffset, endOffset);
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset > characterCount())
        return QString();
    int start = 0, end = 0;
    lineOffsets(spoken().positionOf(offset), &start, &end);
    if (end >= characterCount())
        return QString();
    lineOffsets(spoken().positionOf(end), startOffset, endOffset);
    return text(*startOffset, *endOffset);
}

} // namespace richtext
