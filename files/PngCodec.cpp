// PNG files through libpng, reading from a byte span and writing to a
// ByteSink. No Qt, no X11, no file I/O.
//
// libpng reports a fatal error through our error callback, which long-jumps
// back to RunGuarded, the one function holding a setjmp. The steps run there
// keep only trivially destructible locals; C++ objects live in the caller.
//
// Reading gives a 24-bit picture whatever the file holds. The picture type
// has no alpha channel, so partly transparent pixels are laid over white, as
// a viewer on a white page would show them: v = (v·a + 255·(255 − a)) / 255,
// rounded to nearest. Writing keeps indexed pictures indexed, everything else
// becomes 8-bit RGB; a transparent picture's colour becomes the tRNS chunk.
#include "files/PngCodec.h"

#include "pixels/PictureRows.h"

#include <algorithm>
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
using pixels::PixelBGR;
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

// ---- Writing ---------------------------------------------------------------

struct PngEncoder : PngJob {
    ByteSink* sink = nullptr;
    bool sinkFailed = false;
    const Picture* picture = nullptr;
    const pixels::PictureRowReader* reader = nullptr; // null when the stored rows go out as they are
    PixelBGR* line = nullptr;
    bool indexed = false;
    int bitDepth = 8;
    const std::vector<png_color>* palette = nullptr;
    const std::vector<png_byte>* alphas = nullptr; // tRNS of a paletted file
    const png_color_16* transparentRgb = nullptr;

    ~PngEncoder()
    {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

void WriteCallback(png_structp png, png_bytep data, size_t size)
{
    auto* encoder = static_cast<PngEncoder*>(png_get_io_ptr(png));
    bool taken = false;
    try {
        taken = encoder->sink->write(data, size);
    } catch (...) {
    }
    if (!taken) {
        encoder->sinkFailed = true;
        png_error(png, "the picture's bytes could not be written");
    }
}

void FlushCallback(png_structp) {}

void CreateWriter(void* context)
{
    auto* e = static_cast<PngEncoder*>(context);
    e->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, static_cast<PngJob*>(e), ErrorCallback, WarningCallback);
    if (e->png) e->info = png_create_info_struct(e->png);
}

void Encode(void* context)
{
    auto* e = static_cast<PngEncoder*>(context);
    png_structp png = e->png;
    const Picture& picture = *e->picture;
    png_set_write_fn(png, e, WriteCallback, FlushCallback);
    png_set_IHDR(png, e->info, static_cast<png_uint_32>(picture.width()), static_cast<png_uint_32>(picture.height()),
        e->bitDepth, e->indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (e->indexed) {
        png_set_PLTE(png, e->info, e->palette->data(), static_cast<int>(e->palette->size()));
        if (!e->alphas->empty())
            png_set_tRNS(png, e->info, e->alphas->data(), static_cast<int>(e->alphas->size()), nullptr);
    } else if (e->transparentRgb) {
        png_set_tRNS(png, e->info, nullptr, 0, e->transparentRgb);
    }
    png_set_compression_level(png, kPngCompressionLevel);
    png_write_info(png, e->info);
    if (!e->indexed) png_set_bgr(png);
    for (int y = 0; y < picture.height(); ++y) {
        if (e->reader) {
            e->reader->read(y, 0, picture.width(), e->line);
            png_write_row(png, reinterpret_cast<png_const_bytep>(e->line));
        } else {
            png_write_row(png, picture.scanLine(y));
        }
    }
    png_write_end(png, nullptr);
}

bool IsPlainBgr24(const Picture& picture)
{
    return picture.storageBits() == 24 && picture.redMask() == 0xFF0000 && picture.greenMask() == 0x00FF00
        && picture.blueMask() == 0x0000FF;
}

// The highest index any pixel uses: the colour table written must reach it,
// since a PNG index beyond its table is an error for most readers.
int HighestIndex(const Picture& picture)
{
    const int bpp = picture.storageBits();
    const int perByteLog2 = pixels::PixelsPerByteLog2(bpp);
    unsigned highest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* line = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            highest = std::max(highest, pixels::LoadIndex(line, x, bpp, perByteLog2));
    }
    return static_cast<int>(highest);
}

// The picture's table as far as its indices reach (missing entries black, as
// the picture itself reads them), and the transparent colour's entries as tRNS.
void BuildPalette(const Picture& picture, std::vector<png_color>& palette, std::vector<png_byte>& alphas)
{
    const size_t reachable = size_t { 1 } << picture.storageBits();
    const size_t own = std::min(picture.palette().size(), reachable);
    const size_t count = std::max(own, static_cast<size_t>(HighestIndex(picture)) + 1);
    palette.assign(count, png_color { 0, 0, 0 });
    for (size_t i = 0; i < own; ++i) {
        const pixels::Color c = picture.palette()[i];
        palette[i] = png_color { static_cast<png_byte>(c & 0xFF), static_cast<png_byte>((c >> 8) & 0xFF),
            static_cast<png_byte>((c >> 16) & 0xFF) };
    }
    alphas.clear();
    if (!picture.transparent()) return;
    const pixels::PixelBGR key = pixels::ColorToPixel(picture.transparentColor());
    for (size_t i = 0; i < count; ++i) {
        if (palette[i].red == key.r && palette[i].green == key.g && palette[i].blue == key.b) {
            alphas.resize(i + 1, 255);
            alphas[i] = 0;
        }
    }
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

CodecStatus WritePng(const Picture& picture, ByteSink& sink)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    auto encoder = std::make_unique<PngEncoder>();
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    std::vector<PixelBGR> line;
    std::unique_ptr<pixels::PictureRowReader> reader;
    png_color_16 transparentRgb {};
    encoder->indexed = picture.storageBits() <= 8;
    try {
        if (encoder->indexed) {
            BuildPalette(picture, palette, alphas);
        } else if (!IsPlainBgr24(picture)) {
            line.resize(static_cast<size_t>(picture.width()));
            reader = std::make_unique<pixels::PictureRowReader>(picture);
        }
    } catch (const std::bad_alloc&) {
        return CodecStatus::failure("not enough memory to write the picture");
    }
    if (!encoder->indexed && picture.transparent()) {
        const PixelBGR key = pixels::ColorToPixel(picture.transparentColor());
        transparentRgb.red = key.r;
        transparentRgb.green = key.g;
        transparentRgb.blue = key.b;
        encoder->transparentRgb = &transparentRgb;
    }
    encoder->sink = &sink;
    encoder->picture = &picture;
    encoder->reader = reader.get();
    encoder->line = line.data();
    encoder->bitDepth = encoder->indexed ? picture.storageBits() : 8;
    encoder->palette = &palette;
    encoder->alphas = &alphas;
    if (!RunGuarded(*encoder, CreateWriter, encoder.get()) || !encoder->png || !encoder->info)
        return CodecStatus::failure("the PNG library could not start");
    if (!RunGuarded(*encoder, Encode, encoder.get())) {
        if (encoder->sinkFailed) return CodecStatus::failure("the picture's bytes could not be written");
        return CodecStatus::failure(ErrorText(*encoder));
    }
    return CodecStatus::success();
}

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
