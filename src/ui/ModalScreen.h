#pragma once

#include <QDialog>
#include <QRect>

#include <functional>

namespace ui {

// A screen shown modally over the reader window or the home screen. Its
// activation handler runs at the start of every modal showing; the screen
// may close itself from there, before its loop starts.
class ModalScreen : public QDialog
{
    Q_OBJECT
public:
    explicit ModalScreen(QWidget *parent = nullptr);

    // Shows the screen modally and returns when it has closed.
    void showModal();
    // Closes the screen, whether its modal loop runs yet or not.
    void closeScreen();
    bool isShowingModal() const { return m_inLoop; }

    // Moves the window, and shrinks one that may be resized, so that its
    // whole frame lies inside the available desktop of its screen: a window
    // designed for a larger desktop keeps its place where it fits, and is
    // centred where it does not. Run at every showing.
    void keepOnScreen();
    // The rectangle every screen must stay inside (tests may set one).
    static QRect availableDesktop(const QWidget *window);
    static void setAvailableDesktopSource(std::function<QRect()> source);

    // Set while the program ends: no screen opens its loop any more.
    static void setProgramEnding(bool ending) { s_programEnding = ending; }
    static bool programEnding() { return s_programEnding; }

protected:
    // Escape presses the screen's "Закрыть" (off: Escape does nothing, for
    // the screens whose close ends the program or abandons a test).
    void setEscapeCloses(bool closes) { m_escapeCloses = closes; }
    // Does what the screen's "Закрыть" does; by default clicks the visible
    // button of that label.
    virtual void pressClose();

    virtual void FormActivate() {}
    virtual void FormDeactivate() {}
    // A window whose size is fixed and that is larger than the desktop
    // scales its face down to fit; by default it only moves.
    virtual void fitInto(const QSize &size) { Q_UNUSED(size); }
    void keyPressEvent(QKeyEvent *event) override;

private:
    static bool s_programEnding;
    bool m_inLoop = false;
    bool m_closeRequested = false;
    bool m_escapeCloses = false;
};

} // namespace ui
