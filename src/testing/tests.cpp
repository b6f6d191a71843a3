#include "testing/tests.h"

#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "app/intro.h"
#include "learners/CourseData.h"
#include "reader/MainForm.h"
#include "richtext/RichView.h"
#include "testing/LineCodec.h"

#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QResizeEvent>
#include <algorithm>

namespace {
constexpr int kViewWidth = 701;
constexpr int kViewHeight = 417;
constexpr int kMargin = 4;
} // namespace

TfrmTest::TfrmTest(QWidget *parent) : TModalScreen(parent)
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
    RichView1->setBackgroundTile(paperTile());
    RichView1->setFocusPolicy(Qt::NoFocus);

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
            [this] { dialogs::guarded(this, [this] { Button1Click(); }); });

    // Tab walks A to E, then "Далее"; Space ticks.
    for (int i = 0; i < 4; ++i)
        setTabOrder(m_boxes[static_cast<size_t>(i)], m_boxes[static_cast<size_t>(i + 1)]);
    setTabOrder(CheckBox5, Button1);

    resize(709, 498);
    layoutControls();
}

QPixmap TfrmTest::paperTile()
{
    QImage image(159, 160, QImage::Format_RGB888);
    image.fill(QColor(0xE4, 0xE4, 0xE2));
    // A fixed seed: the same paper at every start.
    QRandomGenerator grain(1251);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int shade = 0xE4 + grain.bounded(-7, 8);
            image.setPixelColor(x, y, QColor(shade, shade, shade - 2));
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Faint fibres; each is drawn three times, shifted by the tile size, so
    // that the tile repeats without seams.
    for (int i = 0; i < 40; ++i) {
        const QPointF from(grain.bounded(159.0), grain.bounded(160.0));
        const QPointF to = from + QPointF(grain.bounded(28.0) - 14.0, grain.bounded(28.0) - 14.0);
        const int shade = grain.bounded(0xC8, 0xD6);
        painter.setPen(QPen(QColor(shade, shade, shade, 90), 0.8));
        for (const QPointF shift : {QPointF(0, 0), QPointF(-159, 0), QPointF(159, 0),
                                    QPointF(0, -160), QPointF(0, 160)})
            painter.drawLine(from + shift, to + shift);
    }
    painter.end();
    return QPixmap::fromImage(image);
}

void TfrmTest::resizeEvent(QResizeEvent *event)
{
    TModalScreen::resizeEvent(event);
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
    ::LoadBanks(StringGrid1, StringGrid2);
}

void TfrmTest::FormActivate()
{
    Run.begin(Topic);
    clearTicks();
    CheckBox1->setFocus();
    try {
        LoadBanks();
    } catch (const std::exception &e) {
        // The window stays open on what it last showed; "Далее" then closes it.
        Run.abandon();
        dialogs::error(this, QString::fromUtf8(e.what()));
        return;
    }
    apply(Run.setUp());
}

void TfrmTest::Button1Click()
{
    std::array<bool, 5> ticks{};
    for (size_t i = 0; i < 5; ++i)
        ticks[i] = m_boxes[i]->isChecked();
    const TestStep step = Run.next(ticks);
    clearTicks();
    apply(step);
}

void TfrmTest::apply(const TestStep &step)
{
    switch (step.kind) {
    case TestStep::Show:
        showQuestion(step.display);
        break;
    case TestStep::Finish:
        finishTest(step.percent);
        break;
    case TestStep::Fail:
        // Nothing sound to show: say why and leave; nothing is stored.
        dialogs::message(this, step.message);
        closeScreen();
        break;
    }
}

void TfrmTest::showQuestion(const QuestionDisplay &display)
{
    RichView1->Clear();
    RichView1->AddBreak();
    RichView1->AddNL(display.heading, 2, 0);
    RichView1->AddBreak();
    RichView1->AddNL(display.question, 2, 1);
    for (const QString &option : display.options) {
        RichView1->AddNL(QString(), 0, 0);
        RichView1->AddNL(option, 3, 0);
    }
    RichView1->AddBreak();
    RichView1->Format();
}

void TfrmTest::finishTest(int percent)
{
    dialogs::message(this, QStringLiteral("Тест пройден, правильных ответов: ") +
                               QString::number(percent) + QStringLiteral(" %"));
    try {
        if (!frmMain)
            throw std::runtime_error("the reader window is missing");
        frmMain->XML().addTestResult(frmMain->CurrentUser, Run.RecordedTopic, percent);
    } catch (const std::exception &e) {
        // The learner must not leave believing the result was kept.
        dialogs::error(this, QStringLiteral("Результат теста не сохранён.\n") +
                                 QString::fromUtf8(e.what()));
    }
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
    if (!frmIntro || (frmMain && frmMain->isClosing()))
        return;
    frmIntro->showModal();
}
