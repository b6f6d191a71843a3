#pragma once

#include "learners/LearnerStore.h"
#include "movie/MovieScreen.h"

namespace reader {
class ReaderState;
}
namespace ui {
class Navigator;
}

namespace movie {
class MovieControl;
}
class QComboBox;

// Sign-in and learner management: the learner list over the login movie,
// whose form registers, changes and deletes learners.
class TfrmLogin : public movie::MovieScreen
{
    Q_OBJECT
public:
    TfrmLogin(reader::ReaderState &state, ui::Navigator &navigator, QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args) override;
    // The learner picked an entry (not a selection made by the program).
    void LBNamesChange();
    // Run by the reader window after the modal showing has returned.
    void ReturnStep();
    // The sign-in movie from its first frame, playing.
    void playFromStart();
    // The next showing is a hand-over from a learner who has finished: the
    // list opens with nobody picked, so the next learner chooses themselves.
    void startHandOver();

    // The learner selected when the screen opens; none: the first entry.
    learners::LearnerId rememberedUser() const { return RememberedUser; }
    // What the learner form does on "OkPress": change (true) or register.
    bool editMode() const { return EditMode; }

    static const QString kDeleteQuestion;
    // Said in the form when it is saved empty.
    static const QString kEmptyFormNote;

    // Why the course data could not be read when the screen last opened;
    // empty when it was read.
    QString loadFailure() const { return m_loadFailure; }

private:
    QString m_loadFailure;

protected:
    void FormActivate() override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void focusNameField();
    // The learner form is closed: the list is back and has the keyboard.
    void closeForm();
    // Why the form's texts would not be kept as typed (letters the 8-bit code
    // page lacks), or empty.
    QString codePageNote(const learners::LearnerFields &form) const;
    // The learner of an entry of LBNames, and the entry of a learner (-1
    // for none).
    learners::LearnerId learnerAt(int row) const;
    int rowOf(learners::LearnerId learner) const;

private:
    // Refills LBNames from the document, loading it first if needed; closes
    // the screen without a message when that fails. Returns whether it worked.
    bool FillLearnerList();
    void AddNewUser();
    void ChangeUser();
    void DeleteUser();
    void OkPress();
    void Enter();
    // Shows why a change of the document did not happen and puts the list
    // back as the document stands, keeping the learner's selection.
    void ReportFailedChange(const QString &message);

    movie::MovieControl *const Flash = movieControl();
    QComboBox *LBNames = nullptr;
    learners::LearnerId RememberedUser;
    bool EditMode = false;

    reader::ReaderState &m_state;
    ui::Navigator &m_navigator;
    // The fields as stored, shown by "ChangeUser".
    learners::LearnerFields m_edited;
    // Whether the learner form is open: only an open form is stored, once.
    bool m_formOpen = false;
    // The texts the learner was warned about; saving them unchanged is the
    // learner's choice.
    learners::LearnerFields m_warnedForm;
    bool m_warned = false;
    bool m_handOver = false;
};

// The sign-in screen, program-wide (created by the window set).
extern TfrmLogin *frmLogin;
