#include "ui/ModalScreen.h"

#include "ui/Dialogs.h"
#include "ui/PressGuard.h"

#include <QKeyEvent>

namespace ui {

bool ModalScreen::s_programEnding = false;

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

void ModalScreen::keyPressEvent(QKeyEvent *event)
{
    // Escape does not close a screen: its movie has its own close command.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ui
