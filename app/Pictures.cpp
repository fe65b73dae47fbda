#include "Pictures.h"

#include <QPainter>
#include <QRadialGradient>

namespace Pictures {
namespace {

constexpr int kLampWidth = 30;
constexpr int kLampHeight = 28;
constexpr int kIconSide = 48;

QPixmap lamp(const QColor& background, const QColor& centre, const QColor& rim) {
    QPixmap pixmap(kLampWidth, kLampHeight);
    pixmap.fill(background);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bulb(5.5, 4.5, 19, 19);
    QRadialGradient glow(bulb.center() - QPointF(3, 3), 12);
    glow.setColorAt(0.0, centre);
    glow.setColorAt(1.0, rim);
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(40, 40, 40), 1.2));
    painter.drawEllipse(bulb);
    return pixmap;
}

} // namespace

QPixmap darkLamp() {
    return lamp(QColor(0xcc, 0xf0, 0xcc), QColor(0x70, 0x70, 0x70), QColor(0x20, 0x20, 0x20));
}

QPixmap redLamp() {
    return lamp(QColor(0xcc, 0xf0, 0xcc), QColor(0xff, 0xc0, 0xc0), QColor(0xe0, 0x00, 0x00));
}

QIcon windowIcon() {
    // The sizes title bars, task bars and window switchers ask for; the
    // installed icon files are the same drawing.
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(windowIconImage(side)));
    return icon;
}

QImage windowIconImage(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 48-unit square, so every size shows the same picture.
    painter.scale(qreal(side) / kIconSide, qreal(side) / kIconSide);
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
    painter.setBrush(QColor(0xd8, 0xdc, 0xe0));
    painter.drawRoundedRect(QRectF(3, 7, 42, 34), 4, 4);
    painter.setBrush(QColor(0x10, 0x30, 0x10));
    painter.drawRect(QRectF(8, 12, 32, 12));
    painter.setPen(QPen(QColor(0x40, 0xff, 0x40), 2));
    painter.drawLine(QPointF(11, 18), QPointF(37, 18));
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
    painter.setBrush(QColor(0xd0, 0x10, 0x10));
    painter.drawEllipse(QRectF(11, 28, 9, 9));
    painter.setBrush(QColor(0x20, 0x20, 0x20));
    painter.drawEllipse(QRectF(28, 28, 9, 9));
    return image;
}

} // namespace Pictures
