#pragma once

#include "app/Screen.h"

class MovieControl;

class TfrmOtcher : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmOtcher(QWidget *parent = nullptr);
    MovieControl *Flash = nullptr;

protected:
    void FormActivate() override;
};
