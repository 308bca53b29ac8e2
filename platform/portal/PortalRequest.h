// One request to the desktop's Screenshot portal over the D-Bus session bus:
// the call, then its Response signal awaited in a local event loop with a
// deadline, so the program's windows keep being served meanwhile. No picture
// files are read here.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kaptivus::platform::portal {

enum class ShotOutcome {
    Taken, // the portal answered with a picture's address
    Cancelled, // the user closed the desktop's dialog or chooser
    Refused, // the desktop denied the screenshot (or failed to take one)
    TimedOut, // no answer before the deadline
    Unreachable, // no session bus, or no portal on it
    Failed, // the portal answered something this program cannot use
};

struct ShotAnswer {
    ShotOutcome outcome = ShotOutcome::Failed;
    std::string uri; // with Taken
    std::string error; // a sentence for the user, with every other outcome
    bool ok() const { return outcome == ShotOutcome::Taken; }
};

// The object path the portal gives a request whose handle_token is `token`,
// for a caller whose unique bus name is `uniqueName` (":1.42" gives "1_42"):
// known before the call, so the Response signal can be listened for first.
std::string requestPath(std::string_view uniqueName, std::string_view token);

// How long a request may take: `seconds` from the environment when it is a
// whole number from 1 to 600, otherwise a minute, which leaves the user time
// to answer the desktop's permission question on first use.
std::chrono::seconds requestLimit(const char* seconds);

// Asks org.freedesktop.portal.Screenshot for a picture of the whole desktop
// (interactive: the desktop's own chooser decides what). GUI thread; runs a
// nested event loop until the answer or `limit`.
ShotAnswer requestScreenshot(bool interactive, std::chrono::milliseconds limit);

} // namespace kaptivus::platform::portal
