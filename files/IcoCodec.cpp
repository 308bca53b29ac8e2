// Icon files: a directory of images, each a DIB of doubled height (colour
// rows, then a 1-bit AND mask) or a whole PNG file.
#include "files/IcoCodec.h"

#include "files/Dib.h"
#include "files/PngCodec.h"
#include "pixels/PictureRows.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

namespace kaptivus::files {

using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;

namespace {

constexpr size_t kDirectoryBytes = 6;
constexpr size_t kEntryBytes = 16;
constexpr uint32_t kIconHeaderBytes = 40;
constexpr int kLargestIconSide = 256;
// Real icons hold a few dozen images at most.
constexpr int kMaxAttempts = 256;
constexpr uint8_t kPngSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };

struct Candidate {
    Bytes image;
    int64_t area = 0;
    int depth = 0;
    size_t order = 0;
};

bool IsPng(Bytes image)
{
    return image.size() >= sizeof kPngSignature && std::memcmp(image.data(), kPngSignature, sizeof kPngSignature) == 0;
}

uint32_t LoadBe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The colour rows and the mask count as two pictures of the icon's height.
ReadLimits DoubledHeight(const ReadLimits& limits)
{
    ReadLimits doubled = limits;
    doubled.maxSide = limits.maxSide > INT32_MAX / 2 ? INT32_MAX : limits.maxSide * 2;
    doubled.maxPixels = limits.maxPixels > INT64_MAX / 2 ? INT64_MAX : limits.maxPixels * 2;
    return doubled;
}

// The sides an image's own header claims (for a DIB, of the colour rows
// alone); false when the header is too short to say.
bool ClaimedSize(Bytes image, int64_t& width, int64_t& height)
{
    if (IsPng(image)) {
        if (image.size() < 24) return false;
        width = LoadBe32(image.data() + 16);
        height = LoadBe32(image.data() + 20);
        return true;
    }
    if (image.size() < 12) return false;
    const uint32_t headerBytes = LoadLe(image.data(), 4);
    if (headerBytes != 12 && (headerBytes < 16 || headerBytes > 124)) return false; // not a bitmap header
    if (headerBytes == 12) {
        width = LoadLe(image.data() + 4, 2);
        height = LoadLe(image.data() + 6, 2) / 2;
        return true;
    }
    width = static_cast<int32_t>(LoadLe(image.data() + 4, 4));
    const int64_t doubled = static_cast<int32_t>(LoadLe(image.data() + 8, 4));
    height = (doubled < 0 ? -doubled : doubled) / 2;
    return true;
}

// Size and depth from the image's own header: the directory's one-byte
// sides cannot tell 256 from larger, and are often wrong. An image refused
// for its size leaves the reason in `refusal`.
bool Measure(Bytes image, const ReadLimits& limits, Candidate& c, std::string& refusal)
{
    int64_t width = 0, height = 0;
    if (!ClaimedSize(image, width, height)) return false;
    if (std::string why = limits.sizeRefusal(width, height); !why.empty()) {
        refusal = std::move(why);
        return false;
    }
    if (IsPng(image)) {
        if (image.size() < 33) return false; // signature, IHDR length and type, 13 bytes of IHDR
        static constexpr int kChannels[7] = { 1, 0, 3, 1, 2, 0, 4 };
        c.depth = image[25] < 7 ? image[24] * kChannels[image[25]] : 0;
    } else {
        DibHeader h;
        if (!ParseDibHeader(image, h, DoubledHeight(limits))) return false;
        width = h.width;
        height = h.height / 2;
        c.depth = h.bitCount;
    }
    if (!limits.allows(width, height)) return false;
    c.image = image;
    c.area = width * height;
    return true;
}

// Colour rows drawn onto white: through the alpha channel where a 32-bit
// image has one, else through the AND mask (a set bit inverts what is behind).
void Compose(const Picture& colours, const DibHeader& h, Bytes mask, Picture& out)
{
    const int w = h.width;
    const int64_t maskStride = DibStride(w, 1);
    const bool hasMask = mask.size() >= static_cast<uint64_t>(maskStride * h.height);
    bool hasAlpha = false;
    if (h.bitCount == 32 && h.compression == kBiRgb)
        for (int y = 0; y < h.height && !hasAlpha; ++y)
            for (int x = 0; x < w && !hasAlpha; ++x)
                hasAlpha = colours.scanLine(y)[4 * x + 3] != 0;
    const pixels::PictureRowReader reader(colours);
    std::vector<PixelBGR> line(static_cast<size_t>(w));
    for (int y = 0; y < h.height; ++y) {
        reader.read(y, 0, w, line.data());
        const uint8_t* maskRow = hasMask ? mask.data() + (h.topDown ? y : h.height - 1 - y) * maskStride : nullptr;
        for (int x = 0; x < w; ++x) {
            PixelBGR& p = line[static_cast<size_t>(x)];
            if (hasAlpha) {
                const int a = colours.scanLine(y)[4 * x + 3];
                const auto over = [a](uint8_t v) { return static_cast<uint8_t>((v * a + 255 * (255 - a) + 127) / 255); };
                p = { over(p.b), over(p.g), over(p.r) };
            } else if (maskRow && (maskRow[x >> 3] >> (7 - (x & 7))) & 1) {
                p = { static_cast<uint8_t>(~p.b), static_cast<uint8_t>(~p.g), static_cast<uint8_t>(~p.r) };
            }
        }
        std::memcpy(out.scanLine(y), line.data(), line.size() * sizeof(PixelBGR));
    }
}

ReadResult DecodeDibImage(Bytes image, const ReadLimits& limits)
{
    DibHeader h;
    if (CodecStatus status = ParseDibHeader(image, h, DoubledHeight(limits)); !status)
        return ReadResult::failure(status.error);
    if (h.compression != kBiRgb && h.compression != kBiBitfields)
        return ReadResult::failure("compressed icon images are not supported");
    h.height /= 2;
    if (!limits.allows(h.width, h.height)) return ReadResult::failure("unsupported icon size");
    const Bytes bits = image.subspan(h.infoBytes);
    ReadResult colours = DecodeDibBits(h, bits, limits);
    if (!colours.ok()) return colours;
    ReadResult result;
    result.picture = Picture::create(h.width, h.height, PixelFormat::Bits24);
    if (result.picture.isEmpty()) return ReadResult::failure("not enough memory for the picture");
    const auto colourBytes = static_cast<size_t>(DibStride(h.width, h.bitCount) * h.height);
    const Bytes mask = colourBytes < bits.size() ? bits.subspan(colourBytes) : Bytes {};
    Compose(colours.picture, h, mask, result.picture);
    return result;
}

// Each distinct image once: hostile directories repeat one entry thousands
// of times. Entries starting at the same offset are one image; the longest
// declared extent of it is kept.
std::vector<Candidate> ListImages(Bytes bytes, const ReadLimits& limits, std::string& error)
{
    std::vector<Candidate> found;
    if (bytes.size() < kDirectoryBytes || LoadLe(bytes.data(), 2) != 0) {
        error = "not an icon file";
        return found;
    }
    const uint32_t type = LoadLe(bytes.data() + 2, 2); // 1 icon, 2 cursor
    const uint32_t count = LoadLe(bytes.data() + 4, 2);
    if ((type != 1 && type != 2) || count == 0) {
        error = "not an icon file";
        return found;
    }
    const size_t directoryEnd = kDirectoryBytes + kEntryBytes * count;
    if (directoryEnd > bytes.size()) {
        error = "truncated icon directory";
        return found;
    }
    std::map<uint32_t, std::pair<size_t, size_t>> images; // offset: extent, first entry
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes.data() + kDirectoryBytes + kEntryBytes * i;
        const uint32_t offset = LoadLe(entry + 12, 4);
        if (offset < directoryEnd || offset >= bytes.size()) continue;
        // A declared size past the end is cut to what the file holds.
        const size_t extent = std::min<size_t>(LoadLe(entry + 8, 4), bytes.size() - offset);
        const auto [at, added] = images.try_emplace(offset, extent, i);
        if (!added) at->second.first = std::max(at->second.first, extent);
    }
    std::string refusal;
    for (const auto& [offset, image] : images) {
        Candidate c;
        c.order = image.second;
        if (Measure(bytes.subspan(offset, image.first), limits, c, refusal)) found.push_back(c);
    }
    if (found.empty()) error = refusal.empty() ? "no readable image in the icon" : refusal;
    return found;
}

