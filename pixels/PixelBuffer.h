// The 24-bit top-down pixel buffer the picture options work on, with its two
// resizes. No Qt, no X11: pictures come in and go out as kaptivus::pixels::Picture.
#pragma once

#include "pixels/PixelBase.h"

namespace kaptivus::pixels {

class Picture;

class TPixelBuffer final : public TPixelBase {
public:
    TPixelBuffer() = default;
    TPixelBuffer(const TPixelBuffer&) = delete;
    TPixelBuffer& operator=(const TPixelBuffer&) = delete;
    ~TPixelBuffer() override = default;

    // Nothing when the size is unchanged (the pixels are kept); otherwise new,
    // zeroed memory. Negative sizes count as 0. Returns false when the memory
    // cannot be had (the buffer is then empty).
    bool Allocate(int width, int height);
    // Takes the picture's size and its pixels converted to 24 bits (an empty
    // picture gives an empty buffer). False when the memory cannot be had.
    bool LoadFromBitmap(const Picture& picture);
    // Same size and bytes as the source.
    bool AssignFrom(const TPixelBase& source);
    // Copies the whole buffer 1:1 onto the picture at (x, y), clipped to it,
    // in the picture's own format (nearest table colour for indexed ones).
    void DrawTo(Picture& picture, int x, int y) const;

    // Fill the already allocated destination from this buffer, with the exact
    // fixed-point rules of the picture options. An empty source or destination
    // leaves the destination as it is.
    void ResizeNearest(TPixelBuffer& destination) const;
    void ResizeBilinear(TPixelBuffer& destination) const;

private:
    std::vector<uint8_t> m_memory;
};

} // namespace kaptivus::pixels
