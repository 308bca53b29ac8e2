// JPEG files through libjpeg's classic interface, reading from a byte span
// and writing to a ByteSink. No Qt, no X11, no file I/O.
//
// libjpeg reports a fatal error by calling error_exit, which must not return:
// it long-jumps back to RunGuarded, the one function holding a setjmp. Every
// step run there keeps only trivially destructible locals, so the jump skips
// no destructor; all C++ objects live in the caller, outside the jump.
#include "files/JpegCodec.h"

#include "pixels/Palettes.h"
#include "pixels/PictureRows.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#if !defined(JCS_EXTENSIONS)
#error "the JPEG codec needs libjpeg-turbo's BGR colour space extension"
#endif

namespace kaptivus::files {

namespace {

using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;

// Each scan may cost a pass over the whole coefficient buffer, so a small
// hostile file of many scans could otherwise take minutes: the scans a file
// may have shrink as its picture grows, so that scans times pixels stays
// under kScanWork. Real progressive files have around ten scans; even the
// largest picture may have kMinScans, a small one at most kMaxScans.
constexpr int kMaxScans = 500;
constexpr int kMinScans = 32;
constexpr int64_t kScanWork = int64_t { 1 } << 31;
// The colours a picture for an 8-bit screen keeps, leaving the screen's
// twenty static colours alone.
constexpr int kScreenColours = 236;
constexpr size_t kOutputChunk = 64 * 1024;

struct JpegErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
    std::array<char, JMSG_LENGTH_MAX> message;
};

void ErrorExit(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message.data());
    std::longjmp(errors->jump, 1);
}

// Warnings (corrupt data, a truncated file) are counted by libjpeg and not printed.
void SilentOutput(j_common_ptr) {}

void InstallErrors(JpegErrors& errors)
{
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = ErrorExit;
    errors.pub.output_message = SilentOutput;
    errors.message.fill(0);
}

// The one setjmp: runs a step of libjpeg work, false when the library bailed out.
bool RunGuarded(JpegErrors& errors, void (*step)(void*), void* context)
{
    if (setjmp(errors.jump) != 0) return false;
    step(context);
    return true;
}

std::string ErrorText(const JpegErrors& errors)
{
    if (errors.pub.msg_code == JERR_NO_BACKING_STORE) return "the picture needs more memory than allowed";
    return errors.message[0] ? std::string(errors.message.data()) : std::string("the JPEG library failed");
}

// ---- Writing ---------------------------------------------------------------

struct Encoder {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    jpeg_destination_mgr destination;
    ByteSink* sink = nullptr;
    bool sinkFailed = false;
    uint8_t* chunk = nullptr;
    const Picture* picture = nullptr;
    const pixels::PictureRowReader* reader = nullptr; // null when the rows are plain BGR already
    PixelBGR* line = nullptr;
    int quality = 100;
    bool created = false;

