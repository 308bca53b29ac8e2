// Logical and device coordinates. The toolkit keeps each screen's top-left
// corner in device pixels and scales only what lies beyond it, so a screen's
// logical geometry starts where its device geometry starts.
#include "platform/DevicePixels.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kaptivus::platform {

namespace {

// Ratios such as 1.5 make quotients like 3840 / 1.5 land a hair off the
// whole number they are; a whole number must not be rounded up or down past itself.
constexpr double Slack = 1e-6;
int floorOf(double v) { return static_cast<int>(std::floor(v + Slack)); }
int ceilOf(double v) { return static_cast<int>(std::ceil(v - Slack)); }

// A screen's device rectangle.
QRect deviceGeometry(const QScreen* screen)
{
    const QRect g = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return {g.topLeft(), QSize(static_cast<int>(std::lround(g.width() * ratio)),
                               static_cast<int>(std::lround(g.height() * ratio)))};
}

QScreen* screenAtDevicePoint(QPoint p)
{
    for (QScreen* s : QGuiApplication::screens())
        if (deviceGeometry(s).contains(p)) return s;
    return nullptr;
}

} // namespace

QPoint toDevicePixel(QPointF logical, qreal ratio)
{
    return {static_cast<int>(std::floor(logical.x() * ratio + 0.5)),
            static_cast<int>(std::floor(logical.y() * ratio + 0.5))};
}

QRect logicalCover(const QRect& device, qreal ratio)
{
    if (device.isEmpty()) return {};
    const int left = floorOf(device.left() / ratio);
    const int top = floorOf(device.top() / ratio);
    const int right = ceilOf((device.left() + device.width()) / ratio);
    const int bottom = ceilOf((device.top() + device.height()) / ratio);
    return {left, top, right - left, bottom - top};
}

QRect deviceCover(const QRect& logical, qreal ratio)
{
    if (logical.isEmpty()) return {};
    const int left = floorOf(logical.left() * ratio);
    const int top = floorOf(logical.top() * ratio);
    const int right = ceilOf((logical.left() + logical.width()) * ratio);
    const int bottom = ceilOf((logical.top() + logical.height()) * ratio);
    return {left, top, right - left, bottom - top};
}

LogicalPlacement logicalPlacement(const ScreenRect& device)
{
    QScreen* screen = screenAtDevicePoint({device.left, device.top});
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {nullptr, QRect(device.left, device.top, device.width, device.height)};
    const qreal ratio = screen->devicePixelRatio();
    const QPoint origin = screen->geometry().topLeft();
    const QPoint topLeft(origin.x() + floorOf((device.left - origin.x()) / ratio),
                         origin.y() + floorOf((device.top - origin.y()) / ratio));
    const QSize size(ceilOf(device.width / ratio), ceilOf(device.height / ratio));
    return {screen, QRect(topLeft, size)};
}

qreal ratioAtDevicePoint(ScreenPoint device, qreal otherwise)
{
    const QScreen* screen = screenAtDevicePoint({device.x, device.y});
    return screen ? screen->devicePixelRatio() : otherwise;
}

} // namespace kaptivus::platform
