#pragma once

#include "app/Screen.h"

class MovieControl;
class TFontDialog;
class TRichView;

// Changes the reading font of the lecture pages (the reader sheet, shared
// with the preview) and sets the text sizes back. Choices last for the run.
class TfrmFont : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmFont(QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args);
    // Apply in the font dialog: the reader sheet takes the dialog's font.
    void dlgFontApply();
    // The sizes the reader sheet starts with.
    void DoDefoult();

    MovieControl *Flash = nullptr;
    TRichView *RView1 = nullptr;
    TFontDialog *dlgFont = nullptr;

protected:
    void FormActivate() override;
};
