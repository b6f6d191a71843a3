#pragma once

#include "ui/ModalScreen.h"

namespace reader {
class ReaderState;
}

namespace progress {
class LectureChart;
}
class QPushButton;
class TRichView;
class TRVStyle;

// The signed-in learner's record and test results, read-only. The content
// is built anew at every showing.
class TfrmStat : public ui::ModalScreen
{
    Q_OBJECT
public:
    explicit TfrmStat(reader::ReaderState &state, QWidget *parent = nullptr);

    // Builds the content; a record that cannot be read closes the window
    // without a message, with what was added before laid out.
    void FormShow();
    void btnCloseClick();

protected:
    void FormActivate() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void addField(const QString &label, const QString &value);

    TRichView *RichView1 = nullptr;
    TRVStyle *RVStyle2 = nullptr;
    QPushButton *btnClose = nullptr;
    progress::LectureChart *Chart = nullptr;

    reader::ReaderState &m_state;
};

// The statistics screen, program-wide (created by the window set).
extern TfrmStat *frmStat;
