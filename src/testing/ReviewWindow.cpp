#include "testing/ReviewWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

testing::ReviewWindow *frmReview = nullptr;

namespace testing {

namespace {

// The designed screens' palette and type (the movies' Theme).
const char kStyle[] = R"(
testing--ReviewWindow { background: #F6F3EC; }
QFrame#header { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #15294A, stop:1 #1F3B63);
                border-bottom: 4px solid #C2621A; }
QLabel#overline { color: #F0A04B; font-size: 12px; font-weight: bold; letter-spacing: 2px; }
QLabel#lblScore { color: #FFFFFF; font-size: 34px; font-weight: bold; }
QLabel#subtitle { color: #C9D6EA; font-size: 15px; }
QScrollArea, QWidget#list { background: #F6F3EC; border: none; }
QFrame[card="true"] { background: #FFFFFF; border: 1px solid #DDD6C8; border-radius: 8px; }
QFrame[card="true"][wrong="true"] { border-left: 5px solid #A8322A; }
QFrame[card="true"][wrong="false"] { border-left: 5px solid #2E7D4F; }
QLabel { color: #1E2733; font-size: 14px; background: transparent; border: none; }
QLabel[role="question"] { font-size: 15px; font-weight: bold; }
QLabel[role="verdictRight"] { color: #2E7D4F; font-weight: bold; font-size: 12px; }
QLabel[role="verdictWrong"] { color: #A8322A; font-weight: bold; font-size: 12px; }
QPushButton { font-size: 14px; padding: 7px 16px; border-radius: 8px; border: 1px solid #C3CCD8;
              background: #FFFFFF; color: #1F3B63; }
QPushButton:hover { background: #F1F5FA; }
QPushButton:focus { border: 2px solid #D9822B; }
QPushButton#btnRetry { background: #C2621A; color: #FFFFFF; border: 1px solid #AD5614; font-weight: bold; }
QPushButton#btnRetry:hover { background: #AD5614; }
QPushButton[link="true"] { border: none; background: transparent; color: #1F3B63;
                           text-decoration: underline; padding: 2px 0; text-align: left; }
QPushButton[link="true"]:focus { border: 2px solid #D9822B; }
)";

const char16_t kLetters[5] = {u'A', u'B', u'C', u'D', u'E'};

QLabel *label(const QString &text, const char *role = nullptr)
{
    auto *l = new QLabel(text);
    l->setWordWrap(true);
    l->setTextFormat(Qt::RichText);
    if (role)
        l->setProperty("role", role);
    return l;
}

// One option line: the learner's tick, the letter and text, and whether it
// was a right option.
QString optionLine(const testing::AnsweredQuestion &q, size_t i)
{
    const QString box = q.ticked[i] ? QStringLiteral("☑") : QStringLiteral("☐");
    QString line = box + QStringLiteral("&nbsp;&nbsp;") + QChar(kLetters[i]) + QStringLiteral(". ") +
                   q.options[i].toHtmlEscaped();
    if (q.right[i])
        line = QStringLiteral("<span style='color:#2E7D4F'><b>") + line +
               QStringLiteral("</b> — верный вариант</span>");
    else if (q.ticked[i])
        line = QStringLiteral("<span style='color:#A8322A'>") + line +
               QStringLiteral(" — отмечен ошибочно</span>");
    return line;
}

} // namespace

ReviewWindow::ReviewWindow(QWidget *parent) : ui::ModalScreen(parent)
{
    setEscapeCloses(true);
    setObjectName(QStringLiteral("frmReview"));
    setWindowTitle(QStringLiteral("Разбор теста"));
    setStyleSheet(QString::fromUtf8(kStyle));
    resize(760, 580);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *header = new QFrame;
    header->setObjectName(QStringLiteral("header"));
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(32, 18, 32, 18);
    headerLayout->setSpacing(2);
    auto *overline = new QLabel(QStringLiteral("РАЗБОР ТЕСТА"));
    overline->setObjectName(QStringLiteral("overline"));
    lblScore = new QLabel;
    lblScore->setObjectName(QStringLiteral("lblScore"));
    m_subtitle = new QLabel;
    m_subtitle->setObjectName(QStringLiteral("subtitle"));
    headerLayout->addWidget(overline);
    headerLayout->addWidget(lblScore);
    headerLayout->addWidget(m_subtitle);
    outer->addWidget(header);

    m_scroll = new QScrollArea;
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(m_scroll, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(24, 12, 24, 16);
    btnRetry = new QPushButton(QStringLiteral("Повторить ошибки"));
    btnRetry->setObjectName(QStringLiteral("btnRetry"));
    btnClose = new QPushButton(QStringLiteral("Закрыть"));
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    buttons->addWidget(btnRetry);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    outer->addLayout(buttons);

    connect(btnRetry, &QPushButton::clicked, this,
            [this] { choose({ui::ReviewChoice::RetryMistakes, 0, {}}); });
    connect(btnClose, &QPushButton::clicked, this, [this] { choose({}); });
}

void ReviewWindow::setRun(const QVector<testing::AnsweredQuestion> &answers, bool retry)
{
    m_answers = answers;
    m_retry = retry;
}

void ReviewWindow::FormActivate()
{
    m_choice = {};
    // Read at each showing: the file is optional and may come with a course update.
    m_sections.load();
    build();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    btnClose->setFocus();
}

void ReviewWindow::showEvent(QShowEvent *event)
{
    ui::ModalScreen::showEvent(event);
    // With the keyboard, whatever was active before.
    activateWindow();
}

void ReviewWindow::choose(const ui::ReviewChoice &choice)
{
    m_choice = choice;
    closeScreen();
}

void ReviewWindow::build()
{
    int right = 0;
    for (const testing::AnsweredQuestion &q : m_answers)
        right += q.correct ? 1 : 0;
    const int total = int(m_answers.size());
    lblScore->setText(QStringLiteral("%1 из %2").arg(right).arg(total));
    lblScore->setAccessibleName(
        QStringLiteral("Правильных ответов: %1 из %2").arg(right).arg(total));
    QString subtitle = right == total
                           ? QStringLiteral("Все ответы верны.")
                           : QStringLiteral("Ошибок: %1. Под каждым вопросом с ошибкой — ссылка "
                                            "на раздел, где это объясняется.")
                                 .arg(total - right);
    if (m_retry)
        subtitle += QStringLiteral(" Повторение ошибок в статистику не записывается.");
    m_subtitle->setText(subtitle);
    m_subtitle->setWordWrap(true);
    btnRetry->setVisible(right < total);

    // A fresh list each time: the old one goes with its widgets.
    m_list = new QWidget;
    m_list->setObjectName(QStringLiteral("list"));
    m_listLayout = new QVBoxLayout(m_list);
    m_listLayout->setContentsMargins(24, 16, 24, 16);
    m_listLayout->setSpacing(12);

    for (int k = 0; k < total; ++k) {
        const testing::AnsweredQuestion &q = m_answers[k];
        auto *card = new QFrame;
        card->setObjectName(QStringLiteral("question%1").arg(k + 1));
        card->setProperty("card", true);
        card->setProperty("wrong", !q.correct);
        auto *layout = new QVBoxLayout(card);
        layout->setContentsMargins(16, 12, 16, 12);
        layout->setSpacing(4);
        const QString verdict = q.correct ? QStringLiteral("верно") : QStringLiteral("неверно");
        layout->addWidget(label(QStringLiteral("ВОПРОС %1 ИЗ %2 · %3")
                                    .arg(k + 1)
                                    .arg(total)
                                    .arg(verdict.toUpper()),
                                q.correct ? "verdictRight" : "verdictWrong"));
        layout->addWidget(label(q.question.toHtmlEscaped(), "question"));
        for (size_t i = 0; i < 5; ++i)
            layout->addWidget(label(optionLine(q, i)));
        card->setAccessibleName(QStringLiteral("Вопрос %1: %2").arg(k + 1).arg(verdict));

        if (!q.correct) {
            bool isLecture = false;
            const int page = q.lecture.toInt(&isLecture);
            if (isLecture && page > 0) {
                const QString mark = m_sections.markOf({q.lecture, q.number});
                const QString text = mark.isEmpty()
                                         ? QStringLiteral("Перечитать лекцию %1").arg(page)
                                         : QStringLiteral("Перечитать раздел %1").arg(mark);
                auto *link = new QPushButton(text);
                link->setObjectName(QStringLiteral("linkSection%1").arg(k + 1));
                link->setProperty("link", true);
                link->setCursor(Qt::PointingHandCursor);
                link->setAutoDefault(false);
                connect(link, &QPushButton::clicked, this, [this, page, mark] {
                    choose({ui::ReviewChoice::OpenSection, page, mark});
                });
                layout->addWidget(link, 0, Qt::AlignLeft);
            }
        }
        m_listLayout->addWidget(card);
    }
    m_listLayout->addStretch(1);
    m_scroll->setWidget(m_list); // deletes the previous list
}

} // namespace testing
