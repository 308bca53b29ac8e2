// Where the picture window goes: centred at first, kept reachable on its
// monitors when shown or framed, and fitted to a desktop smaller than itself.
#include "picture/Main.h"

#include "platform/Geometry.h"
#include "platform/Screen.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>

#include <utility>

// By the frame: until the window manager has framed the window, its frame is
// its inside, and the first move that reports the frame centres it again.
void TMain1::centreOnScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize frame = frameGeometry().size();
    move((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2);
}

namespace {

// A stored place, or a monitor unplugged or made smaller since, can leave the
// window partly off screen: it comes back wholly onto its monitor when it fits,
// and else at least with a title bar that the pointer reaches.
void keepOnScreen(QWidget& window)
{
    using kaptivus::platform::ScreenRect;
    QRect frame = window.frameGeometry();
    // Before the window manager first frames the window its title bar is not
    // known yet; the frame it will add is counted in.
    constexpr int kUsualTitleHeight = 24;
    const bool framed = window.geometry().top() > frame.top();
    const int title = framed ? window.geometry().top() - frame.top() : kUsualTitleHeight;
    if (!framed)
        frame.setHeight(frame.height() + kUsualTitleHeight);
    const auto place = kaptivus::platform::reachablePosition(
        ScreenRect{frame.x(), frame.y(), frame.width(), frame.height()}, title, kaptivus::platform::monitors());
    if (place.x != frame.x() || place.y != frame.y()) window.move(place.x, place.y);
}

} // namespace

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
// gets no move event: the first paint, after the frame is on, checks too.
void TMain1::placeOnceFramed()
{
    // The frame's true size is known now: the place is checked once more.
    if (frameGeometry().size() != size() && std::exchange(m_placeWhenFramed, false))
        keepOnScreen(*this);
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
    keepOnScreen(*this);
    m_placeWhenFramed = frameGeometry().size() == size();
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

void TMain1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_sizeFieldsDue = true;
}

// "Impression" is the window's default button: an Enter that no control
