// The one wording of a size refusal, shared by every reader.
#include "files/Codec.h"

namespace kaptivus::files {

namespace {

std::string PixelCount(int64_t count)
{
    if (count >= 1'000'000 && count % 1'000'000 == 0) return std::to_string(count / 1'000'000) + " million";
    return std::to_string(count);
}

} // namespace

std::string ReadLimits::sizeRefusal(int64_t width, int64_t height) const
{
    if (allows(width, height)) return {};
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) return "the picture has no pixels (" + size + ")";
    if (width > maxSide || height > maxSide)
        return "the picture is " + size + " pixels, wider or taller than " + std::to_string(maxSide) + " pixels";
    return "the picture is " + size + " pixels, more than the " + PixelCount(maxPixels) + " pixels a picture may have";
}

} // namespace kaptivus::files
