#include "movie/MovieScreen.h"

#include "movie/MovieControl.h"

namespace movie {

MovieScreen::MovieScreen(const ScreenFrame &frame, QWidget *parent) : ui::ModalScreen(parent)
{
    setObjectName(frame.objectName);
    // The movie draws the whole window, its close button included.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(frame.title);
    if (!frame.size.isEmpty())
        setFixedSize(frame.size);
    if (frame.position)
        move(*frame.position);

    m_movie = new MovieControl(this);
    m_movie->setObjectName(frame.movieName);
    m_movie->setGeometry(QRect(QPoint(0, 0), frame.movieSize.isEmpty() ? frame.size : frame.movieSize));
    // Through the virtual: each screen's own handler answers.
    connect(m_movie, &MovieControl::fsCommand, this, &MovieScreen::FlashFSCommand);
}

} // namespace movie

namespace movie {

void MovieScreen::pressClose()
{
    if (!m_movie || !m_movie->click(QStringLiteral("close")))
        ui::ModalScreen::pressClose();
}

} // namespace movie
