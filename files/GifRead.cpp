// The GIF reader: the first image of a file, decoded by giflib from memory and
// placed at its position on an 8-bit picture of the logical screen's size.
#include "files/GifImage.h"
#include "files/GifPicture.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace kaptivus::files {

using pixels::Color;
using pixels::Picture;

namespace {

struct MemoryInput {
    Bytes bytes;
    size_t position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int wanted)
{
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    if (wanted <= 0) return 0;
    const size_t n = std::min(static_cast<size_t>(wanted), input->bytes.size() - input->position);
    std::memcpy(out, input->bytes.data() + input->position, n);
    input->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

ReadResult Damaged(int error)
{
    const char* reason = GifErrorString(error);
    return ReadResult::failure(std::string("damaged GIF file: ") + (reason ? reason : "unknown fault"));
}

// The colours of a giflib colour map; without one, a grey ramp so that the
// indices still show.
std::vector<Color> PaletteOf(const ColorMapObject* map)
{
    std::vector<Color> palette;
    if (!map || !map->Colors || map->ColorCount <= 0) {
        for (Color v = 0; v < 256; ++v)
            palette.push_back(v | v << 8 | v << 16);
        return palette;
    }
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
        const GifColorType& c = map->Colors[i];
        palette.push_back(Color { c.Red } | Color { c.Green } << 8 | Color { c.Blue } << 16);
    }
    return palette;
}

// Skips an extension, noting the transparent index of a graphic control block.
bool ReadExtension(GifFileType* gif, int& transparentIndex)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(4, block + 1, &control) == GIF_OK) transparentIndex = control.TransparentColor;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// The rows an interlaced image sends, in the order it sends them.
int SourceRow(int line, int height, bool interlaced)
{
    if (!interlaced) return line;
    static constexpr int start[] = { 0, 4, 2, 1 };
    static constexpr int step[] = { 8, 8, 4, 2 };
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = height > start[pass] ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (line < rows) return start[pass] + line * step[pass];
        line -= rows;
    }
    return -1;
}

ReadResult ReadImage(GifFileType* gif, int transparentIndex, const ReadLimits& limits)
{
    if (DGifGetImageDesc(gif) == GIF_ERROR) return Damaged(gif->Error);
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0)
        return ReadResult::failure("the GIF image has no pixels");
    // An image reaching past the logical screen widens it rather than being cut.
    const int64_t width = std::max<int64_t>(gif->SWidth, int64_t { desc.Left } + desc.Width);
    const int64_t height = std::max<int64_t>(gif->SHeight, int64_t { desc.Top } + desc.Height);
    if (std::string refusal = limits.sizeRefusal(width, height); !refusal.empty())
        return ReadResult::failure(std::move(refusal));
    ReadResult result;
    result.picture = Picture::create(static_cast<int>(width), static_cast<int>(height), pixels::PixelFormat::Bits8);
    Picture& picture = result.picture;
    if (picture.isEmpty()) return ReadResult::failure("not enough memory for the GIF image");
    const std::vector<Color> palette = PaletteOf(desc.ColorMap ? desc.ColorMap : gif->SColorMap);
    const bool transparent = transparentIndex >= 0 && static_cast<size_t>(transparentIndex) < palette.size();
    // What the image leaves uncovered shows as its transparent colour, if any.
    const uint8_t fill = transparent ? static_cast<uint8_t>(transparentIndex) : 0;
    for (int y = 0; y < picture.height(); ++y)
        std::memset(picture.scanLine(y), fill, static_cast<size_t>(picture.width()));
    std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
    for (int i = 0; i < desc.Height; ++i) {
        if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return Damaged(gif->Error);
        const int row = SourceRow(i, desc.Height, desc.Interlace);
        std::memcpy(picture.scanLine(desc.Top + row) + desc.Left, line.data(), line.size());
    }
    // Marked transparent only when that colour stands for that one entry.
    if (transparent
        && std::count(palette.begin(), palette.end(), palette[static_cast<size_t>(transparentIndex)]) == 1)
        picture.setTransparent(true, palette[static_cast<size_t>(transparentIndex)]);
    picture.setPalette(palette);
    return result;
}

ReadResult Read(Bytes bytes, const ReadLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("the GIF file is larger than allowed");
    if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF", 3) != 0)
        return ReadResult::failure("not a GIF file");
    if (std::memcmp(bytes.data() + 3, "87a", 3) != 0 && std::memcmp(bytes.data() + 3, "89a", 3) != 0)
        return ReadResult::failure(kGifUnknownVersion);
    MemoryInput input { bytes, 0 };
    int error = 0;
    GifHandle gif(DGifOpen(&input, ReadFromMemory, &error));
    if (!gif) return Damaged(error);
    int transparentIndex = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return Damaged(gif->Error);
        switch (record) {
        case IMAGE_DESC_RECORD_TYPE:
            return ReadImage(gif.get(), transparentIndex, limits);
        case EXTENSION_RECORD_TYPE:
            if (!ReadExtension(gif.get(), transparentIndex)) return Damaged(gif->Error);
            break;
        case TERMINATE_RECORD_TYPE:
            return ReadResult::failure("the GIF file holds no image");
        default:
            return ReadResult::failure("damaged GIF file: unknown block");
        }
    }
}

} // namespace

ReadResult ReadGif(Bytes bytes, const ReadLimits& limits)
{
    try {
        return Read(bytes, limits);
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("not enough memory for the GIF image");
    }
}

} // namespace kaptivus::files
