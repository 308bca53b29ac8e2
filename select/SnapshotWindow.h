// The common ground of the two selectors: a frozen picture of the whole
// virtual desktop, shown pixel for pixel in device pixels by a borderless
// window laid over every monitor that takes the keyboard and the pointer.
// Escape closes it with no result. Never includes app/.
#pragma once

#include "pixels/Picture.h"
#include "platform/Geometry.h"

#include <QDialog>
#include <QFont>
#include <QImage>

class QLabel;
class QMouseEvent;

namespace kaptivus::select {

// 32-bit display copy of a screen-format picture (RGB32: the frame is
// inverted straight in its rows).
QImage DisplayImage(const pixels::Picture& picture);

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
    // The snapshot pixel (device pixel of the window) under a mouse event.
    QPoint snapshotPoint(const QMouseEvent* event) const;

protected:
    // Takes the snapshot and covers the virtual desktop with the window.
    explicit SnapshotWindow(QWidget* parent);
    // Takes a given snapshot instead (tests and measurements).
    SnapshotWindow(pixels::Picture snapshot, platform::ScreenRect desktop, QWidget* parent);

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

    QImage m_image;

private:
    void place();

    pixels::Picture m_snapshot;
    platform::ScreenRect m_desktop;
    // The readout's font at the window's own scale, and the scale it has now.
    QFont m_readoutFont;
    qreal m_readoutScale = 1;
    bool m_inputHeld = false;
};

} // namespace kaptivus::select
