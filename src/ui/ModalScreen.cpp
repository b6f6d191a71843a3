#include "ui/ModalScreen.h"

#include "ui/Dialogs.h"
#include "ui/PressGuard.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace ui {

bool ModalScreen::s_programEnding = false;

namespace {
std::function<QRect()> g_desktopSource;

// A decorated window's frame is known only once the window manager has
// framed it; until then, room for a usual title bar and border.
QMargins frameOf(QWidget *window)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return {};
    // Some platforms know the frame as soon as the window exists.
    if (!window->windowHandle())
        window->winId();
    if (const QWindow *handle = window->windowHandle()) {
        const QMargins known = handle->frameMargins();
        if (!known.isNull())
            return known;
    }
    return {4, 30, 4, 4};
}
} // namespace

QRect ModalScreen::availableDesktop(const QWidget *window)
{
    if (g_desktopSource)
        return g_desktopSource();
    QScreen *screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

void ModalScreen::setAvailableDesktopSource(std::function<QRect()> source)
{
    g_desktopSource = std::move(source);
}

void ModalScreen::keepOnScreen()
{
    const QRect area = availableDesktop(this);
    if (area.isEmpty())
        return;
    const QMargins frame = frameOf(this);
    const QSize room = area.size().shrunkBy(frame);
    if (width() > room.width() || height() > room.height()) {
        const QSize fit = size().boundedTo(room);
        if (minimumSize().width() <= fit.width() && minimumSize().height() <= fit.height()
            && maximumSize() != minimumSize())
            resize(fit);
        else
            fitInto(fit);
    }
    // The designed place where the whole frame fits; otherwise, or without
    // a designed place, centred, and never with the title bar above the top
    // edge or past the left one. A window's pos() and move() count its frame.
    QRect outer(pos(), size().grownBy(frame));
    if (!testAttribute(Qt::WA_Moved) || !area.contains(outer)) {
        outer.moveCenter(area.center());
        outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.right() - outer.width() + 1)));
        outer.moveTop(std::max(area.top(), std::min(outer.top(), area.bottom() - outer.height() + 1)));
    }
    // Moved explicitly, so the dialog does not centre itself over its parent.
    move(outer.topLeft());
}

ModalScreen::ModalScreen(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    // Every screen: a held Enter or the rest of a double click must not act
    // on the screen that has just come up.
    PressGuard::install();
}

void ModalScreen::showModal()
{
    if (m_inLoop)
        return;
    m_closeRequested = false;
    ui::guarded(this, [this] { FormActivate(); });
    if (!m_closeRequested && !s_programEnding) {
        keepOnScreen();
        m_inLoop = true;
        exec();
        m_inLoop = false;
    }
    hide();
    FormDeactivate();
}

void ModalScreen::closeScreen()
{
    if (m_inLoop)
        done(QDialog::Rejected);
    else
        m_closeRequested = true;
}

void ModalScreen::pressClose()
{
    const auto buttons = findChildren<QPushButton *>();
    for (QPushButton *b : buttons) {
        if (b->text() == QStringLiteral("Закрыть") && b->isVisibleTo(this) && b->isEnabled()) {
            b->click();
            return;
        }
    }
}

void ModalScreen::keyPressEvent(QKeyEvent *event)
{
    // Escape never rejects the dialog behind the screen's back: where it
    // closes, it goes through the screen's own close, as the button does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (m_escapeCloses)
            ui::guarded(this, [this] { pressClose(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ui
