#include "screens/About.h"

#include "movie/MovieControl.h"

TfrmAbout::TfrmAbout(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(551, 400);
    move(0, 0);
    FlashEbout = new MovieControl(this);
    FlashEbout->setObjectName(QStringLiteral("FlashEbout"));
    FlashEbout->setGeometry(0, 0, 551, 400);
}

void TfrmAbout::FormActivate()
{
    FlashEbout->setMovie(MovieControl::moviePath(QStringLiteral("about")));
}
