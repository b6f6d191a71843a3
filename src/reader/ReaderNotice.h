#pragma once

#include <QLabel>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;

namespace reader {

// A short confirmation over the page ("Добавлена закладка!"): shown for a
// moment, then it fades. It never takes the keyboard or the mouse, so the
// learner reads on; a screen reader is told of it as an alert.
class ReaderNotice : public QLabel
{
    Q_OBJECT
public:
    // How long the notice stays before it fades, and the fade itself.
    static constexpr int kShownMs = 2500;
    static constexpr int kFadeMs = 600;

    explicit ReaderNotice(QWidget *window);

    // Shows the text centred near the bottom of area (the page, in the
    // window's coordinates); a notice still on view is replaced.
    void notify(const QString &text, const QRect &area);
    // Gone at once (the page it was about is left).
    void dismiss();

private:
    void place(const QRect &area);

    QGraphicsOpacityEffect *m_opacity = nullptr;
    QPropertyAnimation *m_fade = nullptr;
    QTimer *m_wait = nullptr;
};

} // namespace reader
