#include "ui/PaperTile.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QRandomGenerator>

namespace ui {

namespace {

constexpr int kWidth = 159;
constexpr int kHeight = 160;

// Holds the shared pixmap for the application's lifetime: a pixmap must not
// outlive the GUI application.
class PaperHolder : public QObject
{
public:
    using QObject::QObject;
    QPixmap pixmap = QPixmap::fromImage(drawPaperTile());
};

} // namespace

QImage drawPaperTile()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    QRandomGenerator grain(1251);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int shade = 0xE4 + grain.bounded(-7, 8);
            image.setPixelColor(x, y, QColor(shade, shade, shade - 2));
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 40; ++i) {
        const QPointF from(grain.bounded(double(kWidth)), grain.bounded(double(kHeight)));
        const QPointF to = from + QPointF(grain.bounded(28.0) - 14.0, grain.bounded(28.0) - 14.0);
        const int shade = grain.bounded(0xC8, 0xD6);
        painter.setPen(QPen(QColor(shade, shade, shade, 90), 0.8));
        // Drawn again one tile away on every side, for the part that crosses an edge.
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const QPointF shift(dx * kWidth, dy * kHeight);
                painter.drawLine(from + shift, to + shift);
            }
    }
    painter.end();
    return image;
}

QPixmap paperTile()
{
    static QPointer<PaperHolder> holder;
    if (!holder)
        holder = new PaperHolder(QCoreApplication::instance());
    return holder->pixmap;
}

} // namespace ui
