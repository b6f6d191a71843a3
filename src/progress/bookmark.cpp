#include "progress/bookmark.h"

#include "movie/MovieControl.h"

TfrmBookmark::TfrmBookmark(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmBookmark"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Закладки"));
    setFixedSize(550, 400);
    move(270, 187);
    Flash = new MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 550, 400);
}

void TfrmBookmark::FormActivate()
{
    Flash->setMovie(MovieControl::moviePath(QStringLiteral("bookmark")));
}
