// PNG saving of two full-HD captures (a noisy one and a flat, screen-like
// one), beside libpng writing the same pixels at its default level in the
// simplest way, in the same run. Each reports the file's size and its ratio to
// libpng's default file, the yardstick for the speed/size trade-off.
#include "bench/bench_codec_support.h"
#include "files/PngCodec.h"

#include <benchmark/benchmark.h>

#include <csetjmp>
#include <png.h>

namespace {

using namespace kaptivus;

// Argument 0: the noisy realistic picture; 1: the same without noise.
void FillBenchPicture(pixels::TPixelBuffer& buffer, int kind)
{
    if (kind == 0)
        bench::FillRealisticPicture(buffer, 1920, 1080);
    else
        bench::FillScreenLikePicture(buffer, 1920, 1080);
}

void AppendToVector(png_structp png, png_bytep data, size_t size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// The textbook libpng writer: 24-bit rows already in memory, default filters
// and zlib's default level.
bool PlainLibpngWrite(png_bytepp rows, std::vector<uint8_t>* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendToVector, nullptr);
    png_set_IHDR(png, info, 1920, 1080, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

size_t PlainLibpngSize(pixels::TPixelBuffer& buffer)
{
    std::vector<png_bytep> rows;
    for (int y = 0; y < buffer.height(); ++y)
        rows.push_back(buffer.rowBytes(y));
    std::vector<uint8_t> out;
    return PlainLibpngWrite(rows.data(), &out) ? out.size() : 0;
}

void BM_SavePng(benchmark::State& state)
{
    pixels::TPixelBuffer buffer;
    FillBenchPicture(buffer, static_cast<int>(state.range(0)));
    pixels::Picture capture = pixels::Picture::create(1920, 1080, pixels::PixelFormat::DeviceDefault);
    buffer.DrawTo(capture, 0, 0);
    size_t bytes = 0;
    for (auto _ : state) {
        files::MemorySink sink;
        sink.bytes.reserve(8u << 20);
        if (!files::WritePng(capture, sink).ok()) state.SkipWithError("the writer failed");
        bytes = sink.bytes.size();
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.counters["to_libpng_default"] = static_cast<double>(bytes) / static_cast<double>(PlainLibpngSize(buffer));
}
BENCHMARK(BM_SavePng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SavePngPlainLibpng(benchmark::State& state)
{
    pixels::TPixelBuffer buffer;
    FillBenchPicture(buffer, static_cast<int>(state.range(0)));
    std::vector<png_bytep> rows;
    for (int y = 0; y < buffer.height(); ++y)
        rows.push_back(buffer.rowBytes(y));
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(8u << 20);
        if (!PlainLibpngWrite(rows.data(), &out)) state.SkipWithError("libpng failed");
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SavePngPlainLibpng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
