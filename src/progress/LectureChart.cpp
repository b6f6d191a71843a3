#include "progress/LectureChart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace progress {

namespace {
const QColor kInk(0x1E, 0x27, 0x33);
const QColor kMuted(0x5B, 0x64, 0x72);
const QColor kTrack(0xE7, 0xED, 0xF6);
const QColor kOpened(0x1F, 0x3B, 0x63);
const QColor kTried(0xC2, 0x62, 0x1A);
const QColor kPassed(0x2E, 0x7D, 0x4F);
} // namespace

LectureChart::LectureChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LectureChart"));
    setAccessibleName(QStringLiteral("Ход изучения лекций"));
    setMinimumHeight(48);
}

QString LectureChart::describe(const progress::LectureProgress &p)
{
    QString text = QStringLiteral("Лекция %1: ").arg(p.lecture);
    text += p.opened ? QStringLiteral("открывалась") : QStringLiteral("не открывалась");
    if (p.best < 0)
        text += QStringLiteral(", тест не пройден");
    else
        text += QStringLiteral(", лучший результат теста %1 %%2")
                    .arg(p.best)
                    .arg(p.passed() ? QStringLiteral(", тест сдан") : QString());
    return text;
}

void LectureChart::setProgress(const QVector<progress::LectureProgress> &lectures)
{
    m_lectures = lectures;
    QStringList lines;
    for (const progress::LectureProgress &p : lectures)
        lines.append(describe(p));
    setAccessibleDescription(lines.join(QStringLiteral(". ")));
    setToolTip(lines.join(QLatin1Char('\n')));
    update();
}

void LectureChart::paintEvent(QPaintEvent *)
{
    if (m_lectures.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int n = int(m_lectures.size());
    const qreal cell = qreal(width()) / n;
    QFont small = font();
    small.setPixelSize(11);
    p.setFont(small);
    const int barTop = 16;
    const int barHeight = 10;
    for (int i = 0; i < n; ++i) {
        const progress::LectureProgress &lp = m_lectures[i];
        const QRectF column(i * cell + 3, 0, cell - 6, height());
        p.setPen(lp.opened ? kInk : kMuted);
        p.drawText(QRectF(column.x(), 0, column.width(), 14), Qt::AlignCenter,
                   QStringLiteral("Л%1").arg(lp.lecture));
        const QRectF track(column.x(), barTop, column.width(), barHeight);
        QPainterPath trackPath;
        trackPath.addRoundedRect(track, 4, 4);
        p.fillPath(trackPath, kTrack);
        // Opened: a thin line of the course colour; a test: filled to its best.
        QRectF fill = track;
        QColor colour = kOpened;
        if (lp.best >= 0) {
            fill.setWidth(std::max(8.0, track.width() * lp.best / 100.0));
            colour = lp.passed() ? kPassed : kTried;
        } else if (lp.opened) {
            fill.setWidth(8);
        } else {
            fill = QRectF();
        }
        if (!fill.isEmpty()) {
            QPainterPath fillPath;
            fillPath.addRoundedRect(fill, 4, 4);
            p.fillPath(fillPath, colour);
        }
        QString note = lp.best >= 0 ? QStringLiteral("%1 %").arg(lp.best)
                                    : (lp.opened ? QStringLiteral("открыта") : QStringLiteral("—"));
        if (lp.passed())
            note += QStringLiteral(" ✓");
        p.setPen(lp.best >= 0 ? colour : kMuted);
        p.drawText(QRectF(column.x(), barTop + barHeight + 2, column.width(), 14), Qt::AlignCenter,
                   note);
    }
}

} // namespace progress
