#pragma once

#include "movie/MovieScreen.h"

namespace movie {
class MovieControl;
}

// The about screen: its movie carries all of the content.
class TfrmAbout : public movie::MovieScreen
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    void FlashEboutFSCommand(const QString &command, const QString &args);

protected:
    void FormActivate() override;

private:
    movie::MovieControl *const FlashEbout = movieControl();

    // The about movie's commands go to FlashEboutFSCommand.
    void FlashFSCommand(const QString &command, const QString &args) override
    {
        FlashEboutFSCommand(command, args);
    }
};

// The about screen, program-wide (created by the window set).
extern TfrmAbout *frmAbout;
