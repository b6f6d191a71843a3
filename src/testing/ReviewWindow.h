#pragma once

#include "testing/QuestionSections.h"
#include "testing/TestRun.h"
#include "ui/ModalScreen.h"
#include "ui/Navigator.h"

#include <QVector>

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace testing {

// The review of a finished test: every question with the learner's ticks and
// the right options, "N из M" at the top, a way back to the section that
// teaches each missed question, and a new run of the missed ones.
class ReviewWindow : public ui::ModalScreen
{
    Q_OBJECT
public:
    explicit ReviewWindow(QWidget *parent = nullptr);

    // The run to show; set before the window is shown. retry: the run was
    // itself a repetition of mistakes.
    void setRun(const QVector<testing::AnsweredQuestion> &answers, bool retry);
    ui::ReviewChoice choice() const { return m_choice; }

protected:
    void FormActivate() override;
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void choose(const ui::ReviewChoice &choice);

    QVector<testing::AnsweredQuestion> m_answers;
    bool m_retry = false;
    QLabel *lblScore = nullptr;
    QPushButton *btnRetry = nullptr;
    QPushButton *btnClose = nullptr;
    testing::QuestionSections m_sections;
    ui::ReviewChoice m_choice;
    QLabel *m_subtitle = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_list = nullptr;
    QVBoxLayout *m_listLayout = nullptr;
};

} // namespace testing

// The review window, program-wide (created by the window set).
extern testing::ReviewWindow *frmReview;
