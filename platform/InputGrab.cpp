// Keyboard and pointer grabs through the toolkit's own connection, where the
// window's events arrive. The toolkit reports its pointer grab as made
// whatever the server answered, so the grab is made once more here and the
// server's answer read: a pointer held by another client (a menu closing, a
// drag, a program polling for the pointer) is waited for, not taken for ours.
#include "platform/InputGrab.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <memory>
#include <xcb/xinput.h>

namespace kaptivus::platform {

namespace {

// True when the window holds the pointer, as the server says; true also where
// there is no X connection to ask (the toolkit's word is all there is).
bool pointerGrabHeld(QWindow* window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return true;
    using Pointer = std::unique_ptr<xcb_input_xi_get_client_pointer_reply_t, decltype(&std::free)>;
    const Pointer device(xcb_input_xi_get_client_pointer_reply(c, xcb_input_xi_get_client_pointer(c, XCB_NONE), nullptr),
                         &std::free);
    if (!device || !device->set) return true;
    // The events the toolkit grabs for; a grab made again by its holder keeps it.
    const uint32_t mask = XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE
        | XCB_INPUT_XI_EVENT_MASK_MOTION | XCB_INPUT_XI_EVENT_MASK_ENTER | XCB_INPUT_XI_EVENT_MASK_LEAVE
        | XCB_INPUT_XI_EVENT_MASK_TOUCH_BEGIN | XCB_INPUT_XI_EVENT_MASK_TOUCH_UPDATE
        | XCB_INPUT_XI_EVENT_MASK_TOUCH_END;
    using Grab = std::unique_ptr<xcb_input_xi_grab_device_reply_t, decltype(&std::free)>;
    const Grab grab(xcb_input_xi_grab_device_reply(c,
                        xcb_input_xi_grab_device(c, static_cast<xcb_window_t>(window->winId()), XCB_CURRENT_TIME,
                            XCB_CURSOR_NONE, device->deviceid, XCB_INPUT_GRAB_MODE_22_ASYNC,
                            XCB_INPUT_GRAB_MODE_22_ASYNC, 0, 1, &mask),
                        nullptr),
        &std::free);
    return grab && grab->status == XCB_GRAB_STATUS_SUCCESS;
}

} // namespace

bool takeInput(QWindow* window, std::chrono::milliseconds timeout)
{
    if (!window) return false;
    // Only an X server lets a client grab; elsewhere (Wayland) the compositor
    // focuses a window as it maps, and asking for more only waits out the timeout.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        window->requestActivate();
        return window->isVisible();
    }
    QElapsedTimer clock;
    clock.start();
    bool keyboard = false;
    bool pointer = false;
    while (true) {
        // Events are handled while waiting: one of them may close the window,
        // and a grab taken after that would hold the keyboard for nobody.
        if (!window->isVisible()) return false;
        // A grab of a window that is not viewable fails; so does one while
        // another client holds its own.
        if (window->isExposed()) {
            window->requestActivate();
            keyboard = keyboard || window->setKeyboardGrabEnabled(true);
            pointer = pointer || (window->setMouseGrabEnabled(true) && pointerGrabHeld(window));
            if (keyboard && pointer) return true;
        }
        if (clock.elapsed() >= timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!window->isExposed() || !(keyboard && pointer)) QThread::msleep(1);
    }
}

} // namespace kaptivus::platform
