// Keyboard and pointer grabs through the toolkit's own connection, where the
// window's events arrive.
#include "platform/InputGrab.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

namespace kaptivus::platform {

bool takeInput(QWindow* window, std::chrono::milliseconds timeout)
{
    if (!window) return false;
    QElapsedTimer clock;
    clock.start();
    bool keyboard = false;
    bool pointer = false;
    while (true) {
        // A grab of a window that is not viewable fails; so does one while
        // another client holds its own.
        if (window->isExposed()) {
            window->requestActivate();
            keyboard = keyboard || window->setKeyboardGrabEnabled(true);
            pointer = pointer || window->setMouseGrabEnabled(true);
            if (keyboard && pointer) return true;
        }
        if (clock.elapsed() >= timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!window->isExposed() || !(keyboard && pointer)) QThread::msleep(1);
    }
}

} // namespace kaptivus::platform