// Images tried, largest first, until one reads. The images tried may not
// decode more pixels, all told, than one picture of the limit, nor number
// more than kMaxAttempts: a file of many damaged images is refused in time.
ReadResult DecodeFirstReadable(const std::vector<Candidate>& images, const ReadLimits& limits, IcoWork& work)
{
    ReadResult first;
    for (const Candidate& c : images) {
        if (work.attempts >= kMaxAttempts || c.area > limits.maxPixels - work.pixels) {
            if (first.ok()) first = ReadResult::failure("too many images to try in the icon");
            break;
        }
        ++work.attempts;
        work.pixels += c.area;
        ReadResult result = IsPng(c.image) ? ReadPng(c.image, limits) : DecodeDibImage(c.image, limits);
        if (result.ok() && !result.picture.isEmpty()) return result;
        if (first.ok()) first = ReadResult::failure(result.ok() ? "empty icon image" : result.error);
    }
    return first;
}

} // namespace

ReadResult ReadIco(Bytes bytes, const ReadLimits& limits, IcoWork* work)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("the file is larger than allowed");
    std::string error;
    std::vector<Candidate> images = ListImages(bytes, limits, error);
    if (images.empty()) return ReadResult::failure(error);
    // The largest, then the deepest; a damaged one gives way to the next.
    std::sort(images.begin(), images.end(), [](const Candidate& a, const Candidate& b) {
        if (a.area != b.area) return a.area > b.area;
        if (a.depth != b.depth) return a.depth > b.depth;
        return a.order < b.order;
    });
    IcoWork spent;
    return DecodeFirstReadable(images, limits, work ? *work : spent);
}

