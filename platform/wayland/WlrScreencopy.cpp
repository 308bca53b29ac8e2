// The screencopy grab: binds the globals, learns the outputs (xdg-output for
// the layout, wl_output for mode, scale and transform), copies one frame per
// output into shared memory and composes them.
#include "platform/wayland/WlrScreencopy.h"

#include "platform/wayland/WaylandDisplay_p.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kaptivus::platform::wayland {

using detail::Clock;

namespace {

struct Output {
    wl_output* output = nullptr;
    uint32_t global = 0;
    bool* changed = nullptr; // the connection's flag, raised by any event after the outputs were learnt
    zxdg_output_v1* xdg = nullptr;
    OutputInfo info;
    int geometryX = 0;
    int geometryY = 0;
    bool logicalKnown = false;
};

std::optional<FrameFormat> frameFormat(uint32_t shm)
{
    switch (shm) {
    case WL_SHM_FORMAT_XRGB8888:
        return FrameFormat::Xrgb8888;
    case WL_SHM_FORMAT_ARGB8888:
        return FrameFormat::Argb8888;
    case WL_SHM_FORMAT_XBGR8888:
        return FrameFormat::Xbgr8888;
    case WL_SHM_FORMAT_ABGR8888:
        return FrameFormat::Abgr8888;
    default:
        return std::nullopt;
    }
}

const wl_output_listener kOutputListener {
    [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
        int32_t transform) {
        auto* o = static_cast<Output*>(data);
        o->geometryX = x;
        o->geometryY = y;
        o->info.transform = transform & 7;
        *o->changed = true;
    },
    [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
        auto* o = static_cast<Output*>(data);
        o->info.pixelWidth = width;
        o->info.pixelHeight = height;
        *o->changed = true;
    },
    [](void*, wl_output*) {},
    [](void* data, wl_output*, int32_t factor) {
        auto* o = static_cast<Output*>(data);
        o->info.scale = std::max(1, factor);
        *o->changed = true;
    },
    [](void* data, wl_output*, const char* name) { static_cast<Output*>(data)->info.name = name; },
    [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener {
    [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        auto* o = static_cast<Output*>(data);
        o->info.logical.left = x;
        o->info.logical.top = y;
        o->logicalKnown = true;
        *o->changed = true;
    },
    [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        auto* o = static_cast<Output*>(data);
        o->info.logical.width = width;
        o->info.logical.height = height;
        *o->changed = true;
    },
    [](void*, zxdg_output_v1*) {},
    [](void* data, zxdg_output_v1*, const char* name) {
        auto* o = static_cast<Output*>(data);
        if (o->info.name.empty()) o->info.name = name;
    },
    [](void*, zxdg_output_v1*, const char*) {},
};

// Without xdg-output the layout is guessed from wl_output: the position it
// reports and the mode divided by the scale, turned by the transform.
void guessLogical(Output& o)
{
    if (o.logicalKnown) return;
    const bool turned = (o.info.transform & 1) != 0;
    const int w = o.info.pixelWidth / o.info.scale;
    const int h = o.info.pixelHeight / o.info.scale;
    o.info.logical = ScreenRect { o.geometryX, o.geometryY, turned ? h : w, turned ? w : h };
}

// One output's frame while it is being grabbed.
struct Frame {
    zwlr_screencopy_frame_v1* frame = nullptr;
    uint32_t shmFormat = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    bool offered = false; // a shm buffer of a format we read was offered
    bool described = false;
    bool ready = false;
    bool failed = false;
    bool yInverted = false;
    bool v3 = false;
    bool settled() const { return failed || described; }
    bool finished() const { return failed || ready; }
};

const zwlr_screencopy_frame_v1_listener kFrameListener {
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
        auto* f = static_cast<Frame*>(data);
        // Before version 3 one shm offer is the whole description.
        if (!f->v3) f->described = true;
        if (f->offered || !frameFormat(format) || width > INT32_MAX || height > INT32_MAX || stride > INT32_MAX) return;
        f->offered = true;
        f->shmFormat = format;
        f->width = int(width);
        f->height = int(height);
        f->stride = int(stride);
    },
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
        static_cast<Frame*>(data)->yInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    },
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
        static_cast<Frame*>(data)->ready = true;
    },
    [](void* data, zwlr_screencopy_frame_v1*) { static_cast<Frame*>(data)->failed = true; },
    [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    [](void* data, zwlr_screencopy_frame_v1*) { static_cast<Frame*>(data)->described = true; },
};

const char* const kNoScreencopy = "The Wayland compositor offers no screen capture: it lacks the "
                                  "zwlr_screencopy_manager_v1 protocol (wlr screencopy).";

} // namespace

