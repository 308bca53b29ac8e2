// The common ground of the two selectors: a frozen picture of the whole
// virtual desktop, shown pixel for pixel in device pixels by a borderless
// window laid over every monitor that takes the keyboard and the pointer (on
// Wayland: one full-screen window per output, acting as one). Escape closes it
// with no result. Never includes app/.
#pragma once

#include "pixels/Picture.h"
#include "platform/CaptureBackend.h"
#include "platform/Geometry.h"
#include "select/OutputView.h"

#include <QDialog>
#include <QFont>
#include <QImage>

#include <string>
#include <vector>

class QLabel;
class QMouseEvent;

namespace kaptivus::select {

// 32-bit display copy of a screen-format picture (RGB32: the frame is
// inverted straight in its rows).
QImage DisplayImage(const pixels::Picture& picture);

// True where the selectors show one window per output: the toolkit talks
// Wayland, whose clients can neither place a window nor grab input.
bool usesOutputWindows();

class SnapshotWindow : public QDialog {
    Q_OBJECT
public:
    // The picture of the virtual desktop taken when the window was made, in
    // the screen's own format; (0,0) is the virtual desktop's top-left corner.
    const pixels::Picture& snapshot() const { return m_snapshot; }
    // The virtual desktop in screen coordinates (its left and top are the
    // offset between snapshot and screen coordinates).
    platform::ScreenRect virtualDesktop() const { return m_desktop; }
    // What the window shows: the snapshot with whatever is drawn over it.
    const QImage& screenImage() const { return m_image; }
    // True while the window holds the keyboard and the pointer, as the X
    // server says.
    bool holdsInput() const { return m_inputHeld; }
    // Why the desktop could not be grabbed (the selector then ends at once
    // with 0); empty when it was.
    const std::string& grabError() const { return m_grabError; }
    // Ends at once with 0 when there is no snapshot to choose from.
    int exec() override;
    // The snapshot pixel under a mouse event, of whichever of the selector's
    // windows it reached.
    QPoint snapshotPoint(const QMouseEvent* event) const;
    // Every window of the selector: this one first, then one per further
    // output where the selector covers each output with a window of its own.
    std::vector<QWidget*> outputWindows();

protected:
    friend class OutputView;

    // Takes the snapshot and covers the virtual desktop with the window.
    explicit SnapshotWindow(QWidget* parent);
    // Takes a given snapshot instead (tests and measurements). `monitors`
    // (desktop coordinates, named as the toolkit names the screens) place the
    // windows of a per-output selector; none stand for one covering the desktop.
    SnapshotWindow(pixels::Picture snapshot, platform::ScreenRect desktop, QWidget* parent,
                   std::vector<platform::Monitor> monitors = {});

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    // Lets go of the keyboard and the pointer (for a question asked meanwhile)
    // and takes them back.
    void releaseInput();
    void retakeInput();
    // The small readout both selectors show (size or coordinates): 69 x 17,
    // centred text, a plain border, the tooltip colours; mouse events go past it.
    QLabel* makeReadout();
    // Puts the readout `offset` design pixels away from a snapshot point, at
    // the size and text size of the monitor there (a monitor of another scale
    // than the window's own gets them scaled by its own ratio).
    void placeReadout(QLabel* readout, QPoint at, QPoint offset);
    // Repaints the device pixels of the rectangle (snapshot coordinates).
    void updateSnapshotRect(const QRect& rect);
    // The window the user last pressed a button in, and where a snapshot
    // point lies in the toolkit's global coordinates of that window: menus
    // and questions open there.
    QWidget* inputWindow() const { return m_inputWindow; }
    QPoint globalPoint(QPoint at) const;
    // Moves a popup (a menu) to the window the user works in, so that it
    // opens on that output.
    void adoptPopup(QWidget* popup);

    QImage m_image;

private:
    void place();
    void placeOnOutputs();
    void forwardMouse(OutputView* from, QMouseEvent* event);
    SliceMap mapOf(const QWidget* window) const;
    void placeReadoutOnOutput(QLabel* readout, QPoint at, QPoint offset);

    pixels::Picture m_snapshot;
    platform::ScreenRect m_desktop;
    std::string m_grabError;
    // Per-output windows: the monitors in snapshot pixels, this window's own
    // slice, the further outputs' windows, and the window whose event is
    // being handled (null: this one).
    std::vector<platform::Monitor> m_monitors;
    SliceMap m_ownMap;
    std::vector<OutputView*> m_views;
    const OutputView* m_source = nullptr;
    QWidget* m_inputWindow = this;
    bool m_perOutput = false;
    // The readout's font at the window's own scale, and the scale it has now.
    QFont m_readoutFont;
    qreal m_readoutScale = 1;
    bool m_inputHeld = false;
};

} // namespace kaptivus::select
