#include "progress/StatisticsScreen.h"

#include "learners/CourseData.h"
#include "learners/LearnerStore.h"
#include "progress/LectureChart.h"
#include "progress/LectureProgress.h"
#include "progress/ProgressText.h"
#include "reader/ReaderState.h"
#include "richtext/RichView.h"
#include "ui/PaperTile.h"


#include <QPushButton>
#include <exception>

namespace {
constexpr int tsHeading = rvs::tsPlainHeading;
constexpr int tsSubheading = rvs::tsPlainSubheading;
constexpr int tsKeywords = rvs::tsPlainKeywords;
constexpr int psParagraph = rvs::psPlainParagraph;
constexpr int psCentered = rvs::psPlainCentered;

constexpr int kViewHeight = 369;
} // namespace

TfrmStat *frmStat = nullptr;

TfrmStat::TfrmStat(reader::ReaderState &state, QWidget *parent)
    : ui::ModalScreen(parent), m_state(state)
{
    setEscapeCloses(true);
    setObjectName(QStringLiteral("frmStat"));
    setWindowFlags(Qt::Tool);
    setWindowTitle(QStringLiteral("Статистика"));
    setSizeGripEnabled(false);
    resize(547, 433);
    move(260, 209);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Light));
    setPalette(pal);

    RVStyle2 = new TRVStyle(TRVStyle::Sheet::Plain, this);
    RichView1 = new TRichView(this);
    RichView1->setAccessibleName(QStringLiteral("Статистика"));
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle2);
    RichView1->setMargins(5, 5, 5, 5);
    RichView1->setSelectionEnabled(true);
    RichView1->setBackgroundTile(ui::paperTile());
    RichView1->setGeometry(0, 0, width(), kViewHeight);

    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(456, 376, 75, 25);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &TfrmStat::btnCloseClick);

    // Progress at a glance, in the strip beside "Закрыть".
    Chart = new progress::LectureChart(this);
    Chart->setGeometry(6, 372, 440, 58);
}

void TfrmStat::resizeEvent(QResizeEvent *event)
{
    ui::ModalScreen::resizeEvent(event);
    // Aligned to the top edge: full width, fixed height.
    RichView1->setGeometry(0, 0, width(), kViewHeight);
}

void TfrmStat::FormActivate()
{
    FormShow();
}

void TfrmStat::btnCloseClick()
{
    closeScreen();
}

void TfrmStat::addField(const QString &label, const QString &value)
{
    RichView1->AddNL(label, tsSubheading, psParagraph);
    RichView1->Add(value, tsKeywords);
}

void TfrmStat::FormShow()
{
    RichView1->Clear();
    RichView1->AddBreak();
    RichView1->AddNL(QStringLiteral("Просмотр статистики: "), tsSubheading, psCentered);
    try {
        // Tests are named by the lecture's title, not its number alone.
        QStringList titles;
        try {
            for (const learners::CourseData::Lecture &lecture : m_state.XML().lectures())
                titles << lecture.description;
        } catch (const std::exception &) {
            titles.clear(); // numbers alone, then
        }
        m_state.learnerStore().readLearnerRecord(
            m_state.CurrentUser(),
            [&](const char *field, const QString &value) {
                const bool isDate = qstrcmp(field, "date") == 0;
                addField(progress::fieldLabel(field), isDate ? progress::russianDate(value) : value);
                if (isDate)
                    RichView1->AddNL(QStringLiteral("Прохождение тестов:"), tsSubheading,
                                     psCentered);
            },
            // A record is read whole before any of its lines is shown.
            [&](const learners::TestRecord &record) {
                const QString right = progress::percentText(record.right);
                RichView1->AddCenterLine(QStringLiteral(" "), tsHeading);
                RichView1->AddNL(progress::testTitle(record.number, titles), tsKeywords,
                                 psParagraph);
                RichView1->AddNL(QStringLiteral("Дата выполнения: ") + progress::russianDate(record.date),
                                 tsKeywords, psParagraph);
                // Spaced as in every other percentage the learner reads.
                RichView1->AddNL(QStringLiteral("Правильность: ") + right + QStringLiteral(" %"),
                                 tsKeywords, psParagraph);
            });
        RichView1->AddBreak();
        Chart->setProgress(progress::lectureProgress(m_state.XML(), m_state.learnerStore(),
                                                     m_state.CurrentUser()));
    } catch (const std::exception &) {
        // Only reads the course data: an unreadable record just ends the view.
        closeScreen();
    }
    RichView1->Format();
}
