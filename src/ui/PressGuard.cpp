#include "ui/PressGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStyleHints>
#include <QTextEdit>

#include <algorithm>

namespace ui {

namespace {

QPointer<PressGuard> g_guard;

bool isActivationKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
           key == Qt::Key_Select;
}

// Holding Space types spaces there; that repeat is wanted.
bool isTextInput(QObject *object)
{
    return qobject_cast<QLineEdit *>(object) || qobject_cast<QTextEdit *>(object) ||
           qobject_cast<QPlainTextEdit *>(object) || qobject_cast<QAbstractSpinBox *>(object);
}

// A window the learner sees as a screen or a message; tool tips and menus
// open under the pointer without changing what a press means.
bool isScreen(QObject *object)
{
    if (!object->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(object);
    if (!widget->isWindow())
        return false;
    switch (widget->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Tool:
        return true;
    default:
        return false;
    }
}

} // namespace

void PressGuard::install()
{
    if (g_guard || !qApp)
        return;
    g_guard = new PressGuard(qApp);
    qApp->installEventFilter(g_guard);
}

void PressGuard::screenChanged()
{
    if (g_guard)
        g_guard->markChanged();
}

void PressGuard::noteInput(quint64 timestamp) { m_lastInput = timestamp; }

void PressGuard::markChanged() { m_changedAt = m_lastInput; }

bool PressGuard::tooSoon(quint64 timestamp) const
{
    // Events without a time (sent by the program itself) are never dropped.
    if (m_changedAt == 0 || timestamp == 0 || timestamp < m_changedAt)
        return false;
    const auto interval = quint64(std::max(0, QGuiApplication::styleHints()->mouseDoubleClickInterval()));
    return timestamp - m_changedAt < interval;
}

bool PressGuard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!watched->isWidgetType())
            break;
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->isAutoRepeat() && isActivationKey(key->key()) &&
            !(key->key() == Qt::Key_Space && isTextInput(watched)))
            return true;
        if (event->type() == QEvent::KeyPress)
            noteInput(key->timestamp());
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // The window's copy comes first; the widget's decides.
        if (!watched->isWidgetType())
            break;
        const quint64 at = static_cast<QMouseEvent *>(event)->timestamp();
        if (tooSoon(at)) {
            m_dropRelease = true;
            return true;
        }
        noteInput(at);
        break;
    }
    case QEvent::MouseButtonRelease: {
        if (!watched->isWidgetType())
            break;
        if (m_dropRelease) {
            m_dropRelease = false;
            return true;
        }
        noteInput(static_cast<QMouseEvent *>(event)->timestamp());
        break;
    }
    case QEvent::Show:
    case QEvent::Hide:
        if (isScreen(watched))
            markChanged();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ui
