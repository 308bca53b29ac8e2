// Active grabs of the keyboard and the pointer for a window that the window
// manager does not manage (so it never gets the focus by itself), such as the
// selectors covering the desktop. Toolkit calls only; no X types.
#pragma once

#include <chrono>

class QWindow;

namespace kaptivus::platform {

// Gives the window the input focus and grabs the keyboard and the pointer,
// waiting until the window is on screen and another client's grab (a menu
// still closing, a held key) is over. False when the time runs out or the
// window is hidden meanwhile. Where no X server runs there is nothing to grab:
// the window is only asked to be activated.
bool takeInput(QWindow* window, std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

} // namespace kaptivus::platform
