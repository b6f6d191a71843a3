#pragma once

#include "app/Screen.h"

class MovieControl;

// The about screen: its movie carries all of the content.
class TfrmAbout : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    void FlashEboutFSCommand(const QString &command, const QString &args);

    MovieControl *FlashEbout = nullptr;

protected:
    void FormActivate() override;
};
