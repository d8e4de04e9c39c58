// A blue globe with a yellow up-arrow: an address record brought up to date.
#include "ui/linux/window_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quorvel {

namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF globe(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    painter.setPen(QPen(QColor(0x00, 0x30, 0x90), s / 16.0));
    painter.setBrush(QColor(0x00, 0x88, 0xFF));
    painter.drawEllipse(globe);
    painter.setPen(QPen(QColor(0xCC, 0xE8, 0xFF), s / 24.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(globe.adjusted(s * 0.22, 0, -s * 0.22, 0));
    painter.drawLine(QPointF(globe.left(), s / 2), QPointF(globe.right(), s / 2));
    QPainterPath arrow;
    arrow.moveTo(s * 0.50, s * 0.18);
    arrow.lineTo(s * 0.78, s * 0.50);
    arrow.lineTo(s * 0.60, s * 0.50);
    arrow.lineTo(s * 0.60, s * 0.82);
    arrow.lineTo(s * 0.40, s * 0.82);
    arrow.lineTo(s * 0.40, s * 0.50);
    arrow.lineTo(s * 0.22, s * 0.50);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0x60, 0x50, 0x00), s / 32.0));
    painter.setBrush(QColor(0xFF, 0xFF, 0x00));
    painter.drawPath(arrow);
    return pixmap;
}

}  // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addPixmap(drawIcon(size));
    }
    return icon;
}

}  // namespace quorvel
