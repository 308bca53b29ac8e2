// The GIF writer: a picture becomes one image with a local colour table, an
// optional transparent entry, and LZW data, in GIF87a unless GIF89a is needed.
#include "files/GifPicture.h"

#include "files/GifImage.h"
#include "files/GifLzw.h"
#include "files/GifOctree.h"
#include "pixels/PictureRows.h"

#include <algorithm>
#include <array>
#include <new>
#include <numeric>
#include <optional>

namespace kaptivus::files {

using pixels::Color;
using pixels::Picture;
using pixels::PixelFormat;

namespace {

constexpr int kMaxGifSide = 65535;

bool IsIndexed(const Picture& picture) { return GifTakesOwnTable(picture); }

Color ColourAt(const std::vector<Color>& table, unsigned index)
{
    return index < table.size() ? table[index] : Color { 0xFFFFFFFFu };
}

void TakeIndexed(const Picture& picture, Color key, GifImage& image, std::vector<uint8_t>* mask)
{
    const std::vector<Color>& palette = picture.palette();
    image.colours.assign(palette.begin(), palette.begin() + static_cast<long>(std::min<size_t>(palette.size(), 256)));
    const int bits = picture.storageBits();
    const int perByteLog2 = pixels::PixelsPerByteLog2(bits);
    const Color transparent = key & 0xFFFFFF;
    uint8_t* out = image.indices.data();
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* line = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const unsigned index = pixels::LoadIndex(line, x, bits, perByteLog2);
            if (mask) (*mask)[static_cast<size_t>(out - image.indices.data())] = ColourAt(palette, index) == transparent;
            *out++ = static_cast<uint8_t>(index);
        }
    }
}

// The pixels that read at 24 bits as the key colour.
std::vector<uint8_t> TrueColourMask(const Picture& picture, Color keyColour)
{
    const pixels::PixelBGR key = pixels::ColorToPixel(keyColour);
    std::vector<uint8_t> mask(static_cast<size_t>(picture.width()) * static_cast<size_t>(picture.height()));
    const pixels::PictureRowReader reader(picture);
    std::vector<pixels::PixelBGR> line(static_cast<size_t>(picture.width()));
    uint8_t* out = mask.data();
    for (int y = 0; y < picture.height(); ++y) {
        reader.read(y, 0, picture.width(), line.data());
        for (int x = 0; x < picture.width(); ++x)
            *out++ = line[static_cast<size_t>(x)] == key;
    }
    return mask;
}

CodecStatus AddColour(std::vector<Color>& table, Color colour)
{
    if (table.size() >= 256) return CodecStatus::failure(kGifTableFull);
    table.push_back(colour);
    return CodecStatus::success();
}

int TableBits(size_t colours)
{
    int bits = 1;
    while ((size_t { 1 } << bits) < colours)
        ++bits;
    return bits;
}

void PutWord(std::vector<uint8_t>& out, int value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutHeaderAndScreen(const GifImage& image, int bits, std::vector<uint8_t>& out)
{
    const char* header = image.transparent || image.sorted ? "GIF89a" : "GIF87a";
    out.insert(out.end(), header, header + 6);
    PutWord(out, image.width);
    PutWord(out, image.height);
    // No global table: the resolution and size fields just echo the image's depth.
    out.push_back(static_cast<uint8_t>((bits - 1) << 4 | (bits - 1)));
    out.push_back(0); // background colour index
    out.push_back(0); // pixel aspect ratio
}

void PutImage(const GifImage& image, int bits, std::vector<uint8_t>& out)
{
    if (image.transparent) {
        const uint8_t control[] = { 0x21, 0xF9, 4, 0x01, 0, 0, image.transparentIndex, 0 };
        out.insert(out.end(), std::begin(control), std::end(control));
    }
    out.push_back(0x2C);
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, image.width);
    PutWord(out, image.height);
    out.push_back(static_cast<uint8_t>(0x80 | (image.sorted ? 0x20 : 0) | (bits - 1)));
    for (size_t i = 0; i < (size_t { 1 } << bits); ++i) {
        const Color c = i < image.colours.size() ? image.colours[i] : 0;
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
        out.push_back(static_cast<uint8_t>((c >> 16) & 0xFF));
    }
    AppendGifLzw(image.indices, std::max(2, bits), out);
}

CodecStatus Write(const pixels::Picture& picture, std::optional<Color> transparent, ByteSink& sink)
{
    GifImage image;
    if (CodecStatus status = GifImageOfPicture(picture, transparent, image); !status) return status;
    return WriteGifImage(image, sink);
}

} // namespace

bool GifTakesOwnTable(const Picture& picture)
{
    const int bits = picture.storageBits();
    return (bits == 1 || bits == 4 || bits == 8) && picture.redMask() == 0;
}