CodecStatus WriteIco(const Picture& picture, ByteSink& sink)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    const int w = picture.width();
    const int h = picture.height();
    if (w > kLargestIconSide || h > kLargestIconSide)
        return CodecStatus::failure("icons hold at most 256 x 256 pixels");
    // One 32-bit image: colour rows with alpha, then the AND mask, both bottom-up.
    const size_t colourStride = static_cast<size_t>(w) * 4;
    const auto maskStride = static_cast<size_t>(DibStride(w, 1));
    const size_t imageBytes = kIconHeaderBytes + (colourStride + maskStride) * static_cast<size_t>(h);
    std::vector<uint8_t> file(kDirectoryBytes + kEntryBytes + imageBytes, 0);
    uint8_t* p = file.data();
    StoreLe(p + 2, 2, 1);
    StoreLe(p + 4, 2, 1);
    uint8_t* entry = p + kDirectoryBytes;
    entry[0] = static_cast<uint8_t>(w & 0xFF); // 256 is stored as 0
    entry[1] = static_cast<uint8_t>(h & 0xFF);
    StoreLe(entry + 4, 2, 1);
    StoreLe(entry + 6, 2, 32);
    StoreLe(entry + 8, 4, static_cast<uint32_t>(imageBytes));
    StoreLe(entry + 12, 4, static_cast<uint32_t>(kDirectoryBytes + kEntryBytes));
    uint8_t* header = entry + kEntryBytes;
    StoreLe(header, 4, kIconHeaderBytes);
    StoreLe(header + 4, 4, static_cast<uint32_t>(w));
    StoreLe(header + 8, 4, static_cast<uint32_t>(2 * h));
    StoreLe(header + 12, 2, 1);
    StoreLe(header + 14, 2, 32);
    StoreLe(header + 20, 4, static_cast<uint32_t>(imageBytes - kIconHeaderBytes));
    uint8_t* colours = header + kIconHeaderBytes;
    uint8_t* mask = colours + colourStride * static_cast<size_t>(h);
    // The picture's transparent colour, if it has one, becomes see-through.
    const PixelBGR clear = pixels::ColorToPixel(picture.transparentColor());
    const pixels::PictureRowReader reader(picture);
    std::vector<PixelBGR> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        reader.read(y, 0, w, line.data());
        const size_t row = static_cast<size_t>(h - 1 - y);
        uint8_t* out = colours + row * colourStride;
        for (int x = 0; x < w; ++x) {
            const PixelBGR c = line[static_cast<size_t>(x)];
            if (picture.transparent() && c == clear) {
                mask[row * maskStride + static_cast<size_t>(x >> 3)] |= static_cast<uint8_t>(0x80u >> (x & 7));
                continue; // black and fully transparent
            }
            out[4 * x] = c.b;
            out[4 * x + 1] = c.g;
            out[4 * x + 2] = c.r;
            out[4 * x + 3] = 0xFF;
        }
    }
    if (!sink.write(file.data(), file.size())) return CodecStatus::failure("the icon could not be written");
    return CodecStatus::success();
}

} // namespace kaptivus::files