struct WlrScreencopy::State {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    zxdg_output_manager_v1* xdgManager = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    uint32_t screencopyVersion = 0;
    std::vector<std::unique_ptr<Output>> outputs;
    // The outputs that show something (a mode and a place), in step with infos.
    std::vector<Output*> shown;
    std::vector<OutputInfo> infos;
    std::vector<std::unique_ptr<detail::ShmBuffer>> buffers;
    std::chrono::milliseconds timeout { 3000 };
    std::string error;
    bool changed = false;

    ~State();
    bool connect(const std::string& name);
    bool learnOutputs();
    void bind(uint32_t id, const char* interface, uint32_t version);
    std::string copyFrames(std::vector<Frame>& frames, Clock::time_point deadline);
    std::string lostOrLate(const char* late) const;
};

std::string WlrScreencopy::State::lostOrLate(const char* late) const
{
    const int lost = wl_display_get_error(display);
    if (lost != 0) return std::string("The connection to the Wayland compositor broke: ") + std::strerror(lost) + ".";
    return std::string("The Wayland compositor ") + late;
}

WlrScreencopy::State::~State()
{
    buffers.clear();
    for (auto& o : outputs) {
        if (o->xdg != nullptr) zxdg_output_v1_destroy(o->xdg);
        if (wl_output_get_version(o->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(o->output);
        else
            wl_output_destroy(o->output);
    }
    if (screencopy != nullptr) zwlr_screencopy_manager_v1_destroy(screencopy);
    if (xdgManager != nullptr) zxdg_output_manager_v1_destroy(xdgManager);
    if (shm != nullptr) wl_shm_destroy(shm);
    if (registry != nullptr) wl_registry_destroy(registry);
    if (display != nullptr) wl_display_disconnect(display);
}

void WlrScreencopy::State::bind(uint32_t id, const char* interface, uint32_t version)
{
    auto bindAs = [&](const wl_interface* want, uint32_t highest) {
        return wl_registry_bind(registry, id, want, std::min(version, highest));
    };
    const std::string_view name(interface);
    if (name == wl_shm_interface.name && shm == nullptr) {
        shm = static_cast<wl_shm*>(bindAs(&wl_shm_interface, 1));
    } else if (name == wl_output_interface.name) {
        auto o = std::make_unique<Output>();
        o->global = id;
        o->changed = &changed;
        changed = true;
        o->output = static_cast<wl_output*>(bindAs(&wl_output_interface, 4));
        wl_output_add_listener(o->output, &kOutputListener, o.get());
        outputs.push_back(std::move(o));
    } else if (name == zxdg_output_manager_v1_interface.name && xdgManager == nullptr) {
        xdgManager = static_cast<zxdg_output_manager_v1*>(bindAs(&zxdg_output_manager_v1_interface, 3));
    } else if (name == zwlr_screencopy_manager_v1_interface.name && screencopy == nullptr) {
        screencopyVersion = std::min(version, 3u);
        screencopy = static_cast<zwlr_screencopy_manager_v1*>(bindAs(&zwlr_screencopy_manager_v1_interface, 3));
    }
}

bool WlrScreencopy::State::connect(const std::string& name)
{
    if (name.empty() && getenv("WAYLAND_DISPLAY") == nullptr) {
        error = "No Wayland display: WAYLAND_DISPLAY is not set.";
        return false;
    }
    display = wl_display_connect(name.empty() ? nullptr : name.c_str());
    if (display == nullptr) {
        const char* shown = name.empty() ? getenv("WAYLAND_DISPLAY") : name.c_str();
        error = std::string("Cannot connect to the Wayland display \"") + shown + "\".";
        return false;
    }
    static const wl_registry_listener listener {
        [](void* data, wl_registry*, uint32_t id, const char* interface, uint32_t version) {
            static_cast<State*>(data)->bind(id, interface, version);
        },
        [](void* data, wl_registry*, uint32_t id) {
            auto* state = static_cast<State*>(data);
            for (const auto& o : state->outputs) {
                if (o->global == id) state->changed = true;
            }
        },
    };
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, this);
    return learnOutputs();
}

bool WlrScreencopy::State::learnOutputs()
{
    const auto deadline = Clock::now() + timeout;
    // The first round trip brings the globals, the second their first events.
    if (!detail::roundtrip(display, deadline) || !detail::roundtrip(display, deadline)) {
        error = "The Wayland compositor did not answer in time.";
        return false;
    }
    if (xdgManager != nullptr) {
        for (auto& o : outputs) {
            o->xdg = zxdg_output_manager_v1_get_xdg_output(xdgManager, o->output);
            zxdg_output_v1_add_listener(o->xdg, &kXdgOutputListener, o.get());
        }
        if (!detail::roundtrip(display, deadline)) {
            error = "The Wayland compositor did not describe its outputs in time.";
            return false;
        }
    }
    for (auto& o : outputs) {
        guessLogical(*o);
        if (o->info.logical.isEmpty() || o->info.pixelWidth <= 0 || o->info.pixelHeight <= 0) continue;
        shown.push_back(o.get());
        infos.push_back(o->info);
    }
    changed = false;
    return true;
}

WlrScreencopy::WlrScreencopy(const std::string& display, std::chrono::milliseconds timeout)
    : m_state(std::make_unique<State>())
{
    m_state->timeout = timeout;
    if (!m_state->connect(display) && m_state->display != nullptr) {
        const std::string error = m_state->error;
        m_state = std::make_unique<State>();
        m_state->error = error;
    }
}

WlrScreencopy::~WlrScreencopy() = default;

std::string WlrScreencopy::State::copyFrames(std::vector<Frame>& frames, Clock::time_point deadline)
{
    auto all = [&](bool (Frame::*test)() const) {
        return std::all_of(frames.begin(), frames.end(), [&](const Frame& f) { return (f.*test)(); });
    };
    if (!detail::dispatchUntil(display, deadline, [&] { return all(&Frame::settled); }))
        return lostOrLate("did not offer the screen frames in time.");
    if (buffers.size() < frames.size()) buffers.resize(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        const std::string& name = infos[i].name;
        if (f.failed) return "The Wayland compositor could not capture output " + name + ".";
        if (!f.offered)
            return "The Wayland compositor offers output " + name + " in no pixel format this program reads.";
        if (!isAcceptableFrame(f.width, f.height, f.stride))
            return "The Wayland compositor offers a frame of an unusable size for output " + name + ".";
        if (!buffers[i]) buffers[i] = std::make_unique<detail::ShmBuffer>();
        std::string error;
        if (!buffers[i]->ensure(shm, f.width, f.height, f.stride, f.shmFormat, error)) return error;
        zwlr_screencopy_frame_v1_copy(f.frame, buffers[i]->buffer());
    }
    if (!detail::dispatchUntil(display, deadline, [&] { return all(&Frame::finished); }))
        return lostOrLate("did not copy the screen frames in time.");
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].failed) return "The Wayland compositor could not capture output " + infos[i].name + ".";
    }
    return {};
}

