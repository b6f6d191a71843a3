#include "screens/Font.h"

#include "app/WindowSet.h"
#include "movie/MovieControl.h"
#include "reader/MainForm.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "screens/FontDialog.h"

#include <iterator>

namespace {
// Text styles 0 to 12 of the reader sheet, as "DoDefoult" sets them. Styles
// 4 and 12 end larger than they start (8 and 10 points).
constexpr int kDefaultSizes[] = {10, 20, 14, 10, 10, 12, 10, 9, 9, 12, 10, 10, 12};
} // namespace

TfrmFont::TfrmFont(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmFont"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Выбор шрифта"));
    setFixedSize(550, 400);
    move(278, 193);

    Flash = new MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 550, 400);
    connect(Flash, &MovieControl::fsCommand, this, &TfrmFont::FlashFSCommand);

    // The preview shares the reader's sheet: a change shows in both.
    RView1 = new TRichView(this);
    RView1->setObjectName(QStringLiteral("RView1"));
    if (frmMain)
        RView1->setRVStyle(frmMain->RVStyle1);
    RView1->setMargins(5, 5, 5, 5);
    RView1->setSelectionEnabled(true);
    RView1->setFrameShape(QFrame::NoFrame);
    RView1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RView1->setGeometry(16, 24, 401, 345);
    RView1->raise();

    dlgFont = new TFontDialog(this);
    connect(dlgFont, &TFontDialog::applied, this, &TfrmFont::dlgFontApply);
}

void TfrmFont::FormActivate()
{
    if (RView1->rvStyle() != frmMain->RVStyle1)
        RView1->setRVStyle(frmMain->RVStyle1);
    // A missing dictionary leaves the preview as it was.
    if (RView1->LoadRVF(QStringLiteral("lections/dict.rvf")))
        RView1->Format();
    Flash->setGeometry(rect());
    Flash->setMovie(MovieControl::moviePath(QStringLiteral("font")));
    RView1->raise();
}

void TfrmFont::FlashFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("close"))
        closeScreen();
    else if (command == QLatin1String("DoChange"))
        dlgFont->Execute(); // only Apply changes the styles
    else if (command == QLatin1String("DoDefoult"))
        DoDefoult();
}

void TfrmFont::dlgFontApply()
{
    TRVStyle *sheet = frmMain->RVStyle1;
    RVTextStyle &normal = sheet->TextStyles(0);
    normal.assignFont(dlgFont->chosenFont(), dlgFont->chosenColor());
    const int size = normal.size;
    // The other styles keep their faces, colours and effects.
    sheet->TextStyles(1).size = size + 10;
    sheet->TextStyles(2).size = size + 4;
    sheet->TextStyles(3).size = size;
    sheet->TextStyles(4).size = size;
    RView1->Format();
}

void TfrmFont::DoDefoult()
{
    TRVStyle *sheet = frmMain->RVStyle1;
    for (int i = 0; i < int(std::size(kDefaultSizes)); ++i)
        sheet->TextStyles(i).size = kDefaultSizes[i];
    RView1->Format();
}
