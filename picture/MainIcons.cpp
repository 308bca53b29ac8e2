// Simple flat 32 × 32 pictures for the tool bar buttons.
#include "picture/MainIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void DrawPage(QPainter& p, QRectF r, const QColor& fill)
{
    p.setBrush(fill);
    p.drawRect(r);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    p.setPen(QPen(Qt::black, 1.5));
}

void DrawFolder(QPainter& p)
{
    p.setBrush(QColor(240, 200, 80));
    QPainterPath path;
    path.moveTo(3, 8);
    path.lineTo(12, 8);
    path.lineTo(15, 11);
    path.lineTo(29, 11);
    path.lineTo(29, 27);
    path.lineTo(3, 27);
    path.closeSubpath();
    p.drawPath(path);
}

void DrawDisk(QPainter& p)
{
    p.setBrush(QColor(40, 80, 180));
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 4, 14, 9));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(8, 18, 16, 10));
}

void DrawPrinter(QPainter& p, bool gear)
{
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    p.setBrush(QColor(160, 160, 170));
    p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 20, 14, 9));
    if (gear) {
        p.setBrush(QColor(230, 120, 20));
        p.drawEllipse(QPointF(24, 24), 5, 5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(24, 24), 2, 2);
    }
}

void DrawArea(QPainter& p)
{
    p.setBrush(QColor(200, 230, 255));
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setPen(QPen(Qt::red, 1.5, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(9, 10, 14, 11));
}

void DrawObject(QPainter& p)
{
    p.setBrush(QColor(230, 230, 230));
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setBrush(QColor(0, 0, 140));
    p.drawRect(QRectF(3, 5, 26, 5));
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(QPointF(16, 12), QPointF(16, 26));
    p.drawLine(QPointF(9, 19), QPointF(23, 19));
}

void DrawTimer(QPainter& p)
{
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 17), 12, 12);
    p.drawLine(QPointF(16, 17), QPointF(16, 9));
    p.drawLine(QPointF(16, 17), QPointF(22, 17));
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRectF(13, 1, 6, 3));
}

void DrawIcon(QPainter& p, int index)
{
    switch (index) {
    case 0: DrawFolder(p); break;
    case 1: DrawDisk(p); break;
    case 2:
        p.setBrush(QColor(170, 120, 60));
        p.drawRect(QRectF(4, 5, 18, 24));
        DrawPage(p, QRectF(12, 10, 16, 19), Qt::white);
        break;
    case 3:
        DrawPage(p, QRectF(4, 3, 16, 20), Qt::white);
        DrawPage(p, QRectF(12, 9, 16, 20), Qt::white);
        break;
    case 4:
        DrawPage(p, QRectF(4, 3, 20, 26), Qt::white);
        p.setPen(QPen(QColor(200, 60, 0), 3));
        p.drawLine(QPointF(12, 24), QPointF(28, 8));
        break;
    case 5: DrawArea(p); break;
    case 6: DrawObject(p); break;
    case 7: DrawTimer(p); break;
    case 8: DrawPrinter(p, true); break;
    case 9: DrawPrinter(p, false); break;
    default: break;
    }
}

} // namespace

QIcon MakeToolIcon(int index)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    DrawIcon(painter, index);
    painter.end();
    return QIcon(pixmap);
}
