#include "ui/ModalScreen.h"

#include "ui/Dialogs.h"
#include "ui/PressGuard.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace ui {

bool ModalScreen::s_programEnding = false;

namespace {
std::function<QRect()> g_desktopSource;

// The screens whose modal loop runs, the latest last.
QList<QPointer<ModalScreen>> &openScreens()
{
    static QList<QPointer<ModalScreen>> screens;
    return screens;
}

// A screen under a later one that hides all of it (the sign-in screen
// under the home screen) is not showing: a screen reader's review of the
// desktop must not offer its controls as if they were there.
bool isCovered(const QWidget *screen)
{
    const QList<QPointer<ModalScreen>> &open = openScreens();
    qsizetype at = open.size();
    for (qsizetype i = 0; i < open.size(); ++i)
        if (open.at(i).data() == screen)
            at = i;
    const QRect area = screen->frameGeometry();
    for (qsizetype i = at + 1; i < open.size(); ++i) {
        const ModalScreen *later = open.at(i);
        if (later && later->isVisible() && later->frameGeometry().contains(area))
            return true;
    }
    return false;
}

class ScreenAccessible : public QAccessibleWidget
{
public:
    explicit ScreenAccessible(QWidget *screen) : QAccessibleWidget(screen, QAccessible::Dialog) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (isCovered(widget())) {
            s.invisible = true;
            s.active = false;
        }
        return s;
    }
};

QAccessibleInterface *screenFactory(const QString &className, QObject *object)
{
    // Asked class by class up the screen's hierarchy, before QDialog's.
    if (className != QLatin1String("ui::ModalScreen") || !object || !object->isWidgetType())
        return nullptr;
    return new ScreenAccessible(static_cast<QWidget *>(object));
}

// The screens under the top one are told whether they now show.
void tellCoveredChanged(const ModalScreen *top)
{
    for (const QPointer<ModalScreen> &screen : openScreens()) {
        if (!screen || screen == top)
            continue;
        QAccessible::State changed;
        changed.invisible = true;
        QAccessibleStateChangeEvent event(screen.data(), changed);
        QAccessible::updateAccessibility(&event);
    }
}

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
    QAccessible::installFactory(&screenFactory);
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
        openScreens().append(this);
        // Told once the screen shows, when it covers those under it.
        QTimer::singleShot(0, this, [this] { tellCoveredChanged(this); });
        exec();
        openScreens().removeAll(this);
        openScreens().removeAll(nullptr);
        m_inLoop = false;
        tellCoveredChanged(this);
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
