#include "testing/TestWindow.h"

#include "learners/LearnerStore.h"
#include "reader/ReaderState.h"
#include "richtext/RichView.h"
#include "ui/Dialogs.h"
#include "ui/Navigator.h"
#include "ui/PaperTile.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

namespace {
constexpr int kViewWidth = 701;
constexpr int kViewHeight = 417;
constexpr int kMargin = 4;
} // namespace

TfrmTest *frmTest = nullptr;

TfrmTest::TfrmTest(reader::ReaderState &state, ui::Navigator &navigator, QWidget *parent)
    : ui::ModalScreen(parent), m_state(state), m_navigator(navigator)
{
    setObjectName(QStringLiteral("frmTest"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("Прохождение теста..."));

    RVStyle1 = new TRVStyle(TRVStyle::Sheet::Plain, this);
    RichView1 = new TRichView(this);
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle1);
    RichView1->setMargins(5, 5, 5, 5);
    RichView1->setSelectionEnabled(true);
    RichView1->setBackgroundTile(ui::paperTile());
    RichView1->setFocusPolicy(Qt::NoFocus);
    RichView1->setAccessibleName(QStringLiteral("Вопрос"));

    const char16_t letters[5] = {u'A', u'B', u'C', u'D', u'E'};
    for (int i = 0; i < 5; ++i) {
        auto *box = new QCheckBox(QString(QChar(letters[i])), this);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        m_boxes[static_cast<size_t>(i)] = box;
    }
    CheckBox1 = m_boxes[0];
    CheckBox2 = m_boxes[1];
    CheckBox3 = m_boxes[2];
    CheckBox4 = m_boxes[3];
    CheckBox5 = m_boxes[4];

    Button1 = new QPushButton(QStringLiteral("Далее"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    // Enter answers the question from any check box.
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this,
            [this] { ui::guarded(this, [this] { Button1Click(); }); });
    // One press answers one question: the second press of a double click
    // would score the next question unseen, with nothing ticked.
    Button1->installEventFilter(this);

    // Tab walks A to E, then "Далее"; Space ticks.
    for (int i = 0; i < 4; ++i)
        setTabOrder(m_boxes[static_cast<size_t>(i)], m_boxes[static_cast<size_t>(i + 1)]);
    setTabOrder(CheckBox5, Button1);

    resize(709, 498);
    layoutControls();
}

bool TfrmTest::eventFilter(QObject *watched, QEvent *event)
{
    // A double click's second press (and the double click itself) is no
    // second answer.
    if (watched == Button1) {
        if (event->type() == QEvent::MouseButtonDblClick)
            return true;
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent *>(event)->flags().testFlag(Qt::MouseEventCreatedDoubleClick))
            return true;
    }
    return ui::ModalScreen::eventFilter(watched, event);
}

void TfrmTest::resizeEvent(QResizeEvent *event)
{
    ui::ModalScreen::resizeEvent(event);
    layoutControls();
}

void TfrmTest::layoutControls()
{
    // The view keeps its 701 x 417 at the designed size and follows a resize.
    const int w = width();
    const int h = height();
    RichView1->setGeometry(kMargin, kMargin, std::max(w - (709 - kViewWidth), 50),
                           std::max(h - (498 - kViewHeight), 50));
    const int rowY = kMargin + RichView1->height() + 22;
    for (int i = 0; i < 5; ++i)
        m_boxes[static_cast<size_t>(i)]->setGeometry(24 + i * 90, rowY, 60, 24);
    Button1->setGeometry(w - 124, rowY - 4, 110, 32);
}

void TfrmTest::LoadBanks()
{
    // A large bank takes long to parse; the files seldom change during a run.
    QString stamp;
    for (const char *name : {testing::banks::kQuestionsFile, testing::banks::kAnswersFile}) {
        const QFileInfo info(QString::fromLatin1(name));
        stamp += QStringLiteral("%1|%2|%3\n")
                     .arg(info.absoluteFilePath())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch());
    }
    if (stamp == m_banksLoaded)
        return;
    m_banksLoaded.clear();
    testing::LoadBanks(StringGrid1, StringGrid2);
    m_banksLoaded = stamp;
}

void TfrmTest::FormActivate()
{
    m_pendingSection = {};
    Run.begin(Topic);
    clearTicks();
    CheckBox1->setFocus();
    try {
        LoadBanks();
    } catch (const std::exception &e) {
        // The window stays open on what it last showed; "Далее" then closes it.
        Run.abandon();
        // Said in Russian; the reader's own text stays for whoever mends the files.
        ui::error(this, QStringLiteral("Вопросы теста не удалось загрузить: файл вопросов "
                                            "или ответов повреждён.\n\n") +
                                 QString::fromUtf8(e.what()));
        return;
    }
    apply(Run.setUp());
}

