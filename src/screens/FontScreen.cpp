#include "screens/FontScreen.h"

#include "movie/MovieControl.h"
#include "reader/ReaderState.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "ui/FontDialog.h"

TfrmFont *frmFont = nullptr;

TfrmFont::TfrmFont(reader::ReaderState &state, QWidget *parent)
    : ui::ModalScreen(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmFont"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Выбор шрифта"));
    setFixedSize(550, 400);
    move(278, 193);

    Flash = new movie::MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 550, 400);
    connect(Flash, &movie::MovieControl::fsCommand, this, &TfrmFont::FlashFSCommand);

    // The preview shares the reader's sheet: a change shows in both.
    RView1 = new TRichView(this);
    RView1->setAccessibleName(QStringLiteral("Образец шрифта"));
    RView1->setObjectName(QStringLiteral("RView1"));
    RView1->setRVStyle(&m_state.readingStyle());
    RView1->setMargins(5, 5, 5, 5);
    RView1->setSelectionEnabled(true);
    RView1->setFrameShape(QFrame::NoFrame);
    RView1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RView1->setGeometry(16, 24, 401, 345);
    RView1->raise();

    dlgFont = new ui::FontDialog(this);
    connect(dlgFont, &ui::FontDialog::applied, this, &TfrmFont::dlgFontApply);
}

void TfrmFont::FormActivate()
{
    if (RView1->rvStyle() != &m_state.readingStyle())
        RView1->setRVStyle(&m_state.readingStyle());
    // A missing dictionary leaves the preview as it was.
    if (RView1->LoadRVF(QStringLiteral("lections/dict.rvf")))
        RView1->Format();
    Flash->setGeometry(rect());
    Flash->setMovie(movie::MovieControl::moviePath(QStringLiteral("font")));
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
    frmMain->applyReadingFont(dlgFont->chosenFont(), dlgFont->chosenColor());
    RView1->Format();
}

void TfrmFont::DoDefoult()
{
    frmMain->restoreDefaultSizes();
    RView1->Format();
}
