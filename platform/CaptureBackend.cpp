// Which back-end serves this session.
#include "platform/CaptureBackend.h"
#include "platform/wayland/WlrScreencopy.h"

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace kaptivus::platform {

namespace {

std::unique_ptr<CaptureBackend>& current()
{
    static std::unique_ptr<CaptureBackend> backend;
    return backend;
}

bool isSet(const char* value) { return value && *value; }

// Why the compositor's own grab cannot serve: empty when it can.
std::string screencopyMissing()
{
    const wayland::WlrScreencopy probe;
    if (!probe.isConnected()) return probe.error();
    if (!probe.canCapture()) return "the compositor offers no zwlr_screencopy_manager_v1";
    return {};
}

std::unique_ptr<CaptureBackend> sessionBackend()
{
    const char* value = std::getenv("KAPTIVUS_BACKEND");
    bool unknown = false;
    const auto forced = forcedBackend(value, unknown);
    if (unknown)
        std::cerr << "kaptivus2000: KAPTIVUS_BACKEND=" << value
                  << " names no capture back-end (x11, wlroots or portal); the session's own is used" << std::endl;
    const SessionKind session = currentSession();
    // The probe is a connection of its own: made only when the choice depends on it.
    std::string missing;
    if (!forced && session == SessionKind::Wayland) missing = screencopyMissing();
    switch (chooseBackend(forced, session, missing.empty())) {
    case BackendKind::X11: return makeX11Backend();
    case BackendKind::Wlroots: return makeWlrootsBackend();
    case BackendKind::Portal: break;
    }
    // A message of the probe's ends in a full stop; the portal's own message follows it.
    if (!missing.empty() && missing.back() == '.') missing.pop_back();
    if (!missing.empty()) missing.front() = char(std::tolower(static_cast<unsigned char>(missing.front())));
    return makePortalBackend(missing);
}

} // namespace

std::optional<BackendKind> forcedBackend(const char* value, bool& unknown)
{
    unknown = false;
    if (!isSet(value)) return std::nullopt;
    const std::string_view name(value);
    if (name == "x11") return BackendKind::X11;
    if (name == "wlroots") return BackendKind::Wlroots;
    if (name == "portal") return BackendKind::Portal;
    unknown = true;
    return std::nullopt;
}

BackendKind chooseBackend(std::optional<BackendKind> forced, SessionKind session, bool hasScreencopy)
{
    if (forced) return *forced;
    if (session == SessionKind::X11) return BackendKind::X11;
    return hasScreencopy ? BackendKind::Wlroots : BackendKind::Portal;
}

SessionKind sessionKind(const char* waylandDisplay, const char* sessionType)
{
    if (isSet(waylandDisplay) || (sessionType && std::string_view(sessionType) == "wayland"))
        return SessionKind::Wayland;
    return SessionKind::X11;
}

SessionKind currentSession()
{
    return sessionKind(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
}

CaptureBackend& captureBackend()
{
    auto& backend = current();
    if (!backend) backend = sessionBackend();
    return *backend;
}

void setCaptureBackend(std::unique_ptr<CaptureBackend> backend) { current() = std::move(backend); }

} // namespace kaptivus::platform
