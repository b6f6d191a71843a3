#include "ui/AccessibleFrames.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFrame>

namespace ui {

namespace {

QAccessibleInterface *frameFactory(const QString &className, QObject *object)
{
    // Asked class by class up the object's hierarchy: "QFrame" comes only
    // after the object's own classes found no interface.
    if (className != QLatin1String("QFrame") || !object || !object->isWidgetType())
        return nullptr;
    auto *frame = qobject_cast<QFrame *>(object);
    return frame ? new QAccessibleWidget(frame, QAccessible::Pane) : nullptr;
}

} // namespace

void installAccessibleFrames()
{
    QAccessible::installFactory(&frameFactory);
}

} // namespace ui
