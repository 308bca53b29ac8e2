// Which back-end serves this session.
#include "platform/CaptureBackend.h"

#include <cstdlib>
#include <string_view>

namespace kaptivus::platform {

namespace {

std::unique_ptr<CaptureBackend>& current()
{
    static std::unique_ptr<CaptureBackend> backend;
    return backend;
}

bool isSet(const char* value) { return value && *value; }

} // namespace

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
    if (!backend) backend = currentSession() == SessionKind::Wayland ? makeWlrootsBackend() : makeX11Backend();
    return *backend;
}

void setCaptureBackend(std::unique_ptr<CaptureBackend> backend) { current() = std::move(backend); }

} // namespace kaptivus::platform
