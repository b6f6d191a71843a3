#pragma once

#include <QObject>

class QFrame;
class QWidget;

namespace movie {
class MovieControl;
}

namespace reader {

// The reader's toolbar: the buttons movie along the bottom edge, and the
// keyboard commands that do what its buttons do. Both end in one signal.
class ReaderToolbar : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHeight = 55;

    explicit ReaderToolbar(QWidget &window);

    // Along the bottom of a window that size.
    void placeFor(int windowWidth, int windowHeight);
    // The buttons movie afresh.
    void reload();
    // The frame that marks the page shown among the buttons.
    void gotoFrame(int frame);

signals:
    // A button or its key: "DoHome", "DoMenu", "DoPlus", ...
    void command(const QString &command, const QString &args);

private:
    void addShortcuts(QWidget &window);
    // Whether the buttons offer the command now.
    bool offers(const QString &command) const;

    QFrame *m_panel = nullptr;
    movie::MovieControl *m_buttons = nullptr;
};

} // namespace reader
