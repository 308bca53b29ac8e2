// Where the picture window goes: centred at first, kept reachable on its
// monitors when shown or framed, and fitted to a desktop smaller than itself;
// the place the settings keep for it.
#include "picture/Main.h"

#include "platform/Geometry.h"
#include "platform/Screen.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <utility>

namespace {

// How long the place is looked after once shown, for a window manager slow
// to frame the window: 50 looks 20 ms apart.
constexpr int kFrameLooks = 50;
constexpr int kFrameLookMs = 20;

struct Placement {
    QRect frame;
    QRect inside;
    bool framed() const { return frame.size() != inside.size(); }
};

Placement requestedPlacement(const QWidget& window)
{
    return {window.frameGeometry(), window.geometry()};
}

// Where the window and its frame are once shown. On X the server is asked:
// the toolkit learns the window manager's frame from later events, and a
// window framed in place may never tell it, which left a window a border's
// width off screen. (While the window is hidden the server may still have it
// where it was; the toolkit's idea is then the place asked for.)
Placement shownPlacement(const QWidget& window)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb") && window.testAttribute(Qt::WA_WState_Created)) {
        const auto id = static_cast<kaptivus::platform::WindowId>(window.winId());
        const kaptivus::platform::ScreenRect frame = kaptivus::platform::windowOuterRect(id);
        const kaptivus::platform::ScreenRect inside = kaptivus::platform::windowClientRect(id);
        if (!frame.isEmpty() && !inside.isEmpty())
            return {QRect(frame.left, frame.top, frame.width, frame.height),
                QRect(inside.left, inside.top, inside.width, inside.height)};
    }
    return requestedPlacement(window);
}

// A stored place, or a monitor unplugged or made smaller since, can leave the
// window partly off screen: it comes back wholly onto its monitor when it fits,
// and else at least with a title bar that the pointer reaches.
void keepOnScreen(QWidget& window, const Placement& placement)
{
    using kaptivus::platform::ScreenRect;
    QRect frame = placement.frame;
    // Before the window manager first frames the window its title bar is not
    // known yet; the frame it will add is counted in.
    constexpr int kUsualTitleHeight = 24;
    const bool framed = placement.inside.top() > frame.top();
    const int title = framed ? placement.inside.top() - frame.top() : kUsualTitleHeight;
    if (!framed)
        frame.setHeight(frame.height() + kUsualTitleHeight);
    const auto place = kaptivus::platform::reachablePosition(
        ScreenRect{frame.x(), frame.y(), frame.width(), frame.height()}, title, kaptivus::platform::monitors());
    if (place.x == frame.x() && place.y == frame.y()) return;
    // A move adds the frame the toolkit knows of to reach the inside; where
    // that is not yet the frame the server has, the difference is made up.
    const QPoint known = window.geometry().topLeft() - window.frameGeometry().topLeft();
    const QPoint actual = placement.inside.topLeft() - placement.frame.topLeft();
    window.move(QPoint(place.x, place.y) + actual - known);
}

} // namespace

// By the frame: until the window manager has framed the window, its frame is
// its inside, and the first move that reports the frame centres it again.
void TMain1::centreOnScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize frame = frameGeometry().size();
    move((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2);
}

void TMain1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (frameGeometry().size() == size())
        return;
    if (m_centredAt) {
        const bool untouched = pos() == *m_centredAt;
        m_centredAt.reset();
        if (untouched)
            centreOnScreen();
    }
    placeOnceFramed();
}

// A window the window manager framed in place (its inside kept where it was)
// gets no move event: the first paint checks too, and looks again until the
// frame is there.
void TMain1::placeOnceFramed()
{
    if (!m_placeWhenFramed)
        return;
    const Placement placement = shownPlacement(*this);
    if (placement.framed()) {
        m_placeWhenFramed = false;
        keepOnScreen(*this, placement);
    } else if (isVisible() && m_frameLooksLeft > 0) {
        // A paint can come before the window manager has framed the window.
        // One look at a time: a paint meanwhile starts no second chain.
        const int left = --m_frameLooksLeft;
        QTimer::singleShot(kFrameLookMs, this, [this, left] {
            if (m_frameLooksLeft == left) placeOnceFramed();
        });
    }
}

void TMain1::setStoredPosition(const QPoint& place)
{
    m_storedPosition = place;
    move(place);
}

QPoint TMain1::positionToStore() const
{
    // What the toolkit reports there is its own guess (often 0, 0), not where
    // the window is: writing it would lose the user's place for an X session.
    if (m_storedPosition && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return *m_storedPosition;
    return pos();
}

void TMain1::fitToDesktop()
{
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = frameGeometry();
    if (desktop.width() < frame.left() || desktop.width() < frame.width() || desktop.height() < frame.top() ||
        desktop.height() < frame.height()) {
        const QSize decoration = frame.size() - size();
        setMinimumSize(minimumSize().boundedTo(desktop.size() - decoration));
        resize(desktop.size() - decoration);
        move(0, 0);
    }
}

void TMain1::FormShow()
{
    fitToDesktop();
    keepOnScreen(*this, requestedPlacement(*this));
    m_placeWhenFramed = frameGeometry().size() == size();
    m_frameLooksLeft = kFrameLooks;
    selectPrinterEntry();
    raise();
    activateWindow();
    m_sizeFieldsDue = true;
    FormPaint();
}

void TMain1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// The window is hidden and shown again within moments around a capture from
// it; shown before the window manager has let go of it, it could stay unmapped
// while the toolkit takes it for shown.
void TMain1::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    if (!event->spontaneous() && QGuiApplication::platformName() == QLatin1String("xcb"))
        kaptivus::platform::awaitWithdrawal(static_cast<kaptivus::platform::WindowId>(winId()), 250);
}

void TMain1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_sizeFieldsDue = true;
}

// "Impression" is the window's default button: an Enter that no control
