#pragma once

#include "ui/ModalScreen.h"

namespace movie {
class MovieControl;
}

// The about screen: its movie carries all of the content.
class TfrmAbout : public ui::ModalScreen
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    void FlashEboutFSCommand(const QString &command, const QString &args);

    movie::MovieControl *FlashEbout = nullptr;

protected:
    void FormActivate() override;
};

// The about screen, program-wide (created by the window set).
extern TfrmAbout *frmAbout;
