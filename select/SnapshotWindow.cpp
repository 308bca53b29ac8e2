// The selectors' frozen desktop window. On X11 it bypasses the window manager:
// a managed full-screen window is held to one monitor by most window managers,
// and would be framed, moved or stacked below docks. Being unmanaged it never
// gets the focus from the window manager, so it grabs the keyboard and the
// pointer itself. On a scaled desktop the window is placed, painted and read in
// device pixels: the toolkit's logical pixels would enlarge the snapshot and
// round the pointer to every second (or 1.5th) device pixel.
//
// A Wayland client can do neither, so there the selector is one full-screen
// window per output (this one on the first, an OutputView on each further
// one), which the compositor focuses as they map. A drag keeps sending to the
// window it began in, with positions past its edge; every window maps its
// positions through the same snapshot scale, so those land on the right output.
#include "select/SnapshotWindow.h"

#include "picture/PictureImage.h"
#include "platform/DevicePixels.h"
#include "platform/InputGrab.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>
#include <QTimer>

namespace kaptivus::select {

namespace {

// The screen a monitor of the capture back-end is: by name, else by its place
// in the list when the back-end knows no names.
QScreen* screenOf(const platform::Monitor& monitor, size_t index)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* s : screens)
        if (!monitor.name.empty() && s->name() == QString::fromStdString(monitor.name)) return s;
    if (monitor.name.empty() && index < size_t(screens.size())) return screens[qsizetype(index)];
    return nullptr;
}

} // namespace

bool usesOutputWindows() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

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
    platform::CaptureBackend& backend = platform::captureBackend();
    m_desktop = backend.virtualDesktop();
    platform::DesktopGrab grab = backend.grab(m_desktop);
    m_snapshot = std::move(grab.picture);
    m_grabError = std::move(grab.error);
    if (usesOutputWindows()) m_monitors = backend.monitors();
    m_image = DisplayImage(m_snapshot);
    place();
}

SnapshotWindow::SnapshotWindow(pixels::Picture snapshot, platform::ScreenRect desktop, QWidget* parent,
                               std::vector<platform::Monitor> monitors)
    : QDialog(parent), m_snapshot(std::move(snapshot)), m_desktop(desktop), m_monitors(std::move(monitors))
{
    m_image = DisplayImage(m_snapshot);
    place();
}

int SnapshotWindow::exec()
{
    if (m_snapshot.isEmpty()) {
        setResult(0);
        return 0;
    }
    return QDialog::exec();
}

void SnapshotWindow::place()
{
    if (usesOutputWindows()) {
        placeOnOutputs();
        return;
    }
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

void SnapshotWindow::placeOnOutputs()
{
    m_perOutput = true;
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Without monitors the one window shows the whole snapshot on the first screen.
    std::vector<platform::Monitor> monitors = m_monitors;
    if (monitors.empty()) monitors.push_back({{}, m_desktop});
    bool placed = false;
    for (size_t i = 0; i < monitors.size(); ++i) {
        QScreen* screen = screenOf(monitors[i], i);
        if (!screen) continue;
        const platform::ScreenRect& r = monitors[i].rect;
        const QRect slice(r.left - m_desktop.left, r.top - m_desktop.top, r.width, r.height);
        if (placed) {
            m_views.push_back(new OutputView(*this, screen, slice));
            continue;
        }
        m_ownMap = {slice, sliceRatio(slice, *screen)};
        setScreen(screen);
        setGeometry(screen->geometry());
        setWindowState(Qt::WindowFullScreen);
        placed = true;
    }
    if (!placed) m_ownMap = {m_image.rect(), 1};
}

std::vector<QWidget*> SnapshotWindow::outputWindows()
{
    std::vector<QWidget*> windows{this};
    windows.insert(windows.end(), m_views.begin(), m_views.end());
    return windows;
}

SliceMap SnapshotWindow::mapOf(const QWidget* window) const
{
    if (window != this) return static_cast<const OutputView*>(window)->map();
    if (m_perOutput) return m_ownMap;
    // The window covers the whole snapshot at the toolkit's own ratio.
    return {m_image.rect(), devicePixelRatioF()};
}

QPoint SnapshotWindow::snapshotPoint(const QMouseEvent* event) const
{
    // The window is top-level: its scene coordinates are its own, unrounded.
    return mapOf(m_source ? static_cast<const QWidget*>(m_source) : this).toSnapshot(event->scenePosition());
}

void SnapshotWindow::forwardMouse(OutputView* from, QMouseEvent* event)
{
    m_source = from;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_inputWindow = from;
        mousePressEvent(event);
        break;
    case QEvent::MouseMove: mouseMoveEvent(event); break;
    case QEvent::MouseButtonRelease: mouseReleaseEvent(event); break;
    default: break;
    }
    m_source = nullptr;
}

