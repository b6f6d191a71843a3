#include "teacher/ClassChart.h"

#include "teacher/Theme.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolTip>
#include <algorithm>
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
        return roomy ? QStringLiteral("Общий") : QStringLiteral("Общ.");
    return (roomy ? QStringLiteral("Лекция %1") : QStringLiteral("Л. %1")).arg(n);
}

namespace {

constexpr int kDotHalf = 6;  // half the side of a result's dot, its ring included
constexpr int kPlotTop = 76; // below the title and the legend
constexpr int kLegendBottom = 52;
constexpr int kLabelHeight = 16;

bool hidesNothing(const QRect &label, const QVector<QRect> &obstacles)
{
    return std::none_of(obstacles.begin(), obstacles.end(),
                        [&](const QRect &o) { return o.intersects(label); });
}

} // namespace

QFont ClassChart::labelFont()
{
    QFont font(theme::fontFamily());
    font.setPixelSize(theme::kSmall);
    font.setBold(true);
    return font;
}

// The average's label goes where no learner's dot and no other label
// covers it: in the bar's top, just above the bar, lower in the bar, or
// above every dot, the first of these that is free. Null where there is no
// room at all (a crowded, narrow chart): the tooltip still tells it.
QRect ClassChart::placeAverage(const QRect &bar, const QSize &label, int top,
                               const QVector<QRect> &obstacles)
{
    const int cx = bar.center().x();
    const auto at = [&](int y) {
        return QRect(cx - label.width() / 2, y, label.width(), label.height());
    };
    const auto free = [&](const QRect &r) { return r.top() >= top && hidesNothing(r, obstacles); };
    const bool fitsInBar = label.width() <= bar.width();
    if (fitsInBar && bar.height() >= label.height() + 6 && free(at(bar.top() + 3)))
        return at(bar.top() + 3);
    if (free(at(bar.top() - label.height() - 2)))
        return at(bar.top() - label.height() - 2);
    if (fitsInBar) {
        for (int y = bar.top() + 3; y + label.height() <= bar.bottom() - 2; y += 2) {
            if (free(at(y)))
                return at(y);
        }
    }
    for (int y = bar.top() - label.height() - 4; y >= top; y -= 2) {
        if (free(at(y)))
            return at(y);
    }
    return QRect();
}

ClassChart::Layout ClassChart::layout() const
{
    Layout out;
    out.plot = QRect(56, kPlotTop, std::max(10, width() - 56 - 16),
                     std::max(10, height() - kPlotTop - 46));
    const QRect &plot = out.plot;
    const int n = int(m_summaries.size());
    if (n == 0)
        return out;
    const auto yOf = [&](double percent) {
        return plot.bottom() -
               int(std::lround(plot.height() * std::clamp(percent, 0.0, 100.0) / 100.0));
    };
    const QFontMetrics metrics(labelFont());
    const double slot = double(plot.width()) / n;
    const int barWidth = std::clamp(int(slot * 0.7), 8, 64);
    for (int i = 0; i < n; ++i) {
        const TopicSummary &s = m_summaries[i];
        TopicPlace place;
        const int cx = plot.left() + int(slot * i + slot / 2);
        place.slot =
            QRect(int(plot.left() + slot * i), plot.top(), int(slot), height() - plot.top());
        place.bar =
            QRect(cx - barWidth / 2, yOf(s.average), barWidth, plot.bottom() - yOf(s.average));
        // Equal results are spread a little so that none hides another.
        place.dots.reserve(s.results.size());
        for (int k = 0; k < s.results.size(); ++k) {
            const int spread = s.results.size() > 1 ? (k % 5 - 2) * std::max(2, barWidth / 8) : 0;
            place.dots << QRect(cx + spread - kDotHalf, yOf(s.results[k]) - kDotHalf, 2 * kDotHalf,
                                2 * kDotHalf);
        }
        out.topics << place;
    }
    // The labels once every dot has its place: a wide label may reach over
    // its neighbours' dots and labels.
    for (int i = 0; i < n; ++i) {
        TopicPlace &place = out.topics[i];
        const QSize label(
            metrics.horizontalAdvance(ClassTable::percentShown(m_summaries[i].average)) + 4,
            kLabelHeight);
        const int cx = place.bar.center().x();
        const int left = cx - label.width() / 2, right = left + label.width();
        QVector<QRect> obstacles;
        for (int k = 0; k < n; ++k) {
            const TopicPlace &other = out.topics[k];
            if (other.slot.right() + 2 * kDotHalf < left ||
                other.slot.left() - 2 * kDotHalf > right)
                continue;
            obstacles += other.dots;
            if (k < i && !other.average.isNull())
                obstacles << other.average;
        }
        place.average = placeAverage(place.bar, label, kLegendBottom, obstacles);
        place.averageInBar = !place.average.isNull() && place.bar.contains(place.average);
    }
    return out;
}

void ClassChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), theme::surface());

    QFont font(theme::fontFamily());
    font.setPixelSize(theme::kHeading);
    font.setBold(true);
    p.setFont(font);
    p.setPen(theme::primary());
    p.drawText(QRect(16, 10, width() - 32, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Класс по тестам"));
    font.setBold(false);
    font.setPixelSize(theme::kSmall);
    p.setFont(font);
    p.setPen(theme::muted());
    // The legend in full where it fits, shorter in a narrow chart.
    const QRect legend(16, 34, width() - 32, 18);
    QString legendText = QStringLiteral("столбец — среднее по классу, точка — ученик");
    if (QFontMetrics(font).horizontalAdvance(legendText) > legend.width())
        legendText = QStringLiteral("столбец — среднее, точка — ученик");
    p.drawText(legend, Qt::AlignLeft | Qt::AlignVCenter, legendText);

    const Layout layout = this->layout();
    const QRect &plot = layout.plot;
    m_barAreas.clear();
    if (m_summaries.isEmpty()) {
        font.setPixelSize(theme::kBody);
        p.setFont(font);
        p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Нет результатов для диаграммы"));
        return;
    }
    paintScale(p, plot);
    const QPixmap dot = dotPixmap();
    for (int i = 0; i < layout.topics.size(); ++i)
        paintTopic(p, m_summaries[i], layout.topics[i], plot, dot);
}

// The scale: 0 to 100 per cent, a line every 25.
void ClassChart::paintScale(QPainter &p, const QRect &plot)
{
    for (int v = 0; v <= 100; v += 25) {
        const int y = plot.bottom() - int(std::lround(plot.height() * v / 100.0));
        p.setPen(QPen(v == 0 ? theme::lineStrong() : theme::line(), 1));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(theme::muted());
        p.drawText(QRect(0, y - 9, plot.left() - 8, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 %").arg(v));
    }
}

void ClassChart::paintTopic(QPainter &p, const TopicSummary &s, const TopicPlace &place,
                            const QRect &plot, const QPixmap &dot)
{
    const QRect &bar = place.bar;
    QPainterPath path;
    path.addRoundedRect(QRectF(bar).adjusted(0, 0, 0, 4), 4, 4);
    p.save();
    p.setClipRect(QRect(bar.left(), plot.top() - 1, bar.width(), plot.bottom() - plot.top() + 1));
    p.fillPath(path, theme::primary());
    p.restore();
    m_barAreas << place.slot;

    // One dot drawn once and stamped: a class of a thousand learners has
    // thousands of them.
    for (const QRect &d : place.dots)
        p.drawPixmap(d.topLeft(), dot);

    QFont font = labelFont();
    p.setFont(font);
    if (!place.average.isNull()) {
        p.setPen(place.averageInBar ? theme::surface() : theme::ink());
        p.drawText(place.average, Qt::AlignCenter, ClassTable::percentShown(s.average));
    }

    const QRect &slot = place.slot;
    font.setBold(false);
    p.setFont(font);
    p.setPen(theme::ink());
    p.drawText(QRect(slot.left(), plot.bottom() + 4, slot.width(), 18), Qt::AlignCenter,
               shortTitle(s.topic, slot.width() >= 72));
    p.setPen(theme::muted());
    font.setPixelSize(theme::kTiny);
    p.setFont(font);
    p.drawText(QRect(slot.left(), plot.bottom() + 22, slot.width(), 16), Qt::AlignCenter,
               QStringLiteral("%1 уч.").arg(s.results.size()));
}

// A learner's result: a dot ringed in the background's colour.
QPixmap ClassChart::dotPixmap() const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap dot(QSize(2 * kDotHalf, 2 * kDotHalf) * ratio);
    dot.setDevicePixelRatio(ratio);
    dot.fill(Qt::transparent);
    QPainter d(&dot);
    d.setRenderHint(QPainter::Antialiasing);
    d.setPen(QPen(theme::surface(), 1.5));
    d.setBrush(theme::accent());
    d.drawEllipse(QPointF(kDotHalf, kDotHalf), 4.5, 4.5);
    return dot;
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
