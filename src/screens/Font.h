#pragma once

#include "app/Screen.h"

class MovieControl;

class TfrmFont : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmFont(QWidget *parent = nullptr);
    MovieControl *Flash = nullptr;

protected:
    void FormActivate() override;
};
