#include "ui/connection_artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

struct Role {
    QColor badge;
    QColor screen;
    bool cross;  // error: a cross over the display
    bool bars;   // online data: value bars on the display
};

Role RoleOf(ConnectionState state) {
    switch (state) {
        case ConnectionState::Error:
            return {QColor(210, 30, 30), QColor(60, 64, 60), true, false};
        case ConnectionState::Standby:
            return {QColor(30, 90, 200), QColor(170, 200, 230), false, false};
        case ConnectionState::Online:
            return {QColor(20, 160, 40), QColor(160, 230, 160), false, true};
        case ConnectionState::Start:
            break;
    }
    return {QColor(128, 128, 128), QColor(60, 64, 60), false, false};
}

void DrawRune(QPainter& p, QPointF c, qreal h) {
    // The Bluetooth rune: a vertical stroke with two arrow heads to the right.
    const qreal w = h * 0.32;
    QPainterPath path;
    path.moveTo(c.x() - w, c.y() - h * 0.25);
    path.lineTo(c.x() + w, c.y() + h * 0.25);
    path.lineTo(c.x(), c.y() + h * 0.5);
    path.lineTo(c.x(), c.y() - h * 0.5);
    path.lineTo(c.x() + w, c.y() - h * 0.25);
    path.lineTo(c.x() - w, c.y() + h * 0.25);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

}  // namespace

void PaintConnectionPicture(QPainter& p, ConnectionState state) {
    const Role role = RoleOf(state);
    p.setRenderHint(QPainter::Antialiasing);

    // Analyser body with display and keys.
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(70, 74, 80));
    p.drawRoundedRect(QRectF(6.5, 19.5, 19, 24), 3, 3);
    p.setBrush(role.screen);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.drawRect(QRectF(9.5, 23.5, 13, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 200));
    for (int i = 0; i < 3; ++i) {
        p.drawEllipse(QRectF(9.5 + i * 4.5, 36, 3, 3));
    }
    if (role.bars) {
        p.setBrush(QColor(0, 90, 0));
        const qreal heights[] = {3, 5, 7};
        for (int i = 0; i < 3; ++i) {
            p.drawRect(QRectF(11 + i * 4, 31.5 - heights[i], 2.5, heights[i]));
        }
    }
    if (role.cross) {
        p.setPen(QPen(QColor(200, 0, 0), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 25.5), QPointF(20, 30.5));
        p.drawLine(QPointF(20, 25.5), QPointF(12, 30.5));
    }

    // Bluetooth badge.
    p.setPen(QPen(role.badge.darker(150), 1));
    p.setBrush(role.badge);
    p.drawEllipse(QRectF(6.5, 0.5, 19, 19));
    DrawRune(p, QPointF(16, 10), 13);
}

QImage DrawConnectionPicture(ConnectionState state) {
    QImage image(kConnectionPictureWidth, kConnectionPictureHeight,
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintConnectionPicture(painter, state);
    return image;
}

QImage DrawProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // The motif spans the picture's full height but only its middle 20 of 32 columns.
    const qreal scale = static_cast<qreal>(size) / kConnectionPictureHeight;
    painter.translate(size / 2.0 - scale * kConnectionPictureWidth / 2.0, 0);
    painter.scale(scale, scale);
    PaintConnectionPicture(painter, ConnectionState::Standby);
    return image;
}
