#pragma once

#include "app/Screen.h"

class QPushButton;
class TRichView;
class TRVStyle;

// The signed-in learner's record and test results, read-only.
class TfrmStat : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmStat(QWidget *parent = nullptr);

    TRichView *RichView1 = nullptr;
    TRVStyle *RVStyle2 = nullptr;
    QPushButton *btnClose = nullptr;

protected:
    void FormActivate() override;
};
