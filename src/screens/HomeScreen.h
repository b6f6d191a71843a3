#pragma once

#include "movie/MovieScreen.h"

#include <QSize>
#include <functional>

namespace reader {
class ReaderIntents;
class ReaderState;
}
namespace ui {
class Navigator;
}

namespace movie {
class MovieControl;
}

// The home screen: a borderless window over the work area whose home movie
// sends the commands that lead everywhere else.
class TfrmIntro : public movie::MovieScreen
{
    Q_OBJECT
public:
    TfrmIntro(reader::ReaderState &state, reader::ReaderIntents &reader, ui::Navigator &navigator,
              QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args) override;
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    // The home movie from its first frame, playing.
    void playFromStart();
    // Whether the home screen closed to hand the seat to the next learner;
    // asking clears it.
    bool takeHandOver();

    // Seams for tests: the size of the virtual desktop, and how a companion
    // program is started (returns whether it started).
    static void setDesktopSizeSource(std::function<QSize()> source);
    static void setProgramStarter(std::function<bool(const QString &)> starter);

protected:
    void FormActivate() override;
    void FormDeactivate() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void startCompanion(const QString &notInstalled, const QString &relativePath);
    // False, after saying why, when the learners could not be read.
    bool learnerDataAvailable();
    // The learner's place and progress on the movie; preferences applied.
    void showLearnerState();
    // "Продолжить: <title>, <section>", or empty without a remembered place.
    QString resumeText();
    // "Сменить ученика": the place is kept, then the seat is handed over.
    void changeLearner();

    movie::MovieControl *const Flash = movieControl();

    reader::ReaderState &m_state;
    reader::ReaderIntents &m_reader;
    ui::Navigator &m_navigator;
    bool m_keyPreview = false;
    bool m_handOver = false;
};

// The home screen, program-wide (created by the window set).
extern TfrmIntro *frmIntro;
