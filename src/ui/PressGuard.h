#pragma once

#include <QObject>

namespace ui {

// One press, one action. Held keys and fast clicks must not act on a screen
// the learner has not yet seen:
// - an auto-repeated Enter, Return or Space (outside text fields) is dropped,
//   so holding Enter does not press the default button again and again;
// - a mouse press that comes within the double-click interval after the
//   input that changed the screen (a window shown or hidden, or a screen that
//   says it shows something new) is dropped, with its release: the second
//   press of a double click on "Войти" does not press what the home screen
//   has under the pointer.
// Times are the input events' own time stamps, so a slow screen change does
// not widen or narrow the interval.
class PressGuard : public QObject
{
    Q_OBJECT
public:
    // Watches the whole application; once is enough, later calls do nothing.
    static void install();
    // The window now shows something new where the learner was pressing (the
    // next question): presses that follow the last one too closely are dropped.
    static void screenChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit PressGuard(QObject *parent) : QObject(parent) {}
    void noteInput(quint64 timestamp);
    void markChanged();
    bool tooSoon(quint64 timestamp) const;

    quint64 m_lastInput = 0;  // 0: no time known
    quint64 m_changedAt = 0;  // 0: no change to guard
    bool m_dropRelease = false;
};

} // namespace ui
