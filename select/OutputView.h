// One output's window of a selector on a desktop where a client can neither
// place a window nor grab input (Wayland): a full-screen window on one screen
// showing its slice of the frozen desktop, handing its pointer and key events
// to the selector it belongs to. Never includes app/.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QScreen;

namespace kaptivus::select {

class SnapshotWindow;

// How a window shows a slice of the snapshot: the slice's rectangle in snapshot
// pixels, and how many snapshot pixels one logical pixel of the window spans.
// Points outside the window (a drag past its edge) map just as well.
struct SliceMap {
    QRect slice;
    qreal ratio = 1;

    QPoint toSnapshot(QPointF logical) const;
    QPointF toLogical(QPoint snapshot) const;
    // The smallest logical rectangle covering snapshot pixels of the slice.
    QRect logicalCover(const QRect& snapshot) const;
};

// Paints the region (logical pixels) of a window from the snapshot image,
// pixel for pixel where the window's own ratio is the map's; what lies beyond
// the image is black.
void paintSlice(QWidget& window, const QRegion& region, const QImage& image, const SliceMap& map);

// The snapshot pixels per logical pixel of a screen showing `slice`: the
// picture's scale over the screen's logical size. A screen at 1.5 whose
// toolkit ratio is 2 (an integer buffer scale) gets 2 when the picture holds
// 2 pixels a logical pixel there.
qreal sliceRatio(const QRect& slice, const QScreen& screen);

class OutputView : public QWidget {
    Q_OBJECT
public:
    OutputView(SnapshotWindow& owner, QScreen* screen, const QRect& slice);
    SliceMap map() const { return m_map; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SnapshotWindow& m_owner;
    SliceMap m_map;
};

} // namespace kaptivus::select
