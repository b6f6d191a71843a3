#pragma once

#include <QAccessibleWidget>
#include <QPointer>

#include <functional>

class QQuickItem;
class QQuickWidget;

namespace movie {

// What a screen reader sees of a movie: the scene's controls and texts as
// children of the movie's view, each with its parent, index, window, name,
// role and state. Qt's own bridge for a scene inside a widget leaves every
// item without a parent (index -1), and screen readers drop such objects.
namespace access {

// Called once per view: items of that view's scene are answered by this
// bridge from then on.
void attachView(QQuickWidget *view);
void detachView(QQuickWidget *view);

// While alive, items built without a window belong to that view's scene.
class LoadingScope
{
public:
    explicit LoadingScope(QQuickWidget *view);
    ~LoadingScope();
    LoadingScope(const LoadingScope &) = delete;
    LoadingScope &operator=(const LoadingScope &) = delete;

private:
    QQuickWidget *m_previous;
};

// Whether the item is a node of the tree (a control, a text, a picture with
// a name); items that only place or paint others are skipped through.
bool isExposed(QQuickItem *item);

// The exposed items directly under item, in child order; namedOnly: only
// those the movie gave an accessible role. Items marked ignored are left
// out with everything under them.
QList<QQuickItem *> exposedChildren(QQuickItem *item, bool namedOnly = false);

// Tells assistive technology that focus is on the scene's focused control.
void announceFocus(QQuickWidget *view);

// Texts the scene marks as notifications (Accessible.role:
// Accessible.Notification, such as a movie's step caption) are told again
// each time they change while the keyboard is in the scene: a screen reader
// reads nothing that changes away from its focus.
void watchNotices(QQuickWidget *view, QQuickItem *root);

// Also told each focus announcement (QAccessible::Focus) and each notice
// (QAccessible::ObjectShow). Qt passes accessibility events on only while a
// screen reader listens; this lets a check without one see what would have
// been said.
void setEventWatcher(std::function<void(QObject *, QAccessible::Event)> watcher);

} // namespace access
} // namespace movie