CodecStatus GifImageOfPicture(const Picture& picture, std::optional<Color> transparent, GifImage& image)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    if (picture.width() > kMaxGifSide || picture.height() > kMaxGifSide)
        return CodecStatus::failure("a GIF image is at most 65535 pixels wide and high");
    const bool indexed = IsIndexed(picture);
    image = GifImage {};
    image.width = picture.width();
    image.height = picture.height();
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    std::vector<uint8_t> mask;
    if (indexed) {
        image.indices.resize(count);
        if (transparent) mask.resize(count);
        TakeIndexed(picture, transparent.value_or(0), image, transparent ? &mask : nullptr);
    } else {
        // The mask comes from the picture before reduction: only pixels of
        // exactly the transparent colour become transparent.
        if (transparent) mask = TrueColourMask(picture, *transparent);
        GifReduction reduction = ReduceForGif(picture);
        if (reduction.indices.size() != count) return CodecStatus::failure("not enough memory to reduce the colours");
        image.colours = std::move(reduction.palette);
        image.indices = std::move(reduction.indices);
    }
    if (!transparent) return CodecStatus::success();
    return ApplyGifTransparency(image, mask);
}

CodecStatus GifImageFromPicture(Picture& picture, GifImage& image)
{
    if (!picture.isEmpty() && !IsIndexed(picture)) {
        picture.convertTo(PixelFormat::Bits24);
        if (picture.format() != PixelFormat::Bits24)
            return CodecStatus::failure("not enough memory to convert the picture to 24 bits");
    }
    const std::optional<Color> transparent =
        picture.transparent() ? std::optional<Color>(picture.transparentColor()) : std::nullopt;
    return GifImageOfPicture(picture, transparent, image);
}

void OptimiseGifTable(GifImage& image)
{
    const size_t size = image.colours.size();
    std::array<uint64_t, 256> uses {};
    for (const uint8_t index : image.indices)
        ++uses[index];
    for (size_t i = size; i < 256; ++i)
        if (uses[i] != 0) return; // an index outside the table: the writer reports it
    std::vector<uint8_t> order(size);
    std::iota(order.begin(), order.end(), uint8_t { 0 });
    std::stable_sort(order.begin(), order.end(), [&](uint8_t a, uint8_t b) { return uses[a] > uses[b]; });
    while (!order.empty() && uses[order.back()] == 0)
        order.pop_back();
    std::array<uint8_t, 256> renumber {};
    std::vector<Color> colours(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        renumber[order[i]] = static_cast<uint8_t>(i);
        colours[i] = image.colours[order[i]];
    }
    for (uint8_t& index : image.indices)
        index = renumber[index];
    image.colours = std::move(colours);
    image.sorted = true;
}

CodecStatus ApplyGifTransparency(GifImage& image, const std::vector<uint8_t>& mask)
{
    OptimiseGifTable(image);
    if (image.colours.size() >= 256) return CodecStatus::success();
    if (CodecStatus status = AddColour(image.colours, 0); !status) return status;
    image.sorted = false;
    const uint8_t entry = static_cast<uint8_t>(image.colours.size() - 1);
    bool any = false;
    const size_t count = std::min(mask.size(), image.indices.size());
    for (size_t i = 0; i < count; ++i) {
        if (!mask[i]) continue;
        image.indices[i] = entry;
        any = true;
    }
    if (!any) {
        image.colours.pop_back();
        return CodecStatus::success();
    }
    image.transparent = true;
    image.transparentIndex = entry;
    return CodecStatus::success();
}

CodecStatus WriteGifImage(const GifImage& image, ByteSink& sink)
{
    if (image.width < 1 || image.height < 1 || image.width > kMaxGifSide || image.height > kMaxGifSide
        || image.indices.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return CodecStatus::failure("the image has no pixels");
    if (image.colours.size() > 256) return CodecStatus::failure(kGifTableFull);
    const uint8_t highest = *std::max_element(image.indices.begin(), image.indices.end());
    if (highest >= image.colours.size()) return CodecStatus::failure(kGifColourNotInTable);
    const int bits = TableBits(image.colours.size());
    std::vector<uint8_t> out;
    out.reserve(image.indices.size() / 2 + 1024);
    PutHeaderAndScreen(image, bits, out);
    PutImage(image, bits, out);
    out.push_back(0x3B);
    if (!sink.write(out.data(), out.size())) return CodecStatus::failure("the file could not be written");
    return CodecStatus::success();
}

CodecStatus WriteGif(pixels::Picture& picture, ByteSink& sink)
{
    try {
        GifImage image;
        if (CodecStatus status = GifImageFromPicture(picture, image); !status) return status;
        return WriteGifImage(image, sink);
    } catch (const std::bad_alloc&) {
        return CodecStatus::failure("not enough memory to write the GIF file");
    }
}

CodecStatus WriteGif(const pixels::Picture& picture, std::optional<pixels::Color> transparent, ByteSink& sink)
{
    try {
        return Write(picture, transparent, sink);
    } catch (const std::bad_alloc&) {
        return CodecStatus::failure("not enough memory to write the GIF file");
    }
}

} // namespace kaptivus::files
