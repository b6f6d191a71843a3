#pragma once

#include "movie/MovieScreen.h"

#include <functional>

namespace reader {
class ReaderState;
}

namespace movie {
class MovieControl;
}
class QFileDialog;
class TRichView;
class TRVStyle;

// Writes the signed-in learner's record to a report file of coded lines
// that the learner hands in.
class TfrmOtcher : public movie::MovieScreen
{
    Q_OBJECT
public:
    explicit TfrmOtcher(reader::ReaderState &state, QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args) override;
    // The export: asks for a file name, gathers the coded lines, writes them.
    void Generate();

    // Test seam: while set, it answers in place of the save dialog. It is
    // given the dialog as set up and returns the chosen file name, or an
    // empty string for Cancel.
    using SaveDialogHook = std::function<QString(QFileDialog &dialog)>;
    static void setSaveDialogHook(SaveDialogHook hook);

    // Where the save dialog first opens: the user's documents folder when the
    // program runs in the installed textbook's working copy (a hidden folder
    // the learner would never find again), else the working folder.
    static QString initialFolder();
    // The file written for a chosen name: ".rep" added unless it is there.
    static QString reportFileName(const QString &chosen);
    // The name the save dialog proposes: the learner's surname and name.
    QString proposedFileName() const;

protected:
    void FormActivate() override;

private:
    // The chosen name, or empty when the dialog was cancelled.
    QString askFileName();
    // Writes the collected lines; the reason of a failure, or empty.
    QString saveReport(const QString &fileName) const;

    movie::MovieControl *const Flash = movieControl();
    // Hidden: collects the coded lines and writes them out.
    TRichView *RichView1 = nullptr;
    TRVStyle *RVStyle2 = nullptr;

    reader::ReaderState &m_state;
    // The dialog opens where the last report went; the process's current
    // directory is never moved.
    QString m_lastFolder;
    // The name the dialog shows at its next opening.
    QString m_proposed;
};

// The report screen, program-wide (created by the window set).
extern TfrmOtcher *frmOtcher;
