// The object picker Capturecontrol1: the frozen desktop with a readout of the
// pointer's screen coordinates; the first button release records the point
// and ends it with result 1; Escape ends it with 0. Finding the object at the
// point is the caller's. Never includes app/.
#pragma once

#include "select/SnapshotWindow.h"

class QLabel;

namespace kaptivus::select {

class TCapturecontrol1 : public SnapshotWindow {
    Q_OBJECT
public:
    explicit TCapturecontrol1(QWidget* parent = nullptr);
    // With a given snapshot, and the monitors of a per-output picker (tests
    // and measurements).
    TCapturecontrol1(pixels::Picture snapshot, platform::ScreenRect desktop,
                     std::vector<platform::Monitor> monitors = {}, QWidget* parent = nullptr);

    QLabel* StaticText1 = nullptr;
    // Screen coordinates of the release that ended the picker.
    platform::ScreenPoint PickedPoint;

    // The handlers, in snapshot coordinates (device pixels).
    void FormMouseMove(QPoint at);
    void FormMouseUp(QPoint at);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FormCreate();
};

} // namespace kaptivus::select
