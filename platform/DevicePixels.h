// Conversions between the toolkit's logical coordinates and the display's
// device pixels, for the windows that show pictures pixel for pixel whatever
// the scale factor of the desktop (one screen at 1.5, another at 2). Toolkit
// types only; no X types.
#pragma once

#include "platform/Geometry.h"

#include <QPoint>
#include <QRect>

class QScreen;

namespace kaptivus::platform {

// The device pixel at a position in a window's logical coordinates. The
// toolkit hands over a pointer's device position divided by the ratio, not
// rounded (a mouse event's scenePosition); a widget's own position() is
// rounded to logical pixels and cannot say which device pixel it was.
QPoint toDevicePixel(QPointF logical, qreal ratio);

// The smallest logical rectangle covering the device rectangle.
QRect logicalCover(const QRect& device, qreal ratio);
// The device pixels that a logical rectangle covers, partly or wholly.
QRect deviceCover(const QRect& logical, qreal ratio);

// Where a top-level window goes, in logical coordinates, to cover a rectangle
// of device pixels. The toolkit scales a top-level window with the ratio of
// the screen holding its top-left corner, about that screen's origin (which it
// keeps in device pixels); a size that the ratio does not divide is rounded up.
struct LogicalPlacement {
    QScreen* screen = nullptr;
    QRect geometry;
};
LogicalPlacement logicalPlacement(const ScreenRect& device);

// The ratio of the screen holding a point given in device pixels; `otherwise`
// when none holds it.
qreal ratioAtDevicePoint(ScreenPoint device, qreal otherwise);

} // namespace kaptivus::platform
