// Grabs every output of a wlroots compositor through its screencopy protocol
// and composes the frames into one picture of the virtual desktop. Uses a
// private Wayland connection; no Wayland types in this header. One thread.
#pragma once

#include "pixels/Picture.h"
#include "platform/Geometry.h"
#include "platform/wayland/WaylandOutputs.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kaptivus::platform::wayland {

// A grab's outcome: the picture, or an empty picture and a message naming
// what failed. Never a blank picture standing for a failure.
struct DesktopGrab {
    pixels::Picture picture;
    ScreenRect layout; // the virtual desktop in logical pixels
    double scale = 1; // device pixels per logical pixel in the picture
    std::string error;
    bool ok() const { return error.empty() && !picture.isEmpty(); }
};

class WlrScreencopy {
public:
    // Connects to the compositor named by WAYLAND_DISPLAY (or `display` when
    // given) and learns its outputs. Every exchange with the compositor gives
    // up after `timeout`. isConnected() says whether it worked, error() why not.
    explicit WlrScreencopy(
        const std::string& display = {}, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    ~WlrScreencopy();
    WlrScreencopy(const WlrScreencopy&) = delete;
    WlrScreencopy& operator=(const WlrScreencopy&) = delete;

    bool isConnected() const;
    const std::string& error() const;
    // Whether the compositor offers the screencopy protocol.
    bool canCapture() const;
    // The outputs in the order the compositor announced them.
    const std::vector<OutputInfo>& outputs() const;
    // Reads what the compositor said since the outputs were learnt (a round
    // trip): true when an output came, went or changed its mode, place, scale
    // or transform, or when the connection is gone. A new connection then
    // learns them afresh.
    bool outputsChanged();

    // One frame of every output, composed (see composeDesktop). Fails with a
    // message when the connection or the protocol is missing, an output's
    // frame fails or takes longer than the timeout.
    DesktopGrab grabDesktop();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kaptivus::platform::wayland
