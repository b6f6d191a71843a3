#pragma once

#include "app/Screen.h"

class MovieControl;

class TfrmBookmark : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmBookmark(QWidget *parent = nullptr);
    MovieControl *Flash = nullptr;

protected:
    void FormActivate() override;
};
