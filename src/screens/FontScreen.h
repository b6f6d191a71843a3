#pragma once

#include "movie/MovieScreen.h"

namespace reader {
class ReaderIntents;
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
// with the preview), sets the text sizes back and narrows the page's text
// column. Choices are kept for the learner.
class TfrmFont : public movie::MovieScreen
{
    Q_OBJECT
public:
    TfrmFont(reader::ReaderState &state, reader::ReaderIntents &reader, QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args) override;
    // Apply in the font dialog: the reader sheet takes the dialog's font.
    void dlgFontApply();
    // The sizes the reader sheet starts with.
    void DoDefoult();
    // Shows the font dialog on the current reading font, beside the preview.
    void DoChange();
    // The page text edge to edge, or in a narrow centred column.
    void DoColumn();

protected:
    void FormActivate() override;

private:
    void placeBesidePreview();

    movie::MovieControl *const Flash = movieControl();
    TRichView *RView1 = nullptr;
    ui::FontDialog *dlgFont = nullptr;

    reader::ReaderState &m_state;
    reader::ReaderIntents &m_reader;
};

// The font choice screen, program-wide (created by the window set).
extern TfrmFont *frmFont;
