// The picture window's helper controls: the picture view and the colour
// swatch, and the conversions between a picture colour and a QColor.
#include "picture/Main.h"

#include "platform/DevicePixels.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

using kaptivus::pixels::Color;

TImageView::TImageView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::setImage(const QImage& image)
{
    m_image = image;
    resize(sizeHint());
    update();
    emit imageChanged();
}

QSize TImageView::sizeHint() const
{
    // One picture pixel a device pixel: fewer logical pixels on a scaled screen.
    return kaptivus::platform::logicalCover(m_image.rect(), devicePixelRatioF()).size();
}

void TImageView::paintEvent(QPaintEvent*)
{
    // Moved to a screen of another scale since the picture was set.
    if (size() != sizeHint())
        QMetaObject::invokeMethod(this, [this] { resize(sizeHint()); }, Qt::QueuedConnection);
    if (m_image.isNull())
        return;
    QPainter painter(this);
    // Drawn in device pixels, never resampled. At a ratio such as 1.5 the
    // widget's corner can fall between two device pixels; it is put on the
    // one that mouseReleaseEvent counts from.
    const qreal ratio = devicePixelRatioF();
    const QTransform& device = painter.deviceTransform();
    const QPointF shift(std::floor(device.dx() + 0.5) - device.dx(), std::floor(device.dy() + 0.5) - device.dy());
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter.drawImage(shift, m_image);
}

void TImageView::mouseReleaseEvent(QMouseEvent* event)
{
    // The device pixel under the pointer, counted from the device pixel of the
    // corner. The window's scene position is not rounded to logical pixels; an
    // event made up without a window (a test's) carries the widget's own
    // position there instead, and that is taken as it is.
    const qreal ratio = devicePixelRatioF();
    const QPointF offset(mapTo(window(), QPoint(0, 0)));
    QPointF local = event->scenePosition() - offset;
    if ((local - event->position()).manhattanLength() > 1)
        local = event->position();
    const QPoint p = kaptivus::platform::toDevicePixel(local + offset, ratio)
                   - kaptivus::platform::toDevicePixel(offset, ratio);
    emit mouseReleased(event->button(), event->modifiers(), p.x(), p.y());
}

TColorPanel::TColorPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setColor(0);
}

void TColorPanel::setColor(Color color)
{
    m_color = color & 0x00FFFFFFu;
    update();
}

// Painted here rather than by the style: a light style draws the sunken edge
// in near-white, and a white swatch then melts into the page. A dark grey
// edge shows against white and black swatches alike.
void TColorPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(m_color));
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TColorPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

QColor ToQColor(Color color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

Color FromQColor(const QColor& color)
{
    return Color(color.red()) | (Color(color.green()) << 8) | (Color(color.blue()) << 16);
}
