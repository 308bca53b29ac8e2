// The object picker.
#include "select/Capturecontrol.h"

#include <QLabel>
#include <QMouseEvent>

namespace kaptivus::select {

TCapturecontrol1::TCapturecontrol1(QWidget* parent) : SnapshotWindow(parent) { FormCreate(); }

TCapturecontrol1::TCapturecontrol1(pixels::Picture snapshot, platform::ScreenRect desktop,
                                   std::vector<platform::Monitor> monitors, QWidget* parent)
    : SnapshotWindow(std::move(snapshot), desktop, parent, std::move(monitors))
{
    FormCreate();
}

void TCapturecontrol1::FormCreate()
{
    setObjectName(QStringLiteral("Capturecontrol1"));
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    StaticText1 = makeReadout();
    StaticText1->move(24, 28);
}

void TCapturecontrol1::FormMouseMove(QPoint at)
{
    const platform::ScreenRect desktop = virtualDesktop();
    StaticText1->setText(QStringLiteral("%1 , %2").arg(at.x() + desktop.left).arg(at.y() + desktop.top));
    // Below and to the right of the pointer, clear of the hand.
    placeReadout(StaticText1, at, {4, 26});
}

void TCapturecontrol1::FormMouseUp(QPoint at)
{
    const platform::ScreenRect desktop = virtualDesktop();
    PickedPoint = {at.x() + desktop.left, at.y() + desktop.top};
    done(1);
}

void TCapturecontrol1::mouseMoveEvent(QMouseEvent* event) { FormMouseMove(snapshotPoint(event)); }

void TCapturecontrol1::mouseReleaseEvent(QMouseEvent* event) { FormMouseUp(snapshotPoint(event)); }

} // namespace kaptivus::select
