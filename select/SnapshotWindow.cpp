// The selectors' frozen desktop window. It bypasses the window manager: a
// managed full-screen window is held to one monitor by most window managers,
// and would be framed, moved or stacked below docks. Being unmanaged it never
// gets the focus from the window manager, so it grabs the keyboard and the
// pointer itself. On a scaled desktop the window is placed, painted and read in
// device pixels: the toolkit's logical pixels would enlarge the snapshot and
// round the pointer to every second (or 1.5th) device pixel.
#include "select/SnapshotWindow.h"

#include "picture/PictureImage.h"
#include "platform/DevicePixels.h"
#include "platform/InputGrab.h"
#include "platform/Screen.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QTimer>


namespace kaptivus::select {

QImage DisplayImage(const pixels::Picture& picture)
{
    if (picture.isEmpty()) return {};
    const bool xrgb = picture.storageBits() == 32 && picture.redMask() == 0xFF0000 && picture.greenMask() == 0xFF00
        && picture.blueMask() == 0xFF;
    if (!xrgb) return picture::toQImage(picture).convertToFormat(QImage::Format_RGB32);
    // The usual depth-24 screen: the rows are RGB32 already.
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    if (image.isNull()) return {};
    // The screen leaves the top byte undefined; the image wants it opaque.
    for (int y = 0; y < picture.height(); ++y) {
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        const auto* in = reinterpret_cast<const uint32_t*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) out[x] = in[x] | 0xFF000000u;
    }
    return image;
}

SnapshotWindow::SnapshotWindow(QWidget* parent) : QDialog(parent)
{
    // The whole virtual desktop, through the same grab as every capture.
    m_desktop = platform::virtualDesktop();
    m_snapshot = platform::grabRect(m_desktop.left, m_desktop.top, m_desktop.width, m_desktop.height);
    m_image = DisplayImage(m_snapshot);
    place();
}

SnapshotWindow::SnapshotWindow(pixels::Picture snapshot, platform::ScreenRect desktop, QWidget* parent)
    : QDialog(parent), m_snapshot(std::move(snapshot)), m_desktop(desktop)
{
    m_image = DisplayImage(m_snapshot);
    place();
}

void SnapshotWindow::place()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint);
    // Opaque: nothing is erased before a paint, so showing it and moving the
    // readout never flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Logical coordinates that the toolkit maps onto the desktop's device pixels.
    const platform::LogicalPlacement placement = platform::logicalPlacement(m_desktop);
    if (placement.screen) setScreen(placement.screen);
    setGeometry(placement.geometry);
}

QPoint SnapshotWindow::snapshotPoint(const QMouseEvent* event) const
{
    // The window is top-level: its scene coordinates are its own, unrounded.
    return platform::toDevicePixel(event->scenePosition(), devicePixelRatioF());
}

void SnapshotWindow::updateSnapshotRect(const QRect& rect)
{
    // One logical pixel more on each side: the toolkit rounds the region it
    // repaints to device pixels its own way.
    update(platform::logicalCover(rect, devicePixelRatioF()).adjusted(-1, -1, 1, 1));
}

void SnapshotWindow::placeReadout(QLabel* readout, QPoint at, QPoint offset)
{
    const qreal ratio = devicePixelRatioF();
    const platform::ScreenPoint onScreen{m_desktop.left + at.x(), m_desktop.top + at.y()};
    const qreal scale = platform::ratioAtDevicePoint(onScreen, ratio) / ratio;
    if (!qFuzzyCompare(scale, m_readoutScale)) {
        m_readoutScale = scale;
        QFont font = m_readoutFont;
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * scale);
        else
            font.setPixelSize(qRound(font.pixelSize() * scale));
        readout->setFont(font);
        readout->resize(qRound(69 * scale), qRound(17 * scale));
    }
    readout->move(qRound(at.x() / ratio + offset.x() * scale), qRound(at.y() / ratio + offset.y() * scale));
}

QLabel* SnapshotWindow::makeReadout()
{
    auto* readout = new QLabel(QStringLiteral("1024 x 1024"), this);
    readout->setObjectName(QStringLiteral("StaticText1"));
    readout->resize(69, 17);
    readout->setAlignment(Qt::AlignCenter);
    readout->setFrameStyle(QFrame::Box | QFrame::Plain);
    readout->setAutoFillBackground(true);
    readout->setBackgroundRole(QPalette::ToolTipBase);
    readout->setForegroundRole(QPalette::ToolTipText);
    readout->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_readoutFont = readout->font();
    return readout;
}

void SnapshotWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // Drawn in device pixels, so that no ratio resamples the snapshot.
    const qreal ratio = devicePixelRatioF();
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    for (const QRect& r : event->region()) {
        const QRect device = platform::deviceCover(r, ratio) & m_image.rect();
        if (!device.isEmpty()) painter.drawImage(device.topLeft(), m_image, device);
    }
}

void SnapshotWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once the window is on screen: the agent was hidden when the hotkey came.
    QTimer::singleShot(0, this, [this] { retakeInput(); });
}

void SnapshotWindow::retakeInput()
{
    if (!isVisible()) return;
    // Registered with the toolkit, so that a popup menu gives them back when
    // it closes; the toolkit's own grab is not checked, takeInput's is.
    grabKeyboard();
    grabMouse();
    m_inputHeld = platform::takeInput(windowHandle());
    // Another client still holds one of them: asked again until it lets go.
    if (!m_inputHeld) QTimer::singleShot(100, this, [this] { retakeInput(); });
}

void SnapshotWindow::releaseInput()
{
    m_inputHeld = false;
    releaseMouse();
    releaseKeyboard();
}

void SnapshotWindow::done(int result)
{
    releaseInput();
    hide();
    QDialog::done(result);
}

} // namespace kaptivus::select
