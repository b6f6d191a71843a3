#include "reader/ReaderToolbar.h"

#include "movie/MovieControl.h"
#include "ui/Dialogs.h"

#include <QFrame>
#include <QKeySequence>
#include <QShortcut>

namespace reader {

ReaderToolbar::ReaderToolbar(QWidget &window) : QObject(&window)
{
    m_panel = new QFrame(&window);
    m_panel->setObjectName(QStringLiteral("pnlButtons"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel->setAutoFillBackground(true);
    QPalette palette = m_panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    m_panel->setPalette(palette);
    m_buttons = new movie::MovieControl(m_panel);
    m_buttons->setObjectName(QStringLiteral("FlashButtons"));
    connect(m_buttons, &movie::MovieControl::fsCommand, this, &ReaderToolbar::command);
    addShortcuts(window);
}

void ReaderToolbar::placeFor(int windowWidth, int windowHeight)
{
    m_panel->setGeometry(0, windowHeight - kHeight, windowWidth, kHeight);
    m_buttons->setGeometry(2, 2, 780, 51);
}

namespace {

// The keys of the buttons whose keys the movie does not name itself: each
// button's tooltip and description then name them.
const struct
{
    const char *command;
    const char *keys;
} kNamedKeys[] = {
    {"DoHome", "Alt+Home"},
    {"DoPlayer", "F3"},
};

} // namespace

void ReaderToolbar::reload()
{
    m_buttons->setMovie(movie::MovieControl::moviePath(QStringLiteral("buttons")));
    for (const auto &named : kNamedKeys) {
        QObject *button = m_buttons->findControl(QLatin1String(named.command));
        if (button && button->property("keys").toString().isEmpty())
            button->setProperty("keys", QLatin1String(named.keys));
    }
}

bool ReaderToolbar::offers(const QString &command) const
{
    // A button the movie hides (no video lecture for the page) is no command.
    const QObject *button = m_buttons->findControl(command);
    return !button || button->property("visible").toBool();
}

void ReaderToolbar::gotoFrame(int frame)
{
    m_buttons->GotoFrame(frame);
}

void ReaderToolbar::addShortcuts(QWidget &window)
{
    // The same commands as the toolbar's buttons, whose tooltips name these keys.
    const struct
    {
        QKeySequence keys;
        const char *command;
    } bindings[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), "DoBack"},
        {QKeySequence(QKeySequence::ZoomIn), "DoPlus"},
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), "DoPlus"},
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), "DoPlus"},
        {QKeySequence(QKeySequence::ZoomOut), "DoMinus"},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), "DoMinus"},
        {QKeySequence(Qt::CTRL | Qt::Key_D), "DoBookmark"},
        {QKeySequence(Qt::Key_F1), "DoHelp"},
        {QKeySequence(Qt::Key_F2), "DoMenu"},
        {QKeySequence(Qt::ALT | Qt::Key_Home), "DoHome"},
        {QKeySequence(Qt::Key_F3), "DoPlayer"},
    };
    QList<QKeySequence> taken;
    for (const auto &binding : bindings) {
        // ZoomIn is Ctrl++ on most systems already; a key bound twice is ambiguous.
        if (binding.keys.isEmpty() || taken.contains(binding.keys))
            continue;
        taken.append(binding.keys);
        auto *shortcut = new QShortcut(binding.keys, &window);
        const QString name = QString::fromLatin1(binding.command);
        connect(shortcut, &QShortcut::activated, this, [this, name] {
            // A command may open a modal screen: run it from the event loop,
            // as the toolbar's own commands are.
            QMetaObject::invokeMethod(
                this,
                [this, name] {
                    if (offers(name))
                        ui::guarded(m_panel->window(), [&] { emit command(name, QString()); });
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace reader
