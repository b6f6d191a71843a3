#pragma once

#include "ui/ModalScreen.h"
#include "ui/Navigator.h"
#include "testing/Banks.h"
#include "testing/TestRun.h"

#include <array>

namespace reader {
class ReaderState;
}
namespace ui {
class Navigator;
}

class QCheckBox;
class QPushButton;
class TRichView;
class TRVStyle;

// The test run window: shows one question at a time with its five options,
// scores each answer on "Далее" and stores the result under the learner.
class TfrmTest : public ui::ModalScreen
{
    Q_OBJECT
public:
    TfrmTest(reader::ReaderState &state, ui::Navigator &navigator, QWidget *parent = nullptr);

    // "0" for the general test, otherwise a lecture's position; set before
    // the window is shown.
    QString Topic;
    // Runs a test on that topic, modally; the review follows once the
    // window has closed, and a repetition of the mistakes chosen there runs
    // in the window again.
    void runTopic(const QString &topic);

    // Reads both banks from the current directory into the tables,
    // once per run: again only when a bank file has changed since.
    void LoadBanks();
    // "Далее".
    void Button1Click();

    // The hidden bank tables and the run over them (its counters are the
    // window's test state; tests replace its clock and generator).
    testing::StringGrid StringGrid1{3};
    testing::StringGrid StringGrid2{4};
    // The last run's questions as answered, and whether it retried the
    // mistakes of the one before: what its review shows.
    const QVector<testing::AnsweredQuestion> &lastAnswers() const { return Run.Answers; }
    bool lastRunRetried() const { return Run.isRetry(); }

    testing::TestRun Run{StringGrid1, StringGrid2};

protected:
    void FormActivate() override;
    void FormDeactivate() override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TRichView *RichView1 = nullptr;
    TRVStyle *RVStyle1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QCheckBox *CheckBox3 = nullptr;
    QCheckBox *CheckBox4 = nullptr;
    QCheckBox *CheckBox5 = nullptr;
    QPushButton *Button1 = nullptr;

    // Shows the home screen again, whatever closed the window.
    void FormClose();
    void apply(const testing::TestStep &step);
    void showQuestion(const testing::QuestionDisplay &display);
    void finishTest(int percent);
    void clearTicks();
    void layoutControls();
    // The banks could not be read: nothing of an earlier test stays in view,
    // and there is nothing to tick.
    void showNoQuestion();
    void toggleOption(int index);
    // The option whose text lies under a point of the question view, or -1.
    int optionAt(const QPoint &viewportPos) const;

    reader::ReaderState &m_state;
    ui::Navigator &m_navigator;
    std::array<QCheckBox *, 5> m_boxes{};
    QString m_banksLoaded; // which bank files the tables hold (paths, sizes, times)
    bool m_finished = false;                // the run ended: the review comes at closing
    QVector<testing::QuestionRef> m_retryNext; // the mistakes to run again, chosen in the review
};

// The test window, program-wide (created by the window set).
extern TfrmTest *frmTest;
