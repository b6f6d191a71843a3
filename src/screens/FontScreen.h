#pragma once

#include "ui/ModalScreen.h"

namespace reader {
class ReaderState;
}

namespace movie {
class MovieControl;
}
namespace ui {
class FontDialog;
}
class TRichView;

// Changes the reading font of the lecture pages (the reader sheet, shared
// with the preview) and sets the text sizes back. Choices last for the run.
class TfrmFont : public ui::ModalScreen
{
    Q_OBJECT
public:
    explicit TfrmFont(reader::ReaderState &state, QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args);
    // Apply in the font dialog: the reader sheet takes the dialog's font.
    void dlgFontApply();
    // The sizes the reader sheet starts with.
    void DoDefoult();
    // Shows the font dialog on the current reading font, beside the preview.
    void DoChange();

    movie::MovieControl *Flash = nullptr;
    TRichView *RView1 = nullptr;
    ui::FontDialog *dlgFont = nullptr;

protected:
    void FormActivate() override;

private:
    void placeBesidePreview();

    reader::ReaderState &m_state;
};

// The font choice screen, program-wide (created by the window set).
extern TfrmFont *frmFont;
