#include "teacher/ClassChart.h"

#include "teacher/Theme.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPixmap>
#include <QPainterPath>
#include <QToolTip>
#include <cmath>

namespace teacher {

ClassChart::ClassChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("classChart"));
    setAccessibleName(QStringLiteral("Диаграмма класса по тестам"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize ClassChart::sizeHint() const
{
    return {520, 300};
}

QSize ClassChart::minimumSizeHint() const
{
    return {280, 200};
}

void ClassChart::setSummaries(const QVector<TopicSummary> &summaries)
{
    m_summaries = summaries;
    // Screen readers get the chart as text.
    QStringList parts;
    for (const TopicSummary &s : summaries)
        parts << QStringLiteral("%1: в среднем %2, учеников %3")
                     .arg(s.title, ClassTable::percentShown(s.average))
                     .arg(s.results.size());
    setAccessibleDescription(parts.isEmpty() ? QStringLiteral("Результатов нет")
                                             : parts.join(QStringLiteral("; ")));
    update();
}

QString ClassChart::shortTitle(const QString &topic, bool roomy)
{
    bool ok = false;
    const int n = topic.toInt(&ok);
    if (!ok)
        return topic;
    if (n == 0)
        return QStringLiteral("Общий");
    return (roomy ? QStringLiteral("Лекция %1") : QStringLiteral("Л. %1")).arg(n);
}

namespace {
constexpr int kDotHalf = 6; // half the side of a result's dot, its ring included
} // namespace

void ClassChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), theme::surface());

    // A learner's result: a dot ringed in the background's colour.
    const qreal ratio = devicePixelRatioF();
    QPixmap dot(QSize(2 * kDotHalf, 2 * kDotHalf) * ratio);
    dot.setDevicePixelRatio(ratio);
    dot.fill(Qt::transparent);
    {
        QPainter d(&dot);
        d.setRenderHint(QPainter::Antialiasing);
        d.setPen(QPen(theme::surface(), 1.5));
        d.setBrush(theme::accent());
        d.drawEllipse(QPointF(kDotHalf, kDotHalf), 4.5, 4.5);
    }

    QFont font(theme::fontFamily());
    font.setPixelSize(theme::kHeading);
    font.setBold(true);
    p.setFont(font);
    p.setPen(theme::primary());
    const QRect titleRect(16, 10, width() - 32, 24);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Класс по тестам"));
    font.setBold(false);
    font.setPixelSize(theme::kSmall);
    p.setFont(font);
    p.setPen(theme::muted());
    p.drawText(QRect(16, 34, width() - 32, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("столбец — среднее по классу, точка — ученик"));

    m_barAreas.clear();
    const QRect plot(56, 76, std::max(10, width() - 56 - 16), std::max(10, height() - 76 - 46));
    if (m_summaries.isEmpty()) {
        font.setPixelSize(theme::kBody);
        p.setFont(font);
        p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Нет результатов для диаграммы"));
        return;
    }

    // The scale: 0 to 100 per cent, a line every 25.
    const auto yOf = [&](double percent) {
        return plot.bottom() -
               int(std::lround(plot.height() * std::clamp(percent, 0.0, 100.0) / 100.0));
    };
    for (int v = 0; v <= 100; v += 25) {
        const int y = yOf(v);
        p.setPen(QPen(v == 0 ? theme::lineStrong() : theme::line(), 1));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(theme::muted());
        p.drawText(QRect(0, y - 9, plot.left() - 8, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 %").arg(v));
    }

    const int n = int(m_summaries.size());
    const double slot = double(plot.width()) / n;
    const int barWidth = std::clamp(int(slot * 0.7), 8, 64);
    for (int i = 0; i < n; ++i) {
        const TopicSummary &s = m_summaries[i];
        const int cx = plot.left() + int(slot * i + slot / 2);
        const QRect bar(cx - barWidth / 2, yOf(s.average), barWidth,
                        plot.bottom() - yOf(s.average));
        QPainterPath path;
        path.addRoundedRect(QRectF(bar).adjusted(0, 0, 0, 4), 4, 4);
        p.save();
        p.setClipRect(
            QRect(bar.left(), plot.top() - 1, bar.width(), plot.bottom() - plot.top() + 1));
        p.fillPath(path, theme::primary());
        p.restore();
        m_barAreas << QRect(int(plot.left() + slot * i), plot.top(), int(slot),
                            height() - plot.top());

        // Each learner's result; equal ones are spread a little so none hides
        // another. One dot drawn once and stamped: a class of a thousand
        // learners has thousands of them.
        int highest = bar.top();
        for (int k = 0; k < s.results.size(); ++k) {
            const int spread = s.results.size() > 1 ? (k % 5 - 2) * std::max(2, barWidth / 8) : 0;
            p.drawPixmap(cx + spread - kDotHalf, yOf(s.results[k]) - kDotHalf, dot);
            highest = std::min(highest, yOf(s.results[k]) - 5);
        }

        // The average in the bar's top when it fits, above it otherwise.
        font.setPixelSize(theme::kSmall);
        font.setBold(true);
        p.setFont(font);
        const QString average = ClassTable::percentShown(s.average);
        const int labelWidth = QFontMetrics(font).horizontalAdvance(average) + 4;
        if (bar.height() >= 22 && labelWidth <= bar.width()) {
            p.setPen(theme::surface());
            p.drawText(QRect(bar.left(), bar.top() + 3, bar.width(), 16), Qt::AlignCenter, average);
        } else {
            p.setPen(theme::ink());
            p.drawText(QRect(cx - int(slot / 2), highest - 18, int(slot), 18), Qt::AlignCenter,
                       average);
        }
        font.setBold(false);
        p.setFont(font);
        p.setPen(theme::ink());
        p.drawText(QRect(cx - int(slot / 2), plot.bottom() + 4, int(slot), 18), Qt::AlignCenter,
                   shortTitle(s.topic, slot >= 72));
        p.setPen(theme::muted());
        font.setPixelSize(theme::kTiny);
        p.setFont(font);
        p.drawText(QRect(cx - int(slot / 2), plot.bottom() + 22, int(slot), 16), Qt::AlignCenter,
                   QStringLiteral("%1 уч.").arg(s.results.size()));
    }
}

bool ClassChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        for (int i = 0; i < m_barAreas.size() && i < m_summaries.size(); ++i) {
            if (m_barAreas[i].contains(help->pos())) {
                const TopicSummary &s = m_summaries[i];
                QToolTip::showText(help->globalPos(),
                                   QStringLiteral("%1\nв среднем %2, учеников: %3")
                                       .arg(s.title, ClassTable::percentShown(s.average))
                                       .arg(s.results.size()),
                                   this);
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

} // namespace teacher
