#include "app/ui/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pontvex {

namespace {

constexpr int kSize = 32;

void drawChip(QPainter& p, const QRectF& body)
{
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.5));
    for (int i = 0; i < 4; ++i) {
        const qreal x = body.left() + 3 + i * (body.width() - 6) / 3;
        p.drawLine(QPointF(x, body.top() - 3), QPointF(x, body.top()));
        p.drawLine(QPointF(x, body.bottom()), QPointF(x, body.bottom() + 3));
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(0x30, 0x30, 0x38));
    p.drawRoundedRect(body, 2, 2);
    p.setBrush(QColor(0xA0, 0xA0, 0xA8));
    p.drawEllipse(QPointF(body.left() + 3.5, body.center().y()), 1.8, 1.8);
}

void drawArrow(QPainter& p, bool up, const QColor& colour)
{
    // The up arrow's outline; the down arrow is it upside down in the 32-pixel icon.
    static constexpr QPointF kUp[] = {{16, 4}, {28, 17}, {21, 17}, {21, 28}, {11, 28}, {11, 17}, {4, 17}};
    const auto corner = [up](const QPointF& at) { return QPointF(at.x(), up ? at.y() : 32 - at.y()); };
    QPainterPath path;
    path.moveTo(corner(kUp[0]));
    for (size_t k = 1; k < std::size(kUp); ++k)
        path.lineTo(corner(kUp[k]));
    path.closeSubpath();
    p.setPen(QPen(colour.darker(160), 1.5));
    p.setBrush(colour);
    p.drawPath(path);
}

void draw(QPainter& p, ToolPicture picture)
{
    switch (picture) {
    case ToolPicture::Open: {
        p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1.5));
        p.setBrush(QColor(0xE8, 0xC0, 0x50));
        p.drawRect(QRectF(3, 9, 22, 17));
        p.drawRect(QRectF(3, 6, 9, 4));
        QPainterPath flap;
        flap.moveTo(7, 14);
        flap.lineTo(30, 14);
        flap.lineTo(25, 26);
        flap.lineTo(3, 26);
        flap.closeSubpath();
        p.setBrush(QColor(0xF8, 0xD8, 0x70));
        p.drawPath(flap);
        break;
    }
    case ToolPicture::Save:
        p.setPen(QPen(QColor(0x10, 0x20, 0x60), 1.5));
        p.setBrush(QColor(0x30, 0x50, 0xB0));
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 5, 14, 9));
        p.setBrush(QColor(0xC0, 0xC0, 0xC8));
        p.drawRect(QRectF(9, 18, 14, 9));
        p.setBrush(QColor(0x30, 0x50, 0xB0));
        p.drawRect(QRectF(18, 19, 3, 6));
        break;
    case ToolPicture::Fill: {
        // A grid of bytes, the lower rows already filled.
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col) {
                p.setBrush(row >= 2 ? QColor(0x30, 0xA0, 0x40) : Qt::white);
                p.drawRect(QRectF(4 + col * 6.2, 5 + row * 6, 5, 5));
            }
        p.setPen(QPen(QColor(0x10, 0x70, 0x20), 2.5));
        p.drawLine(QPointF(27, 4), QPointF(27, 13));
        p.drawLine(QPointF(24, 10), QPointF(27, 14));
        p.drawLine(QPointF(30, 10), QPointF(27, 14));
        break;
    }
    case ToolPicture::Select:
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 3, 20, 26));
        for (int i = 0; i < 5; ++i) {
            p.setBrush(i == 2 ? QColor(0x30, 0x60, 0xD0) : QColor(0xD0, 0xD0, 0xD0));
            p.setPen(Qt::NoPen);
            p.drawRect(QRectF(5, 6 + i * 4.8, 16, 3));
        }
        drawChip(p, QRectF(19, 17, 11, 8));
        break;
    case ToolPicture::Program:
        drawChip(p, QRectF(7, 10, 18, 12));
        p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2));
        p.drawLine(QPointF(3, 3), QPointF(13, 3));
        p.drawLine(QPointF(10, 0.5), QPointF(13, 3));
        p.drawLine(QPointF(19, 29), QPointF(29, 29));
        p.drawLine(QPointF(19, 29), QPointF(22, 31.5));
        break;
    case ToolPicture::System: {
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
        p.setBrush(QColor(0x90, 0x98, 0xA8));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(16, 16);
            p.rotate(i * 45);
            p.drawRect(QRectF(-2.5, -14, 5, 6));
            p.restore();
        }
        p.drawEllipse(QPointF(16, 16), 10, 10);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 16), 4, 4);
        break;
    }
    case ToolPicture::Id: {
        // "ID" under a magnifying glass.
        p.setPen(QPen(QColor(0x50, 0x30, 0x10), 3.5));
        p.drawLine(QPointF(21, 21), QPointF(29, 29));
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 2));
        p.setBrush(QColor(0xF0, 0xF6, 0xFF));
        p.drawEllipse(QPointF(13, 13), 11, 11);
        QFont font("DejaVu Sans");
        font.setBold(true);
        font.setPixelSize(11);
        p.setFont(font);
        p.setPen(QColor(0x10, 0x30, 0x90));
        p.drawText(QRectF(2, 2, 22, 22), Qt::AlignCenter, "ID");
        break;
    }
    case ToolPicture::PageUp:
        drawArrow(p, true, QColor(0x40, 0x90, 0xE0));
        break;
    case ToolPicture::PageDown:
        drawArrow(p, false, QColor(0x40, 0x90, 0xE0));
        break;
    case ToolPicture::Info: {
        p.setPen(QPen(QColor(0x10, 0x40, 0x90), 1.5));
        p.setBrush(QColor(0x40, 0x80, 0xE0));
        p.drawEllipse(QPointF(16, 16), 13, 13);
        QFont font("DejaVu Serif");
        font.setBold(true);
        font.setPixelSize(20);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, "i");
        break;
    }
    }
}

} // namespace

QIcon toolIcon(ToolPicture picture)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(kSize * scale, kSize * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, picture);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace pontvex
