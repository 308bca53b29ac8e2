// What the Wayland services report about outputs and grabbed frames, and the
// pure arithmetic that lays frames out on the virtual desktop. No Wayland
// types and no I/O here, so that the layout can be proved without a compositor.
#pragma once

#include "pixels/Picture.h"
#include "platform/Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kaptivus::platform::wayland {

// One output as the compositor describes it. `logical` is where it sits in the
// compositor's layout (logical pixels); pixelWidth x pixelHeight is its current
// mode in device pixels, before the transform.
struct OutputInfo {
    std::string name;
    ScreenRect logical;
    int scale = 1;
    int pixelWidth = 0;
    int pixelHeight = 0;
    int transform = 0; // wl_output.transform: 0..3 quarter turns anticlockwise, 4..7 the same after a flip
};

enum class FrameFormat { Xrgb8888, Argb8888, Xbgr8888, Abgr8888 };

// One output's frame as the compositor wrote it: rows of 32-bit little-endian
// words, bottom-up when yInverted.
struct FrameView {
    const uint8_t* bytes = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    FrameFormat format = FrameFormat::Xrgb8888;
    bool yInverted = false;
};

// Frames larger than this a side, or with more than kMaxFramePixels, are refused:
// no real output comes near, and the arithmetic stays far from overflow.
inline constexpr int kMaxFrameSide = 16384;
inline constexpr int64_t kMaxFramePixels = int64_t { 1 } << 28;

// Whether a frame the compositor offers can be taken: a sane size and a stride
// that holds a row of 32-bit pixels.
bool isAcceptableFrame(int width, int height, int stride);

// The layout's bounding box in logical pixels; empty for no outputs.
ScreenRect layoutBounds(const std::vector<OutputInfo>& outputs);

// Device pixels per logical pixel of one output: its upright mode over its
// place in the layout. Not wl_output's integer scale, which a compositor rounds
// up (an output scaled 1.5 says 2).
double deviceRatio(const OutputInfo& output);

// The number of device pixels a logical pixel takes in the composed picture:
// the outputs' common ratio when they agree, else the largest, so that the
// densest output keeps every pixel.
double compositionScale(const std::vector<OutputInfo>& outputs);

// A logical coordinate in the picture's device pixels, rounded to the nearest.
int toDevice(int logical, double scale);

// A rectangle of the layout (a window's frame, say) in the composed picture's
// device pixels, whose origin is the layout's top-left corner. Edges are
// rounded each on its own, so rectangles that touch in the layout touch here.
ScreenRect pictureRect(const ScreenRect& logical, const ScreenRect& bounds, double scale);
// Where an output lands in the composed picture.
inline ScreenRect placementOf(const OutputInfo& output, const ScreenRect& bounds, double scale)
{
    return pictureRect(output.logical, bounds, scale);
}

// The virtual desktop: every output's frame (frames[i] belongs to outputs[i])
// turned upright by its transform and drawn at placementOf(); a frame of
// another size than its place (a lower-scale output beside a higher one) is
// resized by pixel replication, which invents no colours. Places no output
// covers stay black. Empty when sizes do not agree or exceed the limits.
pixels::Picture composeDesktop(const std::vector<OutputInfo>& outputs, const std::vector<FrameView>& frames);

} // namespace kaptivus::platform::wayland
