#include "screens/AboutScreen.h"

#include "movie/MovieControl.h"

#include <QGuiApplication>
#include <QScreen>

TfrmAbout *frmAbout = nullptr;

TfrmAbout::TfrmAbout(QWidget *parent) : ui::ModalScreen(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(551, 400);
    FlashEbout = new movie::MovieControl(this);
    FlashEbout->setObjectName(QStringLiteral("FlashEbout"));
    FlashEbout->setGeometry(0, 0, 551, 400);
    connect(FlashEbout, &movie::MovieControl::fsCommand, this, &TfrmAbout::FlashEboutFSCommand);
}

void TfrmAbout::FormActivate()
{
    // Centred on the screen it is shown on.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    FlashEbout->setMovie(movie::MovieControl::moviePath(QStringLiteral("about")));
}

void TfrmAbout::FlashEboutFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("close")) {
        // The empty movie stops the animation while the window is hidden.
        FlashEbout->setMovie(movie::MovieControl::moviePath(QStringLiteral("zero")));
        closeScreen();
    }
}
