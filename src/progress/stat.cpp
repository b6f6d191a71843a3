#include "progress/stat.h"

#include "richtext/RichView.h"

#include <QPushButton>

TfrmStat::TfrmStat(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmStat"));
    setWindowFlags(Qt::Tool);
    setWindowTitle(QStringLiteral("Статистика"));
    resize(547, 433);
    move(260, 209);
    RVStyle2 = new TRVStyle(TRVStyle::Sheet::Plain, this);
    RichView1 = new TRichView(this);
    RichView1->setRVStyle(RVStyle2);
    RichView1->setGeometry(0, 0, 547, 369);
    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setGeometry(456, 376, 75, 25);
    connect(btnClose, &QPushButton::clicked, this, &TModalScreen::closeScreen);
}

void TfrmStat::FormActivate() {}
