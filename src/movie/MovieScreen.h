#pragma once

#include "ui/ModalScreen.h"

#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

namespace movie {

class MovieControl;

// What a movie screen's window looks like before it first shows.
struct ScreenFrame
{
    QString objectName; // the window's global name (frmLogin, ...)
    QString title;
    QSize size;                     // fixed client size; empty: the screen sizes itself
    std::optional<QPoint> position; // none: the screen places itself
    QString movieName = QStringLiteral("Flash");
    QSize movieSize; // empty: the whole client size
};

// A modal screen whose face is one movie: a frameless window with a title,
// its movie control at the top left, the movie's commands going to
// FlashFSCommand.
class MovieScreen : public ui::ModalScreen
{
    Q_OBJECT
public:
    // The movie's command event. The command arrives from the event loop,
    // never from inside the movie's own script.
    virtual void FlashFSCommand(const QString &command, const QString &args) = 0;

protected:
    MovieScreen(const ScreenFrame &frame, QWidget *parent);

    MovieControl *movieControl() const { return m_movie; }
    // The movie's own "close" command, as its button gives it.
    void pressClose() override;

private:
    MovieControl *m_movie = nullptr;
};

} // namespace movie
