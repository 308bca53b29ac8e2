// What every picture codec shares: the byte sink writers fill, the result
// readers return and the limits they keep to. No Qt, no X11, no file I/O.
#pragma once

#include "pixels/Picture.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kaptivus::files {

// Success, or a short English reason ("truncated colour table").
struct [[nodiscard]] CodecStatus {
    std::string error;

    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
    static CodecStatus success() { return {}; }
    static CodecStatus failure(std::string why) { return {why.empty() ? std::string("unknown error") : std::move(why)}; }
};

// A picture read from bytes, or the reason it could not be.
struct [[nodiscard]] ReadResult {
    pixels::Picture picture;
    std::string error;

    bool ok() const { return error.empty(); }
    static ReadResult failure(std::string why)
    {
        ReadResult r;
        r.error = why.empty() ? std::string("unknown error") : std::move(why);
        return r;
    }
};

// Where writers put their bytes. A false return means the bytes were not
// taken (disk full, I/O error); the writer stops and reports it.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    [[nodiscard]] virtual bool write(const void* data, size_t size) = 0;
};

class MemorySink final : public ByteSink {
public:
    [[nodiscard]] bool write(const void* data, size_t size) override
    {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

// What a reader may accept, whatever a header claims: it checks a declared
// size against these before allocating anything for it.
struct ReadLimits {
    size_t maxFileBytes = size_t{512} << 20;
    // No screen needs more, and a few bytes of run-length or deflate data can
    // claim far more: the window would then hold gigabytes for one picture.
    int64_t maxPixels = kMaxPicturePixels;
    int maxSide = 65535;

    static constexpr int64_t kMaxPicturePixels = 100'000'000;

    bool allows(int64_t width, int64_t height) const
    {
        return width > 0 && height > 0 && width <= maxSide && height <= maxSide && width * height <= maxPixels;
    }
    // Why a picture of this size is refused ("the picture is 20000 x 20000
    // pixels, more than the 100 million pixels a picture may have"), or ""
    // when allows() takes it.
    std::string sizeRefusal(int64_t width, int64_t height) const;
};

using Bytes = std::span<const uint8_t>;

} // namespace kaptivus::files
