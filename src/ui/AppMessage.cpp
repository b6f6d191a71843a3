#include "ui/AppMessage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>

namespace ui {

void AppMessage::install()
{
    static AppMessage *filter = nullptr;
    if (!filter) {
        filter = new AppMessage(qApp);
        qApp->installEventFilter(filter);
    }
}

bool AppMessage::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
            return true;
        break;
    case QEvent::ContextMenu:
        // The toolkit derives context menus from the right button; with the
        // press gone, no menu may appear from it either.
        if (static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Mouse)
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ui
