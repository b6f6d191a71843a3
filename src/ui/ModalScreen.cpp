#include "ui/ModalScreen.h"

#include "ui/Dialogs.h"

#include <QKeyEvent>
#include <QPushButton>

namespace ui {

bool ModalScreen::s_programEnding = false;

ModalScreen::ModalScreen(QWidget *parent) : QDialog(parent) { setModal(true); }

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