DesktopGrab WlrScreencopy::grabDesktop()
{
    DesktopGrab result;
    State& s = *m_state;
    if (s.display == nullptr)
        result.error = s.error;
    else if (s.screencopy == nullptr || s.shm == nullptr)
        result.error = kNoScreencopy;
    else if (s.infos.empty())
        result.error = "The Wayland compositor has no output to capture.";
    if (!result.error.empty()) return result;
    std::vector<Frame> frames(s.shown.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].v3 = s.screencopyVersion >= 3;
        frames[i].frame = zwlr_screencopy_manager_v1_capture_output(s.screencopy, 0, s.shown[i]->output);
        zwlr_screencopy_frame_v1_add_listener(frames[i].frame, &kFrameListener, &frames[i]);
    }
    result.error = s.copyFrames(frames, Clock::now() + s.timeout);
    for (auto& f : frames)
        zwlr_screencopy_frame_v1_destroy(f.frame);
    if (!result.error.empty()) return result;
    std::vector<FrameView> views;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        views.push_back(
            FrameView { s.buffers[i]->bytes(), f.width, f.height, f.stride, *frameFormat(f.shmFormat), f.yInverted });
    }
    result.picture = composeDesktop(s.infos, views);
    result.layout = layoutBounds(s.infos);
    result.scale = compositionScale(s.infos);
    if (result.picture.isEmpty())
        result.error = "The outputs' frames do not make a picture of the desktop: sizes out of range.";
    return result;
}

bool WlrScreencopy::isConnected() const
{
    return m_state->display != nullptr;
}
const std::string& WlrScreencopy::error() const
{
    return m_state->error;
}
bool WlrScreencopy::canCapture() const
{
    return m_state->screencopy != nullptr && m_state->shm != nullptr;
}
const std::vector<OutputInfo>& WlrScreencopy::outputs() const
{
    return m_state->infos;
}

bool WlrScreencopy::outputsChanged()
{
    State& s = *m_state;
    if (s.display == nullptr) return true;
    if (!detail::roundtrip(s.display, Clock::now() + s.timeout)) return true;
    return s.changed;
}

} // namespace kaptivus::platform::wayland
