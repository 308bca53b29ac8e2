// Reads PNG files through libpng from a byte span. No Qt, no X11, no file
// I/O. (Writing is in PngWrite.cpp.)
//
// libpng reports a fatal error through our error callback, which long-jumps
// back to RunGuarded, the one function holding a setjmp. The steps run there
// keep only trivially destructible locals; C++ objects live in the caller.
//
// Reading gives a 24-bit picture whatever the file holds. The picture type
// has no alpha channel, so partly transparent pixels are laid over white, as
// a viewer on a white page would show them: v = (v·a + 255·(255 − a)) / 255,
// rounded to nearest.
#include "files/PngCodec.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <png.h>

namespace kaptivus::files {

namespace {

using pixels::Picture;
using pixels::PixelFormat;

// Ancillary chunks beyond these are dropped rather than held in memory.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;
constexpr png_uint_32 kMaxCachedChunks = 1000;

struct PngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    jmp_buf jump;
    std::array<char, 256> message {};
};

void ErrorCallback(png_structp png, png_const_charp text)
{
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message.data(), job->message.size(), "%s", text ? text : "");
    std::longjmp(job->jump, 1);
}

void WarningCallback(png_structp, png_const_charp) {}

// The one setjmp: runs a step of libpng work, false when the library bailed out.
bool RunGuarded(PngJob& job, void (*step)(void*), void* context)
{
    if (setjmp(job.jump) != 0) return false;
    step(context);
    return true;
}

std::string ErrorText(const PngJob& job)
{
    return job.message[0] ? std::string(job.message.data()) : std::string("the PNG library failed");
}

// ---- Reading ---------------------------------------------------------------

struct PngDecoder : PngJob {
    Bytes bytes;
    size_t offset = 0;
    uint8_t* const* rows = nullptr;
    Picture* picture = nullptr; // what takeRow fills when rows come one at a time
    void (*takeRow)(PngDecoder*, int y) = nullptr;

    ~PngDecoder()
    {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void ReadCallback(png_structp png, png_bytep data, size_t size)
{
    auto* decoder = static_cast<PngDecoder*>(png_get_io_ptr(png));
    if (size > decoder->bytes.size() - decoder->offset) png_error(png, "the file ends before its picture data");
    std::memcpy(data, decoder->bytes.data() + decoder->offset, size);
    decoder->offset += size;
}

void ReadInfo(void* context)
{
    auto* d = static_cast<PngDecoder*>(context);
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, static_cast<PngJob*>(d), ErrorCallback, WarningCallback);
    if (!d->png) return;
    d->info = png_create_info_struct(d->png);
    if (!d->info) return;
    // The size is checked by our own limits after the header, with our own
    // message; libpng allocates nothing for the rows before the transforms.
    png_set_user_limits(d->png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(d->png, kMaxChunkBytes);
    png_set_chunk_cache_max(d->png, kMaxCachedChunks);
    png_set_read_fn(d->png, d, ReadCallback);
    png_read_info(d->png, d->info);
}

void SetTransforms(void* context)
{
    auto* d = static_cast<PngDecoder*>(context);
    // Whatever the file holds comes out as 8-bit blue, green, red (and alpha).
    png_set_expand(d->png);
    png_set_scale_16(d->png);
    png_set_gray_to_rgb(d->png);
    png_set_bgr(d->png);
    png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
}

void ReadRows(void* context)
{
    auto* d = static_cast<PngDecoder*>(context);
    png_read_image(d->png, const_cast<png_bytepp>(d->rows));
}

// Rows one at a time into d->rows[0], each handed to d->takeRow: a file that
// is not interlaced never needs more than the finished picture.
void ReadRowByRow(void* context)
{
    auto* d = static_cast<PngDecoder*>(context);
    const auto height = static_cast<int>(png_get_image_height(d->png, d->info));
    for (int y = 0; y < height; ++y) {
        png_read_row(d->png, d->rows[0], nullptr);
        d->takeRow(d, y);
    }
}

uint8_t OverWhite(unsigned v, unsigned a) { return static_cast<uint8_t>((v * a + 255u * (255u - a) + 127u) / 255u); }

// Blue, green, red, alpha pixels laid over white as blue, green, red.
void LayOverWhite(const uint8_t* bgra, int width, uint8_t* bgr)
{
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned a = bgra[3];
        bgr[0] = OverWhite(bgra[0], a);
        bgr[1] = OverWhite(bgra[1], a);
        bgr[2] = OverWhite(bgra[2], a);
    }
}

void LayOverWhite(Picture& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x, p += 4) {
            const unsigned a = p[3];
            for (int c = 0; c < 3; ++c)
                p[c] = OverWhite(p[c], a);
            p[3] = 0;
        }
    }
}

