#include "screens/AboutScreen.h"

#include "movie/MovieControl.h"

#include <QGuiApplication>
#include <QScreen>

TfrmAbout *frmAbout = nullptr;

TfrmAbout::TfrmAbout(QWidget *parent)
    : movie::MovieScreen({QStringLiteral("frmAbout"), QStringLiteral("О программе"),
                          QSize(551, 400), std::nullopt, QStringLiteral("FlashEbout")},
                         parent)
{
    setEscapeCloses(true);
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
