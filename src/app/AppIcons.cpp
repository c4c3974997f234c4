#include "app/AppIcons.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include "app/DialogTemplate.h"

namespace tarnwick {

namespace {

// All drawings are on a 32 x 32 grid, scaled to the size asked for.
void DrawChip(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xB0, 0xBE, 0xC5));
    for (int i = 0; i < 4; ++i) {
        const qreal y = 8 + i * 5;
        p.drawRect(QRectF(4, y, 5, 2));
        p.drawRect(QRectF(23, y, 5, 2));
    }
    p.setBrush(QColor(0x26, 0x32, 0x38));
    p.drawRoundedRect(QRectF(8, 4, 16, 26), 2, 2);
    p.setBrush(QColor(0x90, 0xA4, 0xAE));
    p.drawEllipse(QRectF(10.5, 6.5, 3, 3));
    // The arrow: data going into the chip.
    QPainterPath arrow;
    arrow.moveTo(14, 10);
    arrow.lineTo(18, 10);
    arrow.lineTo(18, 18);
    arrow.lineTo(21.5, 18);
    arrow.lineTo(16, 25);
    arrow.lineTo(10.5, 18);
    arrow.lineTo(14, 18);
    arrow.closeSubpath();
    p.setBrush(QColor(0x66, 0xBB, 0x6A));
    p.drawPath(arrow);
}

void DrawPlug(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x78, 0x90, 0x9C));
    p.drawRect(QRectF(11, 2, 3, 8));
    p.drawRect(QRectF(18, 2, 3, 8));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(7, 9, 18, 11), 3, 3);
    QPainterPath neck;
    neck.moveTo(11, 20);
    neck.lineTo(21, 20);
    neck.lineTo(18.5, 25);
    neck.lineTo(13.5, 25);
    neck.closeSubpath();
    p.drawPath(neck);
    QPen cable(colour, 3, Qt::SolidLine, Qt::RoundCap);
    p.setPen(cable);
    p.setBrush(Qt::NoBrush);
    QPainterPath tail;
    tail.moveTo(16, 25);
    tail.cubicTo(16, 29, 20, 28, 22, 30);
    p.drawPath(tail);
}

void DrawCross(QPainter& p, const QColor& colour) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(27, 27));
    p.setPen(QPen(colour, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(27, 27));
}

}  // namespace

QPixmap AppIcons::Pixmap(int resource, int size) {
    if (resource != kIconApplication && resource != kIconProgrammerPresent &&
        resource != kIconNoProgrammer) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    if (resource == kIconApplication) {
        DrawChip(p);
    } else if (resource == kIconProgrammerPresent) {
        DrawPlug(p, QColor(0x2E, 0x7D, 0x32));
    } else {
        const QColor red(0xC6, 0x28, 0x28);
        DrawPlug(p, red);
        DrawCross(p, red);
    }
    p.end();
    return QPixmap::fromImage(image);
}

QIcon AppIcons::Icon(int resource) {
    QIcon icon;
    icon.addPixmap(Pixmap(resource, 16));
    icon.addPixmap(Pixmap(resource, 32));
    return icon;
}

}  // namespace tarnwick
