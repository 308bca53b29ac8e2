// Windows for the captures from sway's window list.
#include "platform/wayland/SwayWindows.h"

#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/SwayTree.h"
#include "platform/wayland/WaylandOutputs.h"

#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace kaptivus::platform::wayland {

namespace {

const char* swaySocket()
{
    const char* socket = std::getenv("SWAYSOCK");
    return socket != nullptr && *socket != '\0' ? socket : nullptr;
}

// The windows as the compositor lays them out now, or why they are not known.
SwayTree windowList(std::string& error)
{
    const char* socket = swaySocket();
    if (socket == nullptr) {
        error = "Kaptivus 2000 cannot capture a window here: it needs the compositor's window list, which this "
                "desktop does not give.";
        return {};
    }
    SwayTree tree = readSwayTree(socket);
    if (!tree.ok()) error = "The compositor's window list could not be read: " + tree.error;
    return tree;
}

void setRects(WindowRects& rects, const SwayWindow& window, double scale)
{
    rects.frame = pictureRect(window.frame, {}, scale);
    // A container of windows has no contents of its own: its frame is all.
    rects.client = window.isView() ? pictureRect(window.client, {}, scale) : rects.frame;
}

} // namespace

bool hasSwayWindowList()
{
    return swaySocket() != nullptr;
}

WindowRects swayActiveWindow(double scale)
{
    WindowRects result;
    const SwayTree tree = windowList(result.error);
    if (!result.ok()) return result;
    if (const auto w = focusedWindow(tree)) setRects(result, *w, scale);
    return result;
}

WindowRects swayWindowAt(ScreenPoint point, double scale)
{
    WindowRects result;
    SwayTree tree = windowList(result.error);
    if (!result.ok()) return result;
    const int64_t self = getpid();
    std::erase_if(tree.windows, [self](const SwayWindow& w) { return w.pid == self; });
    const ScreenPoint logical { int(std::floor(point.x / scale)), int(std::floor(point.y / scale)) };
    if (const auto w = windowAt(tree, logical)) setRects(result, *w, scale);
    return result;
}

} // namespace kaptivus::platform::wayland
