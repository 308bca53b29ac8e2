// One output's window of a per-output selector, and the slice arithmetic that
// every window of a selector shares.
#include "select/OutputView.h"

#include "platform/DevicePixels.h"
#include "select/SnapshotWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace kaptivus::select {

QPoint SliceMap::toSnapshot(QPointF logical) const
{
    return slice.topLeft() + platform::toDevicePixel(logical, ratio);
}

QPointF SliceMap::toLogical(QPoint snapshot) const { return QPointF(snapshot - slice.topLeft()) / ratio; }

QRect SliceMap::logicalCover(const QRect& snapshot) const
{
    return platform::logicalCover(snapshot.translated(-slice.topLeft()), ratio);
}

qreal sliceRatio(const QRect& slice, const QScreen& screen)
{
    const int logicalWidth = screen.geometry().width();
    return logicalWidth > 0 && slice.width() > 0 ? qreal(slice.width()) / logicalWidth : screen.devicePixelRatio();
}

void paintSlice(QWidget& window, const QRegion& region, const QImage& image, const SliceMap& map)
{
    QPainter painter(&window);
    // Drawn in snapshot pixels, so that a ratio equal to the window's own
    // resamples nothing; another ratio is scaled to nearest pixels, which
    // invents no colours.
    painter.setWorldTransform(QTransform::fromScale(1 / map.ratio, 1 / map.ratio));
    const QRect shown = map.slice & image.rect();
    const QPoint origin = map.slice.topLeft();
    for (const QRect& r : region) {
        const QRect wanted = platform::deviceCover(r, map.ratio).translated(origin);
        const QRect part = wanted & shown;
        // The window is opaque: what the snapshot does not reach is painted black.
        if (part != wanted) painter.fillRect(wanted.translated(-origin), Qt::black);
        if (!part.isEmpty()) painter.drawImage(part.topLeft() - origin, image, part);
    }
}

OutputView::OutputView(SnapshotWindow& owner, QScreen* screen, const QRect& slice)
    : QWidget(&owner, Qt::Window | Qt::FramelessWindowHint), m_owner(owner), m_map{slice, sliceRatio(slice, *screen)}
{
    setObjectName(QStringLiteral("OutputView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setScreen(screen);
    setGeometry(screen->geometry());
    setWindowState(Qt::WindowFullScreen);
}

void OutputView::paintEvent(QPaintEvent* event) { paintSlice(*this, event->region(), m_owner.m_image, m_map); }

void OutputView::mousePressEvent(QMouseEvent* event) { m_owner.forwardMouse(this, event); }

void OutputView::mouseMoveEvent(QMouseEvent* event) { m_owner.forwardMouse(this, event); }

void OutputView::mouseReleaseEvent(QMouseEvent* event) { m_owner.forwardMouse(this, event); }

void OutputView::keyPressEvent(QKeyEvent* event)
{
    // Escape, from whichever output has the keyboard, is the selector's.
    QCoreApplication::sendEvent(&m_owner, event);
}

} // namespace kaptivus::select
