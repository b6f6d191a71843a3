#include "ui/Dialogs.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <exception>

namespace ui {
namespace {
MessageHook g_messageHook;
QuestionHook g_questionHook;
MessageHook g_errorHook;

// Plain boxes: no icons on their buttons either.
void plainButtons(QMessageBox &box)
{
    for (QAbstractButton *button : box.buttons())
        button->setIcon(QIcon());
}

QString caption()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QApplication::applicationName() : name;
}
} // namespace

void message(QWidget *parent, const QString &text)
{
    if (g_messageHook) {
        g_messageHook(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption(), text, QMessageBox::Ok, parent);
    plainButtons(box);
    box.exec();
}

bool question(QWidget *parent, const QString &text)
{
    if (g_questionHook)
        return g_questionHook(text);
    QMessageBox box(QMessageBox::NoIcon, caption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    plainButtons(box);
    return box.exec() == QMessageBox::Yes;
}

void error(QWidget *parent, const QString &text)
{
    if (g_errorHook) {
        g_errorHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

void guarded(QWidget *parent, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        error(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        error(parent, QStringLiteral("Неизвестная ошибка"));
    }
}

void setMessageHook(MessageHook hook) { g_messageHook = std::move(hook); }
void setQuestionHook(QuestionHook hook) { g_questionHook = std::move(hook); }
void setErrorHook(MessageHook hook) { g_errorHook = std::move(hook); }

} // namespace ui
