// Talks to sway over its IPC socket ($SWAYSOCK, the i3-compatible protocol:
// a magic string, a length, a type, then JSON). Bounded: one deadline for the
// whole exchange and a size limit on the reply. No Wayland types.
#pragma once

#include "platform/wayland/SwayTree.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace kaptivus::platform::wayland {

// Replies larger than this are refused; a desktop's tree is a few hundred kB.
inline constexpr uint32_t kMaxSwayReply = 32u << 20;

struct SwayReply {
    std::string payload;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Sends one message and reads its reply from the socket at `socketPath`
// ($SWAYSOCK when empty).
SwayReply swayRequest(uint32_t type, const std::string& payload, const std::string& socketPath = {},
    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

// get_tree, parsed.
SwayTree readSwayTree(
    const std::string& socketPath = {}, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

} // namespace kaptivus::platform::wayland
