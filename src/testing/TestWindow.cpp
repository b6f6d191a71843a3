#include "testing/TestWindow.h"

#include "learners/LearnerStore.h"
#include "reader/ReaderState.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "ui/Dialogs.h"
#include "ui/Navigator.h"
#include "ui/PaperTile.h"
#include "ui/PressGuard.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QDateTime>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <utility>

namespace {
constexpr int kViewWidth = 701;
constexpr int kViewHeight = 417;
constexpr int kMargin = 4;

const QString kQuestionNews = QStringLiteral("lblQuestionNews");

// The question told as a notification, which screen readers speak as it
// shows. A check box that keeps the focus is not read again when its
// description changes (Orca drops that news from Qt), so the next
// question would go unheard.
QAccessibleInterface *newsFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("QLabel") || object->objectName() != kQuestionNews ||
        !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
}

void tellQuestion(QWidget *window, const QString &text)
{
    auto *news = window->findChild<QLabel *>(kQuestionNews, Qt::FindDirectChildrenOnly);
    if (!news) {
        QAccessible::installFactory(&newsFactory);
        news = new QLabel(window);
        news->setObjectName(kQuestionNews);
        // Nothing to see: the question is on the page already.
        news->setGeometry(0, 0, 1, 1);
    }
    news->hide();
    news->setAccessibleName(text);
    news->show();
}
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
    // A click on an option's text ticks it, as its box does.
    RichView1->viewport()->installEventFilter(this);

    // Tab walks A to E, then "Далее"; Space ticks.
    for (int i = 0; i < 4; ++i)
        setTabOrder(m_boxes[static_cast<size_t>(i)], m_boxes[static_cast<size_t>(i + 1)]);
    setTabOrder(CheckBox5, Button1);

    resize(709, 498);
    layoutControls();
}

bool TfrmTest::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RichView1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        // A drag selects text; only a click on the line ticks.
        if (mouse->button() == Qt::LeftButton && RichView1->selectedText().isEmpty()) {
            const int option = optionAt(mouse->position().toPoint());
            if (option >= 0)
                toggleOption(option);
        }
    }
    return ui::ModalScreen::eventFilter(watched, event);
}

int TfrmTest::optionAt(const QPoint &viewportPos) const
{
    const richtext::RichLayout *layout = RichView1->textLayout();
    if (!layout || !m_boxes[0]->isEnabled())
        return -1;
    const int pos = layout->positionAt(QPointF(viewportPos - RichView1->documentOrigin()), Qt::ExactHit);
    if (pos < 0)
        return -1;
    // Items: rule, heading, rule, question, then an empty line before each
    // of the five options, then a rule.
    const int item = layout->itemAtPosition(pos);
    constexpr int kFirstOption = 5;
    if (item < kFirstOption || item > kFirstOption + 8 || (item - kFirstOption) % 2)
        return -1;
    return (item - kFirstOption) / 2;
}

void TfrmTest::toggleOption(int index)
{
    QCheckBox *box = m_boxes[static_cast<size_t>(index)];
    if (!box->isEnabled())
        return;
    box->toggle();
    box->setFocus(Qt::OtherFocusReason);
}

void TfrmTest::keyPressEvent(QKeyEvent *event)
{
    // The option's letter (Latin or its Cyrillic look-alike) or its number
    // ticks it from anywhere in the window.
    static const QString kKeys[5] = {QStringLiteral("AА1"), QStringLiteral("BВ2"), QStringLiteral("CС3"),
                                     QStringLiteral("DД4"), QStringLiteral("EЕ5")};
    const QString text = event->text().toUpper();
    if (text.size() == 1 && !event->modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier)) {
        for (int i = 0; i < 5; ++i) {
            if (kKeys[i].contains(text[0])) {
                toggleOption(i);
                event->accept();
                return;
            }
        }
    }
    ui::ModalScreen::keyPressEvent(event);
}

