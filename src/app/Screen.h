#pragma once

#include <QDialog>

// A screen shown modally over the reader window or the home screen. Its
// activation handler runs at the start of every modal showing; the screen
// may close itself from there, before its loop starts.
class TModalScreen : public QDialog
{
    Q_OBJECT
public:
    explicit TModalScreen(QWidget *parent = nullptr);

    // Shows the screen modally and returns when it has closed.
    void showModal();
    // Closes the screen, whether its modal loop runs yet or not.
    void closeScreen();
    bool isShowingModal() const { return m_inLoop; }

protected:
    virtual void FormActivate() {}
    virtual void FormDeactivate() {}
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_inLoop = false;
    bool m_closeRequested = false;
};
