#include "reader/ReaderNotice.h"

#include <QAccessible>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

namespace reader {

ReaderNotice::ReaderNotice(QWidget *window) : QLabel(window)
{
    setObjectName(QStringLiteral("lblNotice"));
    setFocusPolicy(Qt::NoFocus);
    // Clicks go through to the page under it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(10);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("QLabel { background: #FFFBE0; color: #202020; "
                                 "border: 1px solid #A08C40; border-radius: 6px; }"));
    QFont f = font();
    f.setPointSize(f.pointSize() + 2);
    f.setBold(true);
    setFont(f);
    setVisible(false);

    m_opacity = new QGraphicsOpacityEffect(this);
    m_opacity->setOpacity(1.0);
    setGraphicsEffect(m_opacity);
    m_fade = new QPropertyAnimation(m_opacity, "opacity", this);
    m_fade->setDuration(kFadeMs);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, &ReaderNotice::dismiss);
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    m_wait->setInterval(kShownMs);
    connect(m_wait, &QTimer::timeout, m_fade, [this] { m_fade->start(); });
}

void ReaderNotice::notify(const QString &text, const QRect &area)
{
    m_fade->stop();
    m_opacity->setOpacity(1.0);
    setText(text);
    setAccessibleName(text);
    place(area);
    show();
    raise();
    m_wait->start();
    // Said aloud without moving the focus: the learner stays in the page.
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void ReaderNotice::dismiss()
{
    m_wait->stop();
    m_fade->stop();
    if (!isVisible())
        return;
    hide();
    QAccessibleEvent hidden(this, QAccessible::ObjectHide);
    QAccessible::updateAccessibility(&hidden);
}

void ReaderNotice::place(const QRect &area)
{
    const int width = std::min(area.width() - 20, std::max(260, sizeHint().width() + 20));
    const int height = heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height();
    setGeometry(area.x() + (area.width() - width) / 2, area.bottom() - height - 24, width, height);
}

} // namespace reader