    ~Encoder()
    {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

bool PassToSink(Encoder& encoder, size_t size)
{
    if (size == 0) return true;
    try {
        if (encoder.sink->write(encoder.chunk, size)) return true;
    } catch (...) {
    }
    encoder.sinkFailed = true;
    return false;
}

void InitDestination(j_compress_ptr cinfo)
{
    auto* encoder = static_cast<Encoder*>(cinfo->client_data);
    encoder->destination.next_output_byte = encoder->chunk;
    encoder->destination.free_in_buffer = kOutputChunk;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* encoder = static_cast<Encoder*>(cinfo->client_data);
    // libjpeg asks for the whole chunk to go, whatever free_in_buffer says.
    if (!PassToSink(*encoder, kOutputChunk)) ERREXIT(cinfo, JERR_FILE_WRITE);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* encoder = static_cast<Encoder*>(cinfo->client_data);
    if (!PassToSink(*encoder, kOutputChunk - encoder->destination.free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void CreateCompressor(void* context)
{
    auto* e = static_cast<Encoder*>(context);
    jpeg_create_compress(&e->cinfo);
    e->created = true;
}

void Compress(void* context)
{
    auto* e = static_cast<Encoder*>(context);
    j_compress_ptr cinfo = &e->cinfo;
    cinfo->dest = &e->destination;
    cinfo->image_width = static_cast<JDIMENSION>(e->picture->width());
    cinfo->image_height = static_cast<JDIMENSION>(e->picture->height());
    cinfo->input_components = 3;
    // The rows are blue, green, red; libjpeg-turbo takes them so and converts
    // exactly as it would RGB rows.
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, e->quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        const int y = static_cast<int>(cinfo->next_scanline);
        JSAMPROW row = nullptr;
        if (e->reader) {
            e->reader->read(y, 0, e->picture->width(), e->line);
            row = reinterpret_cast<JSAMPROW>(e->line);
        } else {
            row = const_cast<JSAMPROW>(e->picture->scanLine(y));
        }
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
}

bool IsPlainBgr24(const Picture& picture)
{
    return picture.storageBits() == 24 && picture.redMask() == 0xFF0000 && picture.greenMask() == 0x00FF00
        && picture.blueMask() == 0x0000FF;
}

// ---- Reading ---------------------------------------------------------------

enum class Output { Colour, Quantised, Cmyk };

struct Decoder {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    Bytes bytes;
    std::array<uint8_t, 2> fakeEnd { 0xFF, JPEG_EOI };
    uint8_t* const* rows = nullptr; // one pointer a row of the result
    bool created = false;
    bool tooManyScans = false;
    int maxScans = kMaxScans;

    ~Decoder()
    {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

void InitSource(j_decompress_ptr) {}

// The whole file is in the span from the start; running past its end means
// the file is cut short. Like libjpeg's own readers, end it with an EOI marker
// and a warning: the rows not yet decoded come out grey.
boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* decoder = static_cast<Decoder*>(cinfo->client_data);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    decoder->source.next_input_byte = decoder->fakeEnd.data();
    decoder->source.bytes_in_buffer = decoder->fakeEnd.size();
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0) return;
    jpeg_source_mgr* source = cinfo->src;
    if (static_cast<size_t>(count) >= source->bytes_in_buffer) {
        // The next read finds the end and gets the EOI marker.
        source->next_input_byte += source->bytes_in_buffer;
        source->bytes_in_buffer = 0;
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void LimitScans(j_common_ptr cinfo)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* decoder = static_cast<Decoder*>(d->client_data);
    if (d->input_scan_number <= decoder->maxScans) return;
    decoder->tooManyScans = true;
    ERREXIT(cinfo, JERR_NOT_COMPILED); // the code is not shown: tooManyScans gives the reason
}

void ReadHeader(void* context)
{
    auto* d = static_cast<Decoder*>(context);
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    d->cinfo.client_data = d;
    d->source.next_input_byte = d->bytes.data();
    d->source.bytes_in_buffer = d->bytes.size();
    d->source.init_source = InitSource;
    d->source.fill_input_buffer = FillInputBuffer;
    d->source.skip_input_data = SkipInputData;
    d->source.resync_to_restart = jpeg_resync_to_restart;
    d->source.term_source = TermSource;
    d->cinfo.src = &d->source;
    d->progress.progress_monitor = LimitScans;
    d->cinfo.progress = &d->progress;
    jpeg_read_header(&d->cinfo, TRUE);
}

void Decompress(void* context)
{
    auto* d = static_cast<Decoder*>(context);
    j_decompress_ptr cinfo = &d->cinfo;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = d->rows[cinfo->output_scanline];
        jpeg_read_scanlines(cinfo, &row, 1);
    }
}

// Sets what libjpeg should deliver; false for colour spaces we cannot show.
bool ChooseOutput(jpeg_decompress_struct& cinfo, int screenBits, Output& output)
{
    cinfo.do_block_smoothing = FALSE;
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        // Greyscale files always become 8 bits with a table of grey levels.
        cinfo.out_color_space = JCS_GRAYSCALE;
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = kScreenColours;
        output = Output::Quantised;
        return true;
    case JCS_YCbCr:
    case JCS_RGB:
        if (screenBits <= 8) {
            cinfo.out_color_space = JCS_RGB;
            cinfo.quantize_colors = TRUE;
            cinfo.desired_number_of_colors = kScreenColours;
            output = Output::Quantised;
        } else {
            cinfo.out_color_space = JCS_EXT_BGR;
            output = Output::Colour;
        }
        return true;
    case JCS_CMYK:
    case JCS_YCCK:
        // libjpeg stops at CMYK; the conversion to screen colours is ours.
        cinfo.out_color_space = JCS_CMYK;
        output = Output::Cmyk;
        return true;
    default:
        return false;
    }
}

// Print-style CMYK to screen RGB, the naive way every viewer uses without a
// colour profile. Files with an Adobe marker store the four inks inverted.
void CmykRowToBgr(const uint8_t* cmyk, int width, bool inverted, uint8_t* bgr)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const int k = inverted ? cmyk[3] : 255 - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const int ink = inverted ? cmyk[c] : 255 - cmyk[c];
            bgr[2 - c] = static_cast<uint8_t>((ink * k + 127) / 255);
        }
    }
}

// CMYK has no libjpeg quantiser: on a small screen the colours go to the
// 236-colour cube of the halftone table, whose map is built once.
const pixels::NearestColorMap& ScreenCube()
{
    static const pixels::NearestColorMap map([] {
        const std::vector<pixels::Color>& halftone = pixels::HalftonePalette256();
        return std::vector<pixels::Color>(halftone.begin() + 10, halftone.begin() + 10 + kScreenColours);
    }());
    return map;
}

void QuantiseToScreen(Picture& picture)
{
    Picture indexed = Picture::create(picture.width(), picture.height(), PixelFormat::Bits8);
    if (indexed.isEmpty()) return;
    const pixels::NearestColorMap& cube = ScreenCube();
    indexed.setPalette(cube.palette());
    for (int y = 0; y < picture.height(); ++y) {
        const auto* in = reinterpret_cast<const PixelBGR*>(picture.scanLine(y));
        uint8_t* out = indexed.scanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            out[x] = cube.indexOf(in[x]);
    }
    picture = std::move(indexed);
}

std::vector<pixels::Color> ColourTable(const jpeg_decompress_struct& cinfo)
{
    std::vector<pixels::Color> table(static_cast<size_t>(cinfo.actual_number_of_colors));
    const bool grey = cinfo.out_color_components == 1;
    for (size_t i = 0; i < table.size(); ++i) {
        const uint32_t r = cinfo.colormap[0][i];
        const uint32_t g = grey ? r : cinfo.colormap[1][i];
        const uint32_t b = grey ? r : cinfo.colormap[2][i];
        table[i] = r | (g << 8) | (b << 16);
    }
    return table;
}

// The bytes libjpeg's full-image buffers (progressive coefficients, the
// colour quantiser's second pass) may take: what the limits allow a picture
// of 32 bits a pixel.
long MemoryBudget(const ReadLimits& limits)
{
    const int64_t bytes = limits.maxPixels * 4 + (int64_t { 4 } << 20);
    return static_cast<long>(bytes);
}

int ScanLimit(int64_t pixels)
{
    return static_cast<int>(std::clamp<int64_t>(kScanWork / std::max<int64_t>(pixels, 1), kMinScans, kMaxScans));
}

ReadResult DecodeRows(Decoder& decoder, Output output, bool adobe)
{
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    const int width = static_cast<int>(cinfo.image_width);
    const int height = static_cast<int>(cinfo.image_height);
    const PixelFormat format = output == Output::Quantised ? PixelFormat::Bits8 : PixelFormat::Bits24;
    Picture picture = Picture::create(width, height, format);
    std::vector<uint8_t> cmyk;
    std::vector<uint8_t*> rows;
    try {
        rows.resize(static_cast<size_t>(height));
        if (output == Output::Cmyk) cmyk.resize(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("not enough memory for the picture");
    }
    if (picture.isEmpty()) return ReadResult::failure("not enough memory for the picture");
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = output == Output::Cmyk ? cmyk.data() + static_cast<size_t>(y) * width * 4
                                                              : picture.scanLine(y);
    decoder.rows = rows.data();
    if (!RunGuarded(decoder.errors, Decompress, &decoder)) {
        if (decoder.tooManyScans)
            return ReadResult::failure("the file has more than " + std::to_string(decoder.maxScans)
                + " scans, too many for a picture of its size");
        return ReadResult::failure(ErrorText(decoder.errors));
    }
    if (output == Output::Quantised) picture.setPalette(ColourTable(cinfo));
    if (output == Output::Cmyk) {
        for (int y = 0; y < height; ++y)
            CmykRowToBgr(rows[static_cast<size_t>(y)], width, adobe, picture.scanLine(y));
    }
    ReadResult result;
    result.picture = std::move(picture);
    return result;
}

} // namespace

CodecStatus WriteJpeg(const Picture& picture, ByteSink& sink, int quality)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    auto encoder = std::make_unique<Encoder>();
    std::vector<uint8_t> chunk;
    std::vector<PixelBGR> line;
    std::unique_ptr<pixels::PictureRowReader> reader;
    try {
        chunk.resize(kOutputChunk);
        if (!IsPlainBgr24(picture)) {
            line.resize(static_cast<size_t>(picture.width()));
            reader = std::make_unique<pixels::PictureRowReader>(picture);
        }
    } catch (const std::bad_alloc&) {
        return CodecStatus::failure("not enough memory to write the picture");
    }
    InstallErrors(encoder->errors);
    encoder->cinfo.err = &encoder->errors.pub;
    encoder->cinfo.client_data = encoder.get();
    encoder->destination.init_destination = InitDestination;
    encoder->destination.empty_output_buffer = EmptyOutputBuffer;
    encoder->destination.term_destination = TermDestination;
    encoder->sink = &sink;
    encoder->chunk = chunk.data();
    encoder->picture = &picture;
    encoder->reader = reader.get();
    encoder->line = line.data();
    encoder->quality = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    if (!RunGuarded(encoder->errors, CreateCompressor, encoder.get())
        || !RunGuarded(encoder->errors, Compress, encoder.get())) {
        if (encoder->sinkFailed) return CodecStatus::failure("the picture's bytes could not be written");
        return CodecStatus::failure(ErrorText(encoder->errors));
    }
    return CodecStatus::success();
}

