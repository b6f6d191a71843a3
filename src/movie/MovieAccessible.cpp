#include "movie/MovieAccessible.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QHash>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTextBoundaryFinder>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QWindow>

namespace movie::access {

namespace {

QHash<QQuickWindow *, QPointer<QQuickWidget>> &views()
{
    static QHash<QQuickWindow *, QPointer<QQuickWidget>> all;
    return all;
}

// The view whose next scene is being built: its items have neither a window
// nor an owner yet, yet are asked for as they are made.
QPointer<QQuickWidget> &loadingView()
{
    static QPointer<QQuickWidget> view;
    return view;
}

std::function<void(QObject *, QAccessible::Event)> &eventWatcher()
{
    static std::function<void(QObject *, QAccessible::Event)> watcher;
    return watcher;
}

void tell(QObject *object, QAccessible::Event type)
{
    QAccessibleEvent event(object, type);
    QAccessible::updateAccessibility(&event);
    if (eventWatcher())
        eventWatcher()(object, type);
}

QQuickWidget *viewOfWindow(QQuickWindow *window)
{
    if (!window)
        return nullptr;
    const auto it = views().constFind(window);
    return it == views().constEnd() ? nullptr : it->data();
}

// The view an item is shown in. An item still being built has no window
// yet: its object parents lead to the movie control that owns the view.
QQuickWidget *viewOf(QObject *object)
{
    for (QObject *o = object; o; o = o->parent()) {
        if (auto *item = qobject_cast<QQuickItem *>(o)) {
            if (QQuickWidget *view = viewOfWindow(item->window()))
                return view;
        } else if (o->isWidgetType()) {
            const auto children = o->findChildren<QQuickWidget *>(Qt::FindDirectChildrenOnly);
            for (QQuickWidget *view : children)
                if (viewOfWindow(view->quickWindow()) == view)
                    return view;
            return nullptr;
        }
    }
    return nullptr;
}

// The scene's "Accessible" attached object: the role, name and description
// the movie gave the item (Qt Quick's controls fill it in themselves).
QObject *attachedOf(const QQuickItem *item)
{
    const QObjectList &children = item->children();
    for (QObject *c : children)
        if (qstrcmp(c->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return c;
    return nullptr;
}

QAccessible::Role attachedRole(const QObject *attached)
{
    if (!attached)
        return QAccessible::NoRole;
    return static_cast<QAccessible::Role>(attached->property("role").toInt());
}

bool isTextItem(const QQuickItem *item)
{
    return item->inherits("QQuickText");
}

bool isEditor(const QQuickItem *item)
{
    return item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit");
}

QString plainText(const QQuickItem *item)
{
    const QString text = item->property("text").toString();
    if (isTextItem(item) && Qt::mightBeRichText(text))
        return QTextDocumentFragment::fromHtml(text).toPlainText();
    return text;
}

bool boolProperty(const QObject *o, const char *name, bool *has = nullptr)
{
    const int index = o ? o->metaObject()->indexOfProperty(name) : -1;
    if (has)
        *has = index >= 0;
    return index >= 0 && o->property(name).toBool();
}

QAccessible::Role roleOf(const QQuickItem *item)
{
    const QAccessible::Role role = attachedRole(attachedOf(item));
    if (role != QAccessible::NoRole)
        return role;
    if (isEditor(item))
        return QAccessible::EditableText;
    if (isTextItem(item))
        return QAccessible::StaticText;
    if (item->activeFocusOnTab())
        return QAccessible::Button;
    return QAccessible::NoRole;
}

// Roles whose parts are drawn for them, not read on their own.
bool isLeafRole(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::Slider:
    case QAccessible::PageTab:
    case QAccessible::ProgressBar:
    case QAccessible::StaticText:
    case QAccessible::Link:
    case QAccessible::Graphic:
        return true;
    default:
        return false;
    }
}

QString textAround(const QString &text, QAccessible::TextBoundaryType type, int offset,
                   int direction, int *start, int *end)
{
    *start = *end = -1;
    const int length = int(text.size());
    if (type == QAccessible::NoBoundary || length == 0) {
        *start = 0;
        *end = length;
        return text;
    }
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary) {
        // Lines as written; a wrapped line is one line here.
        const auto lineStart = [&](int at) {
            return at > 0 ? int(text.lastIndexOf(QLatin1Char('\n'), at - 1)) + 1 : 0;
        };
        const auto lineEnd = [&](int from) {
            const int nl = int(text.indexOf(QLatin1Char('\n'), from));
            return nl < 0 ? length : nl + 1;
        };
        offset = qBound(0, offset, length);
        int from = lineStart(offset);
        int to = lineEnd(from);
        if (direction < 0) {
            if (from == 0)
                return QString();
            to = from;
            from = lineStart(from - 1);
        } else if (direction > 0) {
            if (to >= length)
                return QString();
            from = to;
            to = lineEnd(from);
        }
        *start = from;
        *end = to;
        return text.mid(from, to - from);
    }
    QTextBoundaryFinder::BoundaryType kind = QTextBoundaryFinder::Grapheme;
    if (type == QAccessible::WordBoundary)
        kind = QTextBoundaryFinder::Word;
    else if (type == QAccessible::SentenceBoundary)
        kind = QTextBoundaryFinder::Sentence;
    QTextBoundaryFinder finder(kind, text);
    offset = qBound(0, offset, length - 1);
    finder.setPosition(offset);
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    int from = qMax(0, int(finder.position()));
    int to = int(finder.toNextBoundary());
    if (to < 0)
        to = length;
    if (direction < 0) {
        if (from == 0)
            return QString();
        finder.setPosition(from);
        to = from;
        from = qMax(0, int(finder.toPreviousBoundary()));
    } else if (direction > 0) {
        if (to >= length)
            return QString();
        from = to;
        finder.setPosition(from);
        const int next = int(finder.toNextBoundary());
        to = next < 0 ? length : next;
    }
    *start = from;
    *end = to;
    return text.mid(from, to - from);
}

class ItemAccessible : public QAccessibleObject,
                       public QAccessibleActionInterface,
                       public QAccessibleTextInterface
{
public:
    ItemAccessible(QQuickItem *item, QQuickWidget *view) : QAccessibleObject(item), m_view(view) {}

    QQuickItem *item() const { return static_cast<QQuickItem *>(object()); }
    QQuickWidget *view() const
    {
        QQuickWidget *now = viewOfWindow(item()->window());
        return now ? now : m_view.data();
    }

    bool isValid() const override { return QAccessibleObject::isValid() && view(); }

    QWindow *window() const override
    {
        QQuickWidget *v = view();
        return v && v->window() ? v->window()->windowHandle() : nullptr;
    }

    QAccessibleInterface *parent() const override
    {
        for (QQuickItem *p = item()->parentItem(); p; p = p->parentItem()) {
            if (QQuickWidget *v = view(); v && p == v->quickWindow()->contentItem())
                break;
            if (isExposed(p))
                return QAccessible::queryAccessibleInterface(p);
        }
        return QAccessible::queryAccessibleInterface(view());
    }

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QQuickItem *> list = children();
        if (index < 0 || index >= list.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(list.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(children().indexOf(qobject_cast<QQuickItem *>(child->object()))) : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QList<QQuickItem *> list = children();
        for (auto it = list.crbegin(); it != list.crend(); ++it) {
            QAccessibleInterface *c = QAccessible::queryAccessibleInterface(*it);
            if (c && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        QQuickWidget *v = view();
        QQuickItem *focused = v ? v->quickWindow()->activeFocusItem() : nullptr;
        for (QQuickItem *i = focused; i && i != item(); i = i->parentItem()) {
            if (isExposed(i) && item()->isAncestorOf(i))
                return QAccessible::queryAccessibleInterface(i);
        }
        return nullptr;
    }

    QAccessible::Role role() const override
    {
        const QAccessible::Role r = roleOf(item());
        return r == QAccessible::NoRole ? QAccessible::Grouping : r;
    }

    QString text(QAccessible::Text t) const override
    {
        const QObject *attached = attachedOf(item());
        switch (t) {
        case QAccessible::Name: {
            QString name = attached ? attached->property("name").toString() : QString();
            if (name.isEmpty() && role() != QAccessible::EditableText)
                name = plainText(item());
            return name.simplified();
        }
        case QAccessible::Description:
            return attached ? attached->property("description").toString() : QString();
        case QAccessible::Value:
            if (isEditor(item()))
                return visibleText();
            return QString();
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text t, const QString &text) override
    {
        if (t == QAccessible::Value && isEditor(item()) && !isReadOnly())
            item()->setProperty("text", text);
    }

    QRect rect() const override
    {
        QQuickWidget *v = view();
        if (!v)
            return QRect();
        const QRectF scene = item()->mapRectToScene(QRectF(0, 0, item()->width(), item()->height()));
        return scene.toAlignedRect().translated(v->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        QQuickWidget *v = view();
        const QObject *attached = attachedOf(item());
        if (!v || !v->isVisible() || !item()->isVisible() || !item()->window())
            s.invisible = true;
        if (v && !s.invisible) {
            const QRect shown(v->mapToGlobal(QPoint(0, 0)), v->size());
            if (!rect().intersects(shown))
                s.offscreen = true;
        }
        if (!item()->isEnabled())
            s.disabled = true;
        // Qt Quick calls every text focusable; only what Tab reaches is.
        const QAccessible::Role r = role();
        if (item()->activeFocusOnTab() ||
            (r != QAccessible::StaticText && boolProperty(attached, "focusable")))
            s.focusable = true;
        if (v && v->hasFocus() && item()->hasActiveFocus() && s.focusable)
            s.focused = true;
        bool hasCheckable = false;
        if (boolProperty(item(), "checkable", &hasCheckable) || boolProperty(attached, "checkable"))
            s.checkable = true;
        if (boolProperty(item(), "checked") || boolProperty(attached, "checked"))
            s.checked = true;
        if (r == QAccessible::CheckBox || r == QAccessible::RadioButton)
            s.checkable = true;
        if (r == QAccessible::EditableText) {
            s.editable = !isReadOnly();
            s.readOnly = isReadOnly();
            if (item()->inherits("QQuickTextEdit"))
                s.multiLine = true;
            if (item()->property("echoMode").toInt() == 2) // TextInput.Password
                s.passwordEdit = true;
        } else if (r == QAccessible::StaticText) {
            s.readOnly = true;
        }
        if (r == QAccessible::Button && boolProperty(item(), "pressed"))
            s.pressed = true;
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        if (t == QAccessible::TextInterface) {
            const QAccessible::Role r = role();
            if (r == QAccessible::StaticText || r == QAccessible::EditableText || r == QAccessible::Heading)
                return static_cast<QAccessibleTextInterface *>(this);
        }
        return nullptr;
    }

    // ---- actions ----------------------------------------------------------

    QStringList actionNames() const override
    {
        QStringList names;
        const QAccessible::Role r = role();
        if (r == QAccessible::Button || r == QAccessible::Link || r == QAccessible::PageTab ||
            r == QAccessible::ListItem || r == QAccessible::MenuItem)
            names << pressAction();
        if (r == QAccessible::CheckBox || r == QAccessible::RadioButton)
            names << toggleAction();
        if (state().focusable)
            names << setFocusAction();
        return names;
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &name) override
    {
        QQuickItem *i = item();
        if (!i->isEnabled())
            return;
        QObject *attached = attachedOf(i);
        if (name == setFocusAction()) {
            if (QQuickWidget *v = view())
                v->setFocus(Qt::OtherFocusReason);
            i->forceActiveFocus(Qt::OtherFocusReason);
            return;
        }
        if (name == pressAction() || name == toggleAction()) {
            if (name == toggleAction() && i->metaObject()->indexOfMethod("toggle()") >= 0) {
                QMetaObject::invokeMethod(i, "toggle");
                if (i->metaObject()->indexOfSignal("toggled()") >= 0)
                    QMetaObject::invokeMethod(i, "toggled");
                return;
            }
            // A press is the control's click, as Space would give it; a
            // control without one hears the reader's press itself.
            if (i->metaObject()->indexOfSignal("clicked()") >= 0)
                QMetaObject::invokeMethod(i, "clicked");
            else if (attached && attached->metaObject()->indexOfSignal("pressAction()") >= 0)
                QMetaObject::invokeMethod(attached, "pressAction");
        }
    }

    // ---- text -------------------------------------------------------------

    QString visibleText() const
    {
        if (item()->property("echoMode").toInt() == 2)
            return QString(plainText(item()).size(), QChar(0x2022));
        return plainText(item());
    }
    bool isReadOnly() const { return boolProperty(item(), "readOnly"); }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0)
            return;
        *startOffset = item()->property("selectionStart").toInt();
        *endOffset = item()->property("selectionEnd").toInt();
    }
    int selectionCount() const override
    {
        int s = 0;
        int e = 0;
        selection(0, &s, &e);
        return s != e ? 1 : 0;
    }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override
    {
        if (item()->metaObject()->indexOfMethod("deselect()") >= 0)
            QMetaObject::invokeMethod(item(), "deselect");
    }
    void setSelection(int, int startOffset, int endOffset) override
    {
        if (item()->metaObject()->indexOfMethod("select(int,int)") >= 0)
            QMetaObject::invokeMethod(item(), "select", Q_ARG(int, startOffset), Q_ARG(int, endOffset));
    }
    int cursorPosition() const override
    {
        bool has = false;
        boolProperty(item(), "cursorPosition", &has);
        return has ? item()->property("cursorPosition").toInt() : 0;
    }
    void setCursorPosition(int position) override
    {
        if (item()->metaObject()->indexOfProperty("cursorPosition") >= 0)
            item()->setProperty("cursorPosition", position);
    }
    QString text(int startOffset, int endOffset) const override
    {
        const QString t = visibleText();
        startOffset = qBound(0, startOffset, int(t.size()));
        endOffset = endOffset < 0 ? int(t.size()) : qBound(startOffset, endOffset, int(t.size()));
        return t.mid(startOffset, endOffset - startOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                             int *endOffset) const override
    {
        return textAround(visibleText(), type, offset, -1, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                            int *endOffset) const override
    {
        return textAround(visibleText(), type, offset, 1, startOffset, endOffset);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                         int *endOffset) const override
    {
        return textAround(visibleText(), type, offset, 0, startOffset, endOffset);
    }
    int characterCount() const override { return int(visibleText().size()); }
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        Q_UNUSED(offset);
        return QString();
    }

private:
    QList<QQuickItem *> children() const
    {
        // A control's parts are drawn for it. A box the movie named as one
        // text or picture (a chart, a row of marks) keeps the parts it named
        // too, but not the texts that only draw them.
        const QAccessible::Role r = role();
        if (!isLeafRole(r))
            return exposedChildren(item());
        if ((r == QAccessible::StaticText || r == QAccessible::Graphic) && !isTextItem(item()))
            return exposedChildren(item(), true);
        return {};
    }

    QPointer<QQuickWidget> m_view;
};

// The view itself: the scene's top exposed items are its children.
class SceneAccessible : public QAccessibleWidget
{
public:
    explicit SceneAccessible(QQuickWidget *view) : QAccessibleWidget(view, QAccessible::Client) {}

    QQuickWidget *view() const { return static_cast<QQuickWidget *>(widget()); }

    QList<QQuickItem *> items() const { return exposedChildren(view()->quickWindow()->contentItem()); }

    int childCount() const override { return int(items().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QQuickItem *> list = items();
        if (index < 0 || index >= list.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(list.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(items().indexOf(qobject_cast<QQuickItem *>(child->object()))) : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QList<QQuickItem *> list = items();
        for (auto it = list.crbegin(); it != list.crend(); ++it) {
            QAccessibleInterface *c = QAccessible::queryAccessibleInterface(*it);
            if (c && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        if (!view()->hasFocus())
            return nullptr;
        for (QQuickItem *i = view()->quickWindow()->activeFocusItem(); i; i = i->parentItem()) {
            if (isExposed(i))
                return QAccessible::queryAccessibleInterface(i);
        }
        return nullptr;
    }
    QAccessible::State state() const override
    {
        // Focus is on the scene's control, never on the view around it.
        QAccessible::State s = QAccessibleWidget::state();
        s.focused = false;
        s.focusable = false;
        return s;
    }
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (views().isEmpty() || !object)
        return nullptr;
    if (auto *view = qobject_cast<QQuickWidget *>(object)) {
        if (viewOfWindow(view->quickWindow()) == view)
            return new SceneAccessible(view);
        return nullptr;
    }
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item)
        return nullptr;
    QQuickWidget *view = viewOf(item);
    if (!view && !item->window())
        view = loadingView();
    if (view) {
        if (item == view->quickWindow()->contentItem())
            return nullptr;
        return new ItemAccessible(item, view);
    }
    // An item made after its scene (a repeater's delegate) is asked for
    // before it is placed. Qt Quick's answer would be kept for it for good,
    // and Qt Quick is shown only in movies here: the item's view is found
    // once it has a window.
    if (!item->window())
        return new ItemAccessible(item, nullptr);
    return nullptr;
}

// Tells a notice's new text, as a notification shown again: what screen
// readers speak at once. Only while the keyboard is in the scene, so that a
// movie running beside the page does not talk over the reading.
class NoticeRelay : public QObject
{
    Q_OBJECT
public:
    // Owned by the notice it tells.
    NoticeRelay(QQuickItem *notice, QQuickWidget *view) : QObject(notice), m_view(view) {}

public slots:
    void changed()
    {
        auto *notice = static_cast<QQuickItem *>(parent());
        if (!m_view || !m_view->hasFocus() || !m_view->isVisible() || !notice->isVisible() ||
            plainText(notice).trimmed().isEmpty())
            return;
        tell(notice, QAccessible::ObjectHide);
        tell(notice, QAccessible::ObjectShow);
    }

private:
    QPointer<QQuickWidget> m_view;
};

} // namespace

bool isExposed(QQuickItem *item)
{
    if (!item)
        return false;
    const QObject *attached = attachedOf(item);
    if (attached && attached->property("ignored").toBool())
        return false;
    const QAccessible::Role role = roleOf(item);
    if (role == QAccessible::NoRole)
        return false;
    if (role == QAccessible::StaticText && attachedRole(attached) == QAccessible::NoRole)
        return !plainText(item).trimmed().isEmpty();
    return true;
}

QList<QQuickItem *> exposedChildren(QQuickItem *item, bool namedOnly)
{
    QList<QQuickItem *> out;
    if (!item)
        return out;
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *child : children) {
        // What the movie marks ignored is a picture, parts and all (a form
        // fading out, a decoration made of texts).
        if (const QObject *attached = attachedOf(child); attached && attached->property("ignored").toBool())
            continue;
        if (isExposed(child) && (!namedOnly || attachedRole(attachedOf(child)) != QAccessible::NoRole))
            out.append(child);
        else
            out.append(exposedChildren(child, namedOnly));
    }
    return out;
}

void attachView(QQuickWidget *view)
{
    // Installed after Qt Quick's own factory, so asked first.
    QAccessible::installFactory(&factory);
    views().insert(view->quickWindow(), view);
    QQuickWindow *window = view->quickWindow();
    QObject::connect(window, &QQuickWindow::activeFocusItemChanged, view, [view] {
        // Told after the widget's own focus news, which would hide it.
        QTimer::singleShot(0, view, [view] { announceFocus(view); });
    });
}

LoadingScope::LoadingScope(QQuickWidget *view) : m_previous(loadingView())
{
    loadingView() = view;
}

LoadingScope::~LoadingScope()
{
    loadingView() = m_previous;
}

void detachView(QQuickWidget *view)
{
    views().remove(view->quickWindow());
}

void setEventWatcher(std::function<void(QObject *, QAccessible::Event)> watcher)
{
    eventWatcher() = std::move(watcher);
}

void watchNotices(QQuickWidget *view, QQuickItem *root)
{
    if (!view || !root)
        return;
    const std::function<void(QQuickItem *)> walk = [&](QQuickItem *item) {
        if (attachedRole(attachedOf(item)) == QAccessible::Notification &&
            item->metaObject()->indexOfSignal("textChanged(QString)") >= 0) {
            auto *relay = new NoticeRelay(item, view);
            QObject::connect(item, SIGNAL(textChanged(QString)), relay, SLOT(changed()));
        }
        const QList<QQuickItem *> children = item->childItems();
        for (QQuickItem *child : children)
            walk(child);
    };
    walk(root);
}

void announceFocus(QQuickWidget *view)
{
    if (!view || !view->hasFocus())
        return;
    for (QQuickItem *i = view->quickWindow()->activeFocusItem(); i; i = i->parentItem()) {
        if (isExposed(i)) {
            tell(i, QAccessible::Focus);
            return;
        }
    }
}

} // namespace movie::access

#include "MovieAccessible.moc"
