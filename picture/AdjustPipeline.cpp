// The adjustment pipeline: capture in, shown picture out, every option applied
// in its fixed order on 24-bit working buffers.
#include "picture/AdjustPipeline.h"

#include "dialogs/UserError.h"

#include "pixels/PictureRows.h"
#include "pixels/PixelBuffer.h"
#include "pixels/PixelEffects.h"
#include "pixels/PixelFill.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace kaptivus::picture {

using pixels::Picture;
using pixels::PixelBGR;
using pixels::TPixelBuffer;

namespace {

constexpr PixelBGR kWhite{255, 255, 255};

// Pixel data with a size the pipeline asked for, or std::bad_alloc: a stage
// must never run on a buffer whose memory could not be had.
void AllocateOrThrow(TPixelBuffer& buffer, int width, int height)
{
    if (!buffer.Allocate(width, height)) throw std::bad_alloc();
}

// The whole buffer in one colour.
void FillSolid(TPixelBuffer& buffer, PixelBGR colour)
{
    pixels::FillArea(buffer, 0, 0, buffer.width() - 1, buffer.height() - 1, colour);
}

int ClampOption(int value, int low, int high) { return std::clamp(value, low, high); }

// Option values come from the settings file too: keep each within its control's range.
PictureOptions Sanitised(PictureOptions o)
{
    o.brightness = ClampOption(o.brightness, -255, 255);
    o.contrast = ClampOption(o.contrast, -255, 255);
    o.saturation = ClampOption(o.saturation, -255, 255);
    o.red = ClampOption(o.red, -255, 255);
    o.green = ClampOption(o.green, -255, 255);
    o.blue = ClampOption(o.blue, -255, 255);
    o.frame = ClampOption(o.frame, 0, 20);
    o.rotation = ClampOption(o.rotation, -180, 180);
    o.resizePercent = ClampOption(o.resizePercent, 10, 400);
    return o;
}

void ApplyColourStages(TPixelBuffer& work, const PictureOptions& o)
{
    if (o.brightness != 0) pixels::AdjustLightness(work, o.brightness);
    if (o.contrast != 0) pixels::AdjustContrast(work, o.contrast);
    if (o.saturation != 0) pixels::AdjustSaturation(work, o.saturation + 255);
    if (o.red != 0 || o.green != 0 || o.blue != 0) pixels::ShiftChannels(work, o.red, o.green, o.blue);
}

void ApplyRotation(TPixelBuffer& work, int angle)
{
    TPixelBuffer rotated;
    if (!pixels::RotatedBounds(work, rotated, static_cast<long double>(angle))) throw std::bad_alloc();
    FillSolid(rotated, kWhite);
    // The exact centre, not the integer one: with an odd size the integer
    // centre shifts a quarter turn by a pixel, dropping a row of the capture
    // and leaving a white line in its place.
    pixels::RotateBilinear(work, rotated, rotated.width() / 2.0L, rotated.height() / 2.0L,
                           static_cast<long double>(angle));
    if (!work.AssignFrom(rotated)) throw std::bad_alloc();
}

void ApplyReplacementStages(TPixelBuffer& work, const PictureOptions& o)
{
    if (o.flipVertical) pixels::FlipRows(work);
    if (o.flipHorizontal) pixels::FlipColumns(work);
    if (o.emboss) pixels::EmbossPicture(work);
    if (o.exchange) pixels::ExchangeColors(work, o.color1, o.color2);
    if (o.substitute) pixels::SubstituteColor(work, o.color1, o.color2);
    if (o.sharpen) pixels::Convolve3x3(work, pixels::SharpenKernel);
    if (o.grey) pixels::GreyScale(work);
    if (o.invert) pixels::InvertColors(work);
}

// The frame is the ring between the framed picture's edge and the picture at
// (f, f): four solid strips, drawn as two buffers.
void DrawFrame(Picture& picture, const FramedSize& size, int frame, pixels::Color colour)
{
    if (frame <= 0) return;
    const PixelBGR pixel = pixels::ColorToPixel(colour);
    TPixelBuffer strip;
    AllocateOrThrow(strip, size.width, frame);
    FillSolid(strip, pixel);
    strip.DrawTo(picture, 0, 0);
    strip.DrawTo(picture, 0, size.height - frame);
    if (size.pictureHeight <= 0) return;
    AllocateOrThrow(strip, frame, size.pictureHeight);
    FillSolid(strip, pixel);
    strip.DrawTo(picture, 0, frame);
    strip.DrawTo(picture, size.width - frame, frame);
}

// Steps 6 to 11: the picture without its frame, or an empty buffer when its size is 0.
void BuildInnerPicture(const Picture& capture, const PictureOptions& o, const FramedSize& size, int angle,
                       TPixelBuffer& output)
{
    AllocateOrThrow(output, size.pictureWidth, size.pictureHeight);
    if (output.isEmpty()) return;
    FillSolid(output, kWhite);
    TPixelBuffer work;
    if (!work.LoadFromBitmap(capture)) throw std::bad_alloc();
    if (work.isEmpty()) return; // nothing captured yet: a white picture
    ApplyColourStages(work, o);
    if (angle != 0) ApplyRotation(work, angle);
    ApplyReplacementStages(work, o);
    work.ResizeBilinear(output);
}

// No stage would change a pixel, and the picture keeps the capture's size.
bool AtRest(const PictureOptions& o, int angle, const FramedSize& size, const Picture& capture)
{
    const bool noColourStage = o.brightness == 0 && o.contrast == 0 && o.saturation == 0 && o.red == 0 &&
                               o.green == 0 && o.blue == 0 && !o.grey && !o.invert;
    const bool noReplacement = !o.flipVertical && !o.flipHorizontal && !o.emboss && !o.exchange && !o.substitute &&
                               !o.sharpen;
    return noColourStage && noReplacement && angle == 0 && o.frame == 0 && !capture.isEmpty() &&
           size.pictureWidth == capture.width() && size.pictureHeight == capture.height();
}

// True when reading a pixel of this layout to 24 bits and writing it back
// gives its channel bits unchanged: contiguous channels of at most 8 bits
// whose expansion and reduction undo each other.
bool RoundTripKeepsChannels(const Picture& picture)
{
    for (const uint32_t mask : {picture.redMask(), picture.greenMask(), picture.blueMask()}) {
        const pixels::ChannelLayout channel = pixels::ChannelFromMask(mask);
        if (channel.bits < 1 || channel.bits > 8 || (mask >> channel.shift) != channel.max) return false;
        for (uint32_t v = 0; v <= channel.max; ++v)
            if (pixels::ReduceChannel(pixels::ExpandChannel(v, channel), channel) != v) return false;
    }
    return true;
}

// Clears the bits outside `kept` in every pixel of a row; words are read and
// written as stored, little-endian. A fixed word size lets the loop run wide.
template <typename Word>
void KeepBits(uint8_t* line, size_t rowBytes, uint32_t kept)
{
    const Word mask = static_cast<Word>(kept);
    for (size_t i = 0; i < rowBytes; i += sizeof(Word)) {
        Word word;
        std::memcpy(&word, line + i, sizeof(Word));
        word &= mask;
        std::memcpy(line + i, &word, sizeof(Word));
    }
}

void KeepBits24(uint8_t* line, size_t rowBytes, uint32_t kept)
{
    const uint8_t mask[3] = {static_cast<uint8_t>(kept), static_cast<uint8_t>(kept >> 8),
                             static_cast<uint8_t>(kept >> 16)};
    for (size_t i = 0; i < rowBytes; i += 3) {
        line[i] &= mask[0];
        line[i + 1] &= mask[1];
        line[i + 2] &= mask[2];
    }
}

// True when a row has no bit set outside `kept` and no padding byte set.
template <typename Word>
bool RowIsClean(const uint8_t* line, size_t rowBytes, size_t stride, uint32_t kept)
{
    const Word stray = static_cast<Word>(~kept);
    Word seen = 0;
    for (size_t i = 0; i < rowBytes; i += sizeof(Word)) {
        Word word;
        std::memcpy(&word, line + i, sizeof(Word));
        seen |= word & stray;
    }
    uint8_t padding = 0;
    for (size_t i = rowBytes; i < stride; ++i)
        padding |= line[i];
    return seen == 0 && padding == 0;
}

bool RowIsClean24(const uint8_t* line, size_t rowBytes, size_t stride, uint32_t kept)
{
    const uint8_t stray[3] = {static_cast<uint8_t>(~kept), static_cast<uint8_t>(~kept >> 8),
                              static_cast<uint8_t>(~kept >> 16)};
    uint8_t seen = 0;
    for (size_t i = 0; i < rowBytes; i += 3)
        seen |= (line[i] & stray[0]) | (line[i + 1] & stray[1]) | (line[i + 2] & stray[2]);
    for (size_t i = rowBytes; i < stride; ++i)
        seen |= line[i];
    return seen == 0;
}

// The capture's own bytes with what the stages would not carry over cleared:
// bits outside the channels (a 32-bit screen's fourth byte) and row padding.
// Rows that hold nothing to clear are not written, so a clean capture (as a
// screen grab is) is handed on sharing its memory, without a copy.
Picture MaskedCopy(const Picture& capture)
{
    Picture picture = capture;
    picture.setTransparent(false);
    const int bytesPerPixel = picture.storageBits() / 8;
    const uint32_t kept = picture.redMask() | picture.greenMask() | picture.blueMask();
    const size_t rowBytes = static_cast<size_t>(picture.width()) * static_cast<size_t>(bytesPerPixel);
    const auto stride = static_cast<size_t>(picture.stride());
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* row = std::as_const(picture).scanLine(y);
        const bool clean = bytesPerPixel == 4   ? RowIsClean<uint32_t>(row, rowBytes, stride, kept)
                           : bytesPerPixel == 2 ? RowIsClean<uint16_t>(row, rowBytes, stride, kept)
                                                : RowIsClean24(row, rowBytes, stride, kept);
        if (clean) continue;
        uint8_t* line = picture.scanLine(y);
        std::memset(line + rowBytes, 0, stride - rowBytes);
        if (bytesPerPixel == 4) KeepBits<uint32_t>(line, rowBytes, kept);
        else if (bytesPerPixel == 2) KeepBits<uint16_t>(line, rowBytes, kept);
        else KeepBits24(line, rowBytes, kept);
    }
    return picture;
}