void TfrmTest::closeEvent(QCloseEvent *event)
{
    // Alt+F4 or the title bar in the middle of a test would drop every
    // answer given so far: ask first. A finished test closes at once.
    if (Run.isRunning() && !ui::ModalScreen::programEnding() &&
        !ui::question(this, QStringLiteral("Прервать тест? Ответы этого теста не будут сохранены."))) {
        event->ignore();
        return;
    }
    ui::ModalScreen::closeEvent(event);
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

void TfrmTest::runTopic(const QString &topic)
{
    Topic = topic;
    m_retryNext.clear();
    showModal();
    while (!m_retryNext.isEmpty() && !ui::ModalScreen::programEnding())
        showModal();
}

void TfrmTest::FormActivate()
{
    m_finished = false;
    clearTicks();
    CheckBox1->setFocus();
    if (!m_retryNext.isEmpty()) {
        // The review asked for the mistakes again: the tables still hold the banks.
        Run.beginRetry(std::exchange(m_retryNext, {}));
        apply(Run.setUp());
        return;
    }
    Run.begin(Topic);
    try {
        LoadBanks();
    } catch (const std::exception &e) {
        // The window stays open, empty; "Далее" then closes it.
        Run.abandon();
        showNoQuestion();
        // Said in Russian; the reader's own text stays for whoever mends the files.
        ui::error(this, QStringLiteral("Вопросы теста не удалось загрузить: файл вопросов "
                                            "или ответов повреждён.\n\n") +
                                 QString::fromUtf8(e.what()));
        return;
    }
    apply(Run.setUp());
}

void TfrmTest::showNoQuestion()
{
    RichView1->Clear();
    RichView1->AddBreak();
    using namespace rvs;
    RichView1->AddNL(QStringLiteral("  Вопросы теста не загружены."), tsPlainSubheading, psPlainParagraph);
    RichView1->AddBreak();
    RichView1->Format();
    for (QCheckBox *box : m_boxes) {
        box->setEnabled(false);
        box->setAccessibleDescription(QString());
    }
    Button1->setFocus();
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
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i]->setEnabled(true);
        m_boxes[i]->setAccessibleDescription(display.options[i].simplified());
    }
    // Answers start at A: there the question itself is read first, before
    // the options.
    const QString question = display.heading.simplified() + QStringLiteral(". ") +
                             display.question.simplified() +
                             QStringLiteral(" Можно отметить несколько ответов.");
    m_boxes[0]->setAccessibleDescription(question + QLatin1Char(' ') + display.options[0].simplified());
    // Focus that stays on A from the last question brings no reading.
    if (focusWidget() == m_boxes[0] && isVisible())
        tellQuestion(this, question);
    // A click that follows the one that brought this question too closely
    // was meant for the last one: it must not answer this one unseen.
    ui::PressGuard::screenChanged();
}

void TfrmTest::finishTest(int percent)
{
    // Stored before the learner is told: the message may be the last thing
    // on screen when the session ends.
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
    // Finished, not passed: the share of right answers says how it went.
    ui::message(this, QStringLiteral("Тест завершён, правильных ответов: ") +
                               QString::number(percent) + QStringLiteral(" %"));
    // The review comes once this window has gone, so that nothing covers it.
    m_finished = true;
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
    if (std::exchange(m_finished, false)) {
        const QVector<testing::QuestionRef> missed = testing::mistakesOf(Run.Answers);
        const ui::ReviewChoice choice = m_navigator.showReview();
        if (ui::ModalScreen::programEnding())
            return;
        if (choice.kind == ui::ReviewChoice::RetryMistakes && !missed.isEmpty()) {
            m_retryNext = missed; // runTopic shows the window again
            return;
        }
        // The review sent the learner to a lecture: the reader shows it
        // instead of the home screen.
        if (choice.kind == ui::ReviewChoice::OpenSection) {
            m_navigator.openSection(choice.page, choice.mark);
            return;
        }
    }
    m_navigator.showHome(false);
}
