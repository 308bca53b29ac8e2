// The selectors' frozen desktop window. It bypasses the window manager: a
// managed full-screen window is held to one monitor by most window managers,
// and would be framed, moved or stacked below docks. Being unmanaged it never
// gets the focus from the window manager, so it grabs the keyboard and the
// pointer itself.
#include "select/SnapshotWindow.h"

#include "picture/PictureImage.h"
#include "platform/InputGrab.h"
#include "platform/Screen.h"

#include <QLabel>
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
    setGeometry(m_desktop.left, m_desktop.top, m_desktop.width, m_desktop.height);
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
    return readout;
}

void SnapshotWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), m_image, r);
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
    platform::takeInput(windowHandle());
    // Registered with the toolkit too, so that a popup menu gives them back when it closes.
    grabKeyboard();
    grabMouse();
}

void SnapshotWindow::releaseInput()
{
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
