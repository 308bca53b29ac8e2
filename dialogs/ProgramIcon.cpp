#include "dialogs/ProgramIcon.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace kaptivus::dialogs {

namespace {

// A camera body with a lens, drawn in a 32 x 32 design space and scaled.
QPixmap drawCamera(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 32.0, size.height() / 32.0);
    p.setPen(QPen(QColor(0x20, 0x20, 0x40), 1.2));
    p.setBrush(QColor(0x30, 0x60, 0xB0));
    p.drawRoundedRect(QRectF(2, 9, 28, 19), 3, 3);
    p.setBrush(QColor(0x50, 0x50, 0x60));
    p.drawRect(QRectF(11, 5, 10, 5));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 18.5), 7, 7);
    p.setBrush(QColor(0x10, 0x10, 0x30));
    p.drawEllipse(QPointF(16, 18.5), 4.5, 4.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE0, 0x20, 0x20));
    p.drawEllipse(QPointF(26, 12.5), 1.5, 1.5);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(QPointF(14.3, 16.8), 1.5, 1.5);
    return pixmap;
}

} // namespace

QPixmap ProgramPicture(QSize size)
{
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        const QPixmap pixmap = icon.pixmap(size);
        if (!pixmap.isNull())
            return pixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return drawCamera(size);
}

} // namespace kaptivus::dialogs
