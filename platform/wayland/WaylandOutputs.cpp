// The layout arithmetic of the Wayland grab: bounds, scale, placement and the
// composition of frames into one picture. Pure functions, no Wayland calls.
#include "platform/wayland/WaylandOutputs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kaptivus::platform::wayland {
namespace {

bool quarterTurned(int transform)
{
    return (transform & 1) != 0;
}

// Where the upright pixel (x, y) of a w x h upright picture sits in the frame
// the compositor wrote. The frame holds the output as its panel scans it out:
// the content turned by the wl_output transform (quarter turns anticlockwise,
// after a left-right flip for 4..7), so reading it back undoes the turn.
void sourceOf(int transform, int x, int y, int w, int h, int& sx, int& sy)
{
    if (transform >= 4) x = w - 1 - x;
    switch (transform & 3) {
    case 0:
        sx = x;
        sy = y;
        break;
    case 1:
        sx = y;
        sy = w - 1 - x;
        break;
    case 2:
        sx = w - 1 - x;
        sy = h - 1 - y;
        break;
    default:
        sx = h - 1 - y;
        sy = x;
        break;
    }
}

uint32_t readWord(const FrameView& frame, int x, int y)
{
    const int row = frame.yInverted ? frame.height - 1 - y : y;
    uint32_t word;
    std::memcpy(&word, frame.bytes + static_cast<size_t>(row) * static_cast<size_t>(frame.stride) + size_t(x) * 4, 4);
    return word;
}

// The picture's device layout is 0x00RRGGBB in a little-endian word; the BGR
// orders of wl_shm swap red and blue.
uint32_t toDevice(uint32_t word, FrameFormat format)
{
    if (format == FrameFormat::Xbgr8888 || format == FrameFormat::Abgr8888)
        word = (word & 0xFF00FF00u) | ((word >> 16) & 0xFFu) | ((word & 0xFFu) << 16);
    return word;
}

// The common case, an upright frame of exactly its place's size in the
// picture's own byte order: whole rows copied.
bool copyRows(pixels::Picture& picture, const FrameView& frame, const ScreenRect& place, int transform)
{
    const bool native = frame.format == FrameFormat::Xrgb8888 || frame.format == FrameFormat::Argb8888;
    if (transform != 0 || !native || frame.width != place.width || frame.height != place.height) return false;
    for (int y = 0; y < place.height; ++y) {
        const int row = frame.yInverted ? frame.height - 1 - y : y;
        std::memcpy(picture.scanLine(place.top + y) + size_t(place.left) * 4,
            frame.bytes + static_cast<size_t>(row) * static_cast<size_t>(frame.stride), size_t(place.width) * 4);
    }
    return true;
}

void drawFrame(pixels::Picture& picture, const FrameView& frame, const ScreenRect& place, int transform)
{
    if (copyRows(picture, frame, place, transform)) return;
    const int uprightW = quarterTurned(transform) ? frame.height : frame.width;
    const int uprightH = quarterTurned(transform) ? frame.width : frame.height;
    for (int y = 0; y < place.height; ++y) {
        auto* out = picture.scanLine(place.top + y) + size_t(place.left) * 4;
        const int uy = static_cast<int>(int64_t { y } * uprightH / place.height);
        for (int x = 0; x < place.width; ++x) {
            const int ux = static_cast<int>(int64_t { x } * uprightW / place.width);
            int sx = 0;
            int sy = 0;
            sourceOf(transform, ux, uy, uprightW, uprightH, sx, sy);
            const uint32_t word = toDevice(readWord(frame, sx, sy), frame.format);
            std::memcpy(out + size_t(x) * 4, &word, 4);
        }
    }
}

// Positions a compositor could mean; anything beyond is refused before the
// layout arithmetic, which then cannot overflow.
bool isSanePlace(const OutputInfo& o)
{
    constexpr int kFar = 1 << 20;
    return o.logical.left > -kFar && o.logical.left < kFar && o.logical.top > -kFar && o.logical.top < kFar
        && o.logical.width > 0 && o.logical.width <= kMaxFrameSide && o.logical.height > 0
        && o.logical.height <= kMaxFrameSide;
}

} // namespace

bool isAcceptableFrame(int width, int height, int stride)
{
    if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) return false;
    return int64_t { width } * height <= kMaxFramePixels && int64_t { stride } >= int64_t { width } * 4
        && int64_t { stride } * height <= kMaxFramePixels * 4;
}

ScreenRect layoutBounds(const std::vector<OutputInfo>& outputs)
{
    ScreenRect bounds;
    for (const auto& o : outputs) {
        if (o.logical.isEmpty()) continue;
        if (bounds.isEmpty()) {
            bounds = o.logical;
            continue;
        }
        const int left = std::min(bounds.left, o.logical.left);
        const int top = std::min(bounds.top, o.logical.top);
        const int right = std::max(bounds.right(), o.logical.right());
        const int bottom = std::max(bounds.bottom(), o.logical.bottom());
        bounds = ScreenRect { left, top, right - left, bottom - top };
    }
    return bounds;
}

double deviceRatio(const OutputInfo& output)
{
    const int upright = quarterTurned(output.transform) ? output.pixelHeight : output.pixelWidth;
    if (output.logical.width <= 0 || upright <= 0) return std::clamp(output.scale, 1, 16);
    return std::clamp(double(upright) / output.logical.width, 1.0 / 16, 16.0);
}

double compositionScale(const std::vector<OutputInfo>& outputs)
{
    double scale = 0;
    for (const auto& o : outputs)
        scale = std::max(scale, deviceRatio(o));
    return scale > 0 ? scale : 1.0;
}

int toDevice(int logical, double scale)
{
    return static_cast<int>(std::llround(double(logical) * scale));
}

ScreenRect pictureRect(const ScreenRect& logical, const ScreenRect& bounds, double scale)
{
    const int originX = toDevice(bounds.left, scale);
    const int originY = toDevice(bounds.top, scale);
    const int left = toDevice(logical.left, scale) - originX;
    const int top = toDevice(logical.top, scale) - originY;
    return ScreenRect { left, top, toDevice(logical.right(), scale) - originX - left,
        toDevice(logical.bottom(), scale) - originY - top };
}

pixels::Picture composeDesktop(const std::vector<OutputInfo>& outputs, const std::vector<FrameView>& frames)
{
    if (outputs.empty() || frames.size() != outputs.size() || !std::all_of(outputs.begin(), outputs.end(), isSanePlace))
        return {};
    const ScreenRect bounds = layoutBounds(outputs);
    const double scale = compositionScale(outputs);
    const ScreenRect whole = pictureRect(bounds, bounds, scale);
    const int64_t width = whole.width;
    const int64_t height = whole.height;
    if (bounds.isEmpty() || width > kMaxFrameSide * 2 || height > kMaxFrameSide * 2 || width * height > kMaxFramePixels)
        return {};
    auto picture = pixels::Picture::create(int(width), int(height), pixels::PixelFormat::DeviceDefault);
    if (picture.isEmpty()) return {};
    for (size_t i = 0; i < outputs.size(); ++i) {
        const FrameView& f = frames[i];
        if (f.bytes == nullptr || !isAcceptableFrame(f.width, f.height, f.stride)) return {};
        drawFrame(picture, f, placementOf(outputs[i], bounds, scale), outputs[i].transform & 7);
    }
    return picture;
}

} // namespace kaptivus::platform::wayland