ReadResult ReadJpeg(Bytes bytes, const ReadLimits& limits, int screenBits)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("the file is too large");
    auto decoder = std::make_unique<Decoder>();
    InstallErrors(decoder->errors);
    decoder->cinfo.err = &decoder->errors.pub;
    decoder->bytes = bytes;
    if (!RunGuarded(decoder->errors, ReadHeader, decoder.get()))
        return ReadResult::failure(ErrorText(decoder->errors));
    jpeg_decompress_struct& cinfo = decoder->cinfo;
    if (std::string refusal = limits.sizeRefusal(cinfo.image_width, cinfo.image_height); !refusal.empty())
        return ReadResult::failure(std::move(refusal));
    decoder->maxScans = ScanLimit(int64_t { cinfo.image_width } * cinfo.image_height);
    Output output = Output::Colour;
    if (!ChooseOutput(cinfo, screenBits, output)) return ReadResult::failure("the file's colour space is not supported");
    cinfo.mem->max_memory_to_use = MemoryBudget(limits);
    ReadResult result = DecodeRows(*decoder, output, cinfo.saw_Adobe_marker != 0);
    if (result.ok() && output == Output::Cmyk && screenBits <= 8) QuantiseToScreen(result.picture);
    return result;
}

} // namespace kaptivus::files
