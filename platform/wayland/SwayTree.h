// The windows sway reports in its layout tree (the reply to get_tree of its
// i3-compatible IPC), read into project types, and the questions the capture
// asks of them: the focused window and the window under a point. Pure: parses
// bytes, opens no socket.
#pragma once

#include "platform/Geometry.h"
#include "platform/wayland/WaylandOutputs.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::platform::wayland {

// A container on a shown workspace, in layout coordinates (logical pixels).
struct SwayWindow {
    int64_t id = 0;
    int64_t pid = 0; // the client's process; 0 for a container of windows
    std::string name; // the title
    std::string appId; // empty for a container that holds other windows
    ScreenRect frame; // border and title bar included
    ScreenRect client; // the contents; empty for a container of windows
    bool focused = false;
    bool floating = false;
    int depth = 0; // 0 for a workspace's own children
    bool isView() const { return !client.isEmpty(); }
};

struct SwayTree {
    std::vector<OutputInfo> outputs; // logical rectangle, scale and name; no device mode
    // Parents before children; tiled containers of a workspace before its
    // floating ones, so a later window lies above or inside an earlier one.
    std::vector<SwayWindow> windows;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Reads a get_tree reply. Malformed or hostile input gives an error, never a
// crash; nesting deeper than 256 levels is refused.
SwayTree parseSwayTree(std::string_view json);

// The window that has the keyboard focus; nothing when a workspace has it.
std::optional<SwayWindow> focusedWindow(const SwayTree& tree);

// The deepest window whose frame holds the point, floating windows first;
// nothing where only a workspace's background is.
std::optional<SwayWindow> windowAt(const SwayTree& tree, ScreenPoint point);

} // namespace kaptivus::platform::wayland
