#pragma once

#include "app/Screen.h"

class MovieControl;

class TfrmAbout : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);
    MovieControl *FlashEbout = nullptr;

protected:
    void FormActivate() override;
};