void TfrmTest::Button1Click()
{
    std::array<bool, 5> ticks{};
    for (size_t i = 0; i < 5; ++i)
        ticks[i] = m_boxes[i]->isChecked();
    const testing::TestStep step = Run.next(ticks);
    clearTicks();
    apply(step);
    // The next question is answered from A again, not from "Далее".
    if (step.kind == testing::TestStep::Show && isVisible())
        CheckBox1->setFocus(Qt::OtherFocusReason);
}

void TfrmTest::apply(const testing::TestStep &step)
{
    switch (step.kind) {
    case testing::TestStep::Show:
        showQuestion(step.display);
        break;
    case testing::TestStep::Finish:
        finishTest(step.percent);
        break;
    case testing::TestStep::Fail:
        // Nothing sound to show: say why and leave; nothing is stored.
        ui::message(this, step.message);
        closeScreen();
        break;
    }
}

void TfrmTest::showQuestion(const testing::QuestionDisplay &display)
{
    RichView1->Clear();
    RichView1->AddBreak();
    using namespace rvs;
    RichView1->AddNL(display.heading, tsPlainSubheading, psPlainParagraph);
    RichView1->AddBreak();
    RichView1->AddNL(display.question, tsPlainSubheading, psPlainCentered);
    for (const QString &option : display.options) {
        RichView1->AddNL(QString(), tsPlainNormal, psPlainParagraph);
        RichView1->AddNL(option, tsPlainKeywords, psPlainParagraph);
    }
    RichView1->AddBreak();
    RichView1->Format();
    // A screen reader on a check box reads its option with the letter.
    for (size_t i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setAccessibleDescription(display.options[i].simplified());
    // Answers start at A: there the question itself is read first, before
    // the options (told anew when A keeps the focus from the last question).
    m_boxes[0]->setAccessibleDescription(display.heading.simplified() + QStringLiteral(". ") +
                                         display.question.simplified() +
                                         QStringLiteral(" Можно отметить несколько ответов. ") +
                                         display.options[0].simplified());
}

void TfrmTest::finishTest(int percent)
{
    ui::message(this, QStringLiteral("Тест пройден, правильных ответов: ") +
                               QString::number(percent) + QStringLiteral(" %"));
    // A run of the learner's mistakes is practice: stored, it would stand in
    // the statistics as a test of the lecture it is not.
    if (!Run.isRetry()) {
        try {
            learners::TestResult result{Run.RecordedTopic, percent, {}};
            for (const testing::AnsweredQuestion &answer : Run.Answers)
                result.answers.append({answer.lecture, answer.number, answer.question,
                                       answer.ticked, answer.correct});
            m_state.learnerStore().addTestResult(m_state.CurrentUser(), result);
        } catch (const std::exception &e) {
            // The learner must not leave believing the result was kept.
            ui::error(this, QStringLiteral("Результат теста не сохранён.\n") +
                                     QString::fromUtf8(e.what()));
        }
    }
    if (ui::ModalScreen::programEnding())
        return;
    const QVector<testing::QuestionRef> missed = testing::mistakesOf(Run.Answers);
    const ui::ReviewChoice choice = m_navigator.showReview();
    if (choice.kind == ui::ReviewChoice::RetryMistakes && !missed.isEmpty() &&
        !ui::ModalScreen::programEnding()) {
        Run.beginRetry(missed);
        clearTicks();
        CheckBox1->setFocus();
        apply(Run.setUp());
        return;
    }
    m_pendingSection = choice;
    closeScreen();
}

void TfrmTest::clearTicks()
{
    for (QCheckBox *box : m_boxes)
        box->setChecked(false);
}

void TfrmTest::FormDeactivate()
{
    FormClose();
}

void TfrmTest::FormClose()
{
    // While the program ends, no screen comes up again.
    if (ui::ModalScreen::programEnding())
        return;
    // The review sent the learner to a lecture: the reader shows it instead
    // of the home screen.
    const ui::ReviewChoice choice = m_pendingSection;
    m_pendingSection = {};
    if (choice.kind == ui::ReviewChoice::OpenSection) {
        m_navigator.openSection(choice.page, choice.mark);
        return;
    }
    m_navigator.showHome(false);
}