// The capture in the screen's layout, byte for byte as the stages leave it
// when none of them changes anything: each pixel read to 24 bits and written
// back. A screen capture whose layout survives that unchanged is only copied.
Picture PassThrough(const Picture& capture)
{
    if (capture.format() == pixels::PixelFormat::DeviceDefault && RoundTripKeepsChannels(capture))
        return MaskedCopy(capture);
    Picture picture =
        Picture::create(capture.width(), capture.height(), pixels::PixelFormat::DeviceDefault, capture.device());
    if (picture.isEmpty()) throw std::bad_alloc();
    const pixels::PictureRowReader reader(capture);
    pixels::PictureRowWriter writer(picture);
    std::vector<PixelBGR> line(static_cast<size_t>(capture.width()));
    for (int y = 0; y < capture.height(); ++y) {
        reader.read(y, 0, capture.width(), line.data());
        writer.write(y, 0, capture.width(), line.data());
    }
    return picture;
}

// Sizes, snapped angle and sanitised options of one run.
struct RunPlan {
    PictureOptions options;
    FramedSize size;
    int angle = 0;
};

RunPlan PlanRun(const Picture& capture, const PictureOptions& options, bool explicitSize, int width, int height)
{
    RunPlan plan;
    plan.options = Sanitised(options);
    plan.angle = SnapRotation(plan.options.rotation);
    plan.size = ComputeFramedSize(explicitSize, width, height, plan.options.resizePercent, plan.options.frame,
                                  capture.width(), capture.height());
    return plan;
}