bool SnapshotWindow::event(QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        m_inputWindow = this;
    return QDialog::event(event);
}

QPoint SnapshotWindow::globalPoint(QPoint at) const
{
    return m_inputWindow->mapToGlobal(mapOf(m_inputWindow).toLogical(at)).toPoint();
}

void SnapshotWindow::adoptPopup(QWidget* popup)
{
    // The toolkit opens a popup beside its parent's window, whatever point it is given.
    if (m_perOutput && popup->parentWidget() != m_inputWindow) popup->setParent(m_inputWindow, popup->windowFlags());
}

void SnapshotWindow::updateSnapshotRect(const QRect& rect)
{
    for (QWidget* window : outputWindows()) {
        const SliceMap map = mapOf(window);
        const QRect part = rect & map.slice;
        // One logical pixel more on each side: the toolkit rounds the region it
        // repaints to device pixels its own way.
        if (!part.isEmpty()) window->update(map.logicalCover(part).adjusted(-1, -1, 1, 1));
    }
}

void SnapshotWindow::placeReadoutOnOutput(QLabel* readout, QPoint at, QPoint offset)
{
    // Each window has its own output's ratio: the readout keeps its design size
    // in the logical pixels of the window holding the point.
    QWidget* target = readout->parentWidget();
    for (QWidget* window : outputWindows()) {
        if (mapOf(window).slice.contains(at)) {
            target = window;
            break;
        }
    }
    if (readout->parentWidget() != target) {
        const bool shown = !readout->isHidden();
        readout->setParent(target);
        readout->setVisible(shown);
    }
    const QPointF logical = mapOf(target).toLogical(at);
    readout->move(qRound(logical.x() + offset.x()), qRound(logical.y() + offset.y()));
}

void SnapshotWindow::placeReadout(QLabel* readout, QPoint at, QPoint offset)
{
    if (m_perOutput) {
        placeReadoutOnOutput(readout, at, offset);
        return;
    }
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

void SnapshotWindow::paintEvent(QPaintEvent* event) { paintSlice(*this, event->region(), m_image, mapOf(this)); }

void SnapshotWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_perOutput) {
        // The further outputs' windows, once this one is on screen: a window
        // that belongs to another maps as its child only after it, and the
        // compositor focuses each as it maps.
        QTimer::singleShot(0, this, [this] {
            if (!isVisible()) return;
            for (OutputView* view : m_views) {
                view->setCursor(cursor());
                view->setMouseTracking(hasMouseTracking());
                view->show();
            }
        });
        return;
    }
    // Once the window is on screen: the agent was hidden when the hotkey came.
    QTimer::singleShot(0, this, [this] { retakeInput(); });
}

void SnapshotWindow::retakeInput()
{
    // On Wayland the compositor gives the input to the window under the
    // pointer and to the one it focused; nothing can be grabbed.
    if (!isVisible() || m_perOutput) return;
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
    // The keyboard first: once the pointer is free the next hotkey may come,
    // and a keyboard still held would take it.
    releaseKeyboard();
    releaseMouse();
}

void SnapshotWindow::done(int result)
{
    releaseInput();
    for (OutputView* view : m_views) view->hide();
    hide();
    QDialog::done(result);
}

} // namespace kaptivus::select
