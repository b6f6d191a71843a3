#include "progress/stat.h"

#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "progress/PaperTile.h"
#include "progress/ProgressText.h"
#include "reader/MainForm.h"
#include "richtext/RichView.h"

#include <QPushButton>
#include <exception>

namespace {
// Styles of the plain sheet.
constexpr int tsHeading = 1;
constexpr int tsSubheading = 2;
constexpr int tsKeywords = 3;
constexpr int psParagraph = 0;
constexpr int psCentered = 1;

constexpr int kViewHeight = 369;
} // namespace

TfrmStat::TfrmStat(QWidget *parent) : TModalScreen(parent)
{
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
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle2);
    RichView1->setMargins(5, 5, 5, 5);
    RichView1->setSelectionEnabled(true);
    RichView1->setBackgroundTile(paperTile());
    RichView1->setGeometry(0, 0, width(), kViewHeight);

    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(456, 376, 75, 25);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &TfrmStat::btnCloseClick);
}

void TfrmStat::resizeEvent(QResizeEvent *event)
{
    TModalScreen::resizeEvent(event);
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
    using CD = CourseData;
    RichView1->Clear();
    RichView1->AddBreak();
    RichView1->AddNL(QStringLiteral("Просмотр статистики: "), tsSubheading, psCentered);
    try {
        const pugi::xml_node record = frmMain->XML().learner(frmMain->CurrentUser);
        addField(QStringLiteral("Имя: "), CD::value(CD::child(record, "name")));
        addField(QStringLiteral("Фамилия: "), CD::value(CD::child(record, "sourname")));
        addField(QStringLiteral("Группа: "), CD::value(CD::child(record, "group")));
        addField(QStringLiteral("Почтовый ящик: "), CD::value(CD::child(record, "mail")));
        addField(QStringLiteral("Дата регистрации: "), CD::value(CD::child(record, "date")));
        RichView1->AddNL(QStringLiteral("Прохождение тестов:"), tsSubheading, psCentered);
        const pugi::xml_node tests = CD::child(CD::child(record, "study_info"), "tests");
        for (pugi::xml_node n = tests.first_child(); n; n = n.next_sibling()) {
            // A record is read whole before any of its lines is shown.
            const QString date = CD::value(CD::child(n, "date"));
            const QString number = CD::value(CD::child(n, "number"));
            const QString right = progress::percentText(CD::value(CD::child(n, "right")));
            RichView1->AddCenterLine(QStringLiteral(" "), tsHeading);
            RichView1->AddNL(QStringLiteral("Тест по лекции: ") + number, tsKeywords, psParagraph);
            RichView1->AddNL(QStringLiteral("Дата выполнения: ") + date, tsKeywords, psParagraph);
            RichView1->AddNL(QStringLiteral("Правильность: ") + right + u'%', tsKeywords,
                             psParagraph);
        }
        RichView1->AddBreak();
    } catch (const std::exception &) {
        // Only reads the course data: an unreadable record just ends the view.
        closeScreen();
    }
    RichView1->Format();
}