PipelineResult RunStages(const Picture& capture, const RunPlan& plan)
{
    const PictureOptions& o = plan.options;
    const FramedSize& size = plan.size;
    PipelineResult result;
    result.snappedRotation = plan.angle;
    TPixelBuffer output;
    BuildInnerPicture(capture, o, size, plan.angle, output);

    // Built in the screen's own layout first, so every colour depth starts
    // from the same picture and no conversion loss builds up between runs.
    result.picture = Picture::create(size.width, size.height, pixels::PixelFormat::DeviceDefault, capture.device());
    if (result.picture.isEmpty()) {
        if (size.width > 0 && size.height > 0) throw std::bad_alloc();
        return result;
    }
    DrawFrame(result.picture, size, o.frame, o.frameColor);
    if (!output.isEmpty()) output.DrawTo(result.picture, o.frame, o.frame);
    result.picture.convertTo(pixels::PixelFormatForIndex(o.colorsIndex));
    return result;
}

} // namespace

int SnapRotation(int angle)
{
    if (angle >= -180 && angle <= -170) return -180;
    if (angle >= -100 && angle <= -80) return -90;
    if (angle >= 80 && angle <= 100) return 90;
    if (angle >= 170 && angle <= 180) return 180;
    return angle;
}

bool IsNearQuarterTurn(int angle) { return (angle >= -100 && angle <= -80) || (angle >= 80 && angle <= 100); }

