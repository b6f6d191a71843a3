#include "progress/Otchet.h"

#include "movie/MovieControl.h"

TfrmOtcher::TfrmOtcher(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmOtcher"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Отчет"));
    setFixedSize(550, 400);
    move(270, 187);
    Flash = new MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 550, 400);
}

void TfrmOtcher::FormActivate()
{
    Flash->setMovie(MovieControl::moviePath(QStringLiteral("report")));
}
