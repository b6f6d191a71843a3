#include "app/Screen.h"

#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "reader/MainForm.h"

#include <QKeyEvent>

TModalScreen::TModalScreen(QWidget *parent) : QDialog(parent) { setModal(true); }

void TModalScreen::showModal()
{
    if (m_inLoop)
        return;
    m_closeRequested = false;
    dialogs::guarded(this, [this] { FormActivate(); });
    const bool ending = frmMain && frmMain->isClosing();
    if (!m_closeRequested && !ending) {
        m_inLoop = true;
        exec();
        m_inLoop = false;
    }
    hide();
    FormDeactivate();
}

void TModalScreen::closeScreen()
{
    if (m_inLoop)
        done(QDialog::Rejected);
    else
        m_closeRequested = true;
}

void TModalScreen::keyPressEvent(QKeyEvent *event)
{
    // Escape does not close a screen: its movie has its own close command.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