int64_t ScaleByPercent(int length, int percent)
{
    // Extended precision, then the current rounding mode: nearest, ties to even.
    const long double scaled = std::nearbyintl(static_cast<long double>(length) / 100.0L * percent);
    if (scaled >= static_cast<long double>(INT64_MAX)) return INT64_MAX;
    if (scaled <= static_cast<long double>(INT64_MIN)) return INT64_MIN;
    return static_cast<int64_t>(scaled);
}

FramedSize ComputeFramedSize(bool explicitSize, int width, int height, int percent, int frame, int captureWidth,
                             int captureHeight)
{
    frame = std::clamp(frame, 0, 20);
    int64_t pw = explicitSize ? width : ScaleByPercent(width, percent);
    int64_t ph = explicitSize ? height : ScaleByPercent(height, percent);
    pw = std::max<int64_t>(pw, 0);
    ph = std::max<int64_t>(ph, 0);
    // Sides clamped to the int range plus at most 40 of frame: the 64-bit
    // product cannot overflow, where a 32-bit one wraps for sides over 46,340.
    const int64_t W = std::min<int64_t>(pw, INT32_MAX) + 2 * frame;
    const int64_t H = std::min<int64_t>(ph, INT32_MAX) + 2 * frame;
    if (W * H > kMaxFramedPixels) {
        pw = std::max(captureWidth, 0);
        ph = std::max(captureHeight, 0);
    }
    // A framed side must itself fit an int.
    pw = std::min<int64_t>(pw, INT32_MAX - 2 * frame);
    ph = std::min<int64_t>(ph, INT32_MAX - 2 * frame);
    FramedSize size;
    size.pictureWidth = static_cast<int>(pw);
    size.pictureHeight = static_cast<int>(ph);
    size.width = size.pictureWidth + 2 * frame;
    size.height = size.pictureHeight + 2 * frame;
    return size;
}

PipelineResult RunPipeline(const Picture& capture, const PictureOptions& options, bool explicitSize, int width,
                           int height)
{
    const RunPlan plan = PlanRun(capture, options, explicitSize, width, height);
    try {
        if (!AtRest(plan.options, plan.angle, plan.size, capture)) return RunStages(capture, plan);
        PipelineResult result;
        result.snappedRotation = plan.angle;
        result.picture = PassThrough(capture);
        result.picture.convertTo(pixels::PixelFormatForIndex(plan.options.colorsIndex));
        return result;
    } catch (const std::bad_alloc&) {
        // Whichever buffer failed, the user asked for a picture of this size.
        throw dialogs::PictureMemoryError(plan.size.width, plan.size.height);
    }
}

PipelineResult RunEveryStage(const Picture& capture, const PictureOptions& options, bool explicitSize, int width,
                             int height)
{
    const RunPlan plan = PlanRun(capture, options, explicitSize, width, height);
    try {
        return RunStages(capture, plan);
    } catch (const std::bad_alloc&) {
        throw dialogs::PictureMemoryError(plan.size.width, plan.size.height);
    }
}

} // namespace kaptivus::picture
