// PNG saving of the full-HD capture, beside plain libpng writing the same
// pixels at the same compression level in the simplest way, in the same run.
#include "bench/bench_codec_support.h"
#include "files/PngCodec.h"

#include <benchmark/benchmark.h>

#include <csetjmp>
#include <png.h>

namespace {

using namespace kaptivus;

void BM_SavePng(benchmark::State& state) { bench::RunSaveBenchmark(state, files::WritePng); }
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond)->UseRealTime();

void AppendToVector(png_structp png, png_bytep data, size_t size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// The textbook libpng writer: 24-bit rows already in memory, default filters.
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
    png_set_compression_level(png, files::kPngCompressionLevel);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void BM_SavePngPlainLibpng(benchmark::State& state)
{
    pixels::TPixelBuffer buffer;
    bench::FillRealisticPicture(buffer, 1920, 1080);
    std::vector<png_bytep> rows;
    for (int y = 0; y < buffer.height(); ++y)
        rows.push_back(buffer.rowBytes(y));
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(8u << 20);
        if (!PlainLibpngWrite(rows.data(), &out)) state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
}
BENCHMARK(BM_SavePngPlainLibpng)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
