#include "screens/Font.h"

#include "movie/MovieControl.h"

TfrmFont::TfrmFont(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmFont"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Выбор шрифта"));
    setFixedSize(550, 400);
    move(278, 193);
    Flash = new MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 550, 400);
}

void TfrmFont::FormActivate()
{
    Flash->setMovie(MovieControl::moviePath(QStringLiteral("font")));
}