// Interlaced files fill every row over seven passes, so the rows (with
// alpha, if any) are held whole until the last pass.
ReadResult DecodeInterlaced(PngDecoder& decoder, int width, int height, int channels)
{
    Picture picture = Picture::create(width, height, channels == 4 ? PixelFormat::Bits32 : PixelFormat::Bits24);
    std::vector<uint8_t*> rows;
    try {
        rows.resize(static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("not enough memory for the picture");
    }
    if (picture.isEmpty()) return ReadResult::failure("not enough memory for the picture");
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = picture.scanLine(y);
    decoder.rows = rows.data();
    if (!RunGuarded(decoder, ReadRows, &decoder)) return ReadResult::failure(ErrorText(decoder));
    if (channels == 4) {
        LayOverWhite(picture);
        picture.convertTo(PixelFormat::Bits24);
        if (picture.format() != PixelFormat::Bits24) return ReadResult::failure("not enough memory for the picture");
    }
    ReadResult result;
    result.picture = std::move(picture);
    return result;
}

ReadResult DecodeSequential(PngDecoder& decoder, int width, int height, int channels)
{
    ReadResult result;
    result.picture = Picture::create(width, height, PixelFormat::Bits24);
    std::vector<uint8_t> line;
    try {
        line.resize(static_cast<size_t>(width) * static_cast<size_t>(channels));
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("not enough memory for the picture");
    }
    if (result.picture.isEmpty()) return ReadResult::failure("not enough memory for the picture");
    uint8_t* const rows[1] = { line.data() };
    decoder.rows = rows;
    decoder.picture = &result.picture;
    decoder.takeRow = [](PngDecoder* d, int y) {
        uint8_t* out = d->picture->scanLine(y);
        if (png_get_channels(d->png, d->info) == 4)
            LayOverWhite(d->rows[0], d->picture->width(), out);
        else
            std::memcpy(out, d->rows[0], static_cast<size_t>(d->picture->width()) * 3);
    };
    if (!RunGuarded(decoder, ReadRowByRow, &decoder)) return ReadResult::failure(ErrorText(decoder));
    return result;
}

ReadResult DecodeImage(PngDecoder& decoder)
{
    const int width = static_cast<int>(png_get_image_width(decoder.png, decoder.info));
    const int height = static_cast<int>(png_get_image_height(decoder.png, decoder.info));
    const int channels = png_get_channels(decoder.png, decoder.info);
    if (png_get_bit_depth(decoder.png, decoder.info) != 8 || (channels != 3 && channels != 4)
        || png_get_rowbytes(decoder.png, decoder.info) != static_cast<size_t>(width) * static_cast<size_t>(channels))
        return ReadResult::failure("the file's pixel layout is not supported");
    if (png_get_interlace_type(decoder.png, decoder.info) != PNG_INTERLACE_NONE)
        return DecodeInterlaced(decoder, width, height, channels);
    return DecodeSequential(decoder, width, height, channels);
}

} // namespace

ReadResult ReadPng(Bytes bytes, const ReadLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("the file is too large");
    auto decoder = std::make_unique<PngDecoder>();
    decoder->bytes = bytes;
    const bool started = RunGuarded(*decoder, ReadInfo, decoder.get());
    if (!decoder->png || !decoder->info) return ReadResult::failure("the PNG library could not start");
    if (!started) return ReadResult::failure(ErrorText(*decoder));
    const png_uint_32 width = png_get_image_width(decoder->png, decoder->info);
    const png_uint_32 height = png_get_image_height(decoder->png, decoder->info);
    if (std::string refusal = limits.sizeRefusal(width, height); !refusal.empty())
        return ReadResult::failure(std::move(refusal));
    if (!RunGuarded(*decoder, SetTransforms, decoder.get())) return ReadResult::failure(ErrorText(*decoder));
    return DecodeImage(*decoder);
}

} // namespace kaptivus::files
