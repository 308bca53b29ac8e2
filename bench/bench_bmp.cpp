// Saving and opening the full-HD benchmark picture as a BMP file in memory, to
// be read against BM_Memcpy of the same run: a BMP is little more than a copy.
#include "bench/BenchFixtures.h"
#include "files/BmpCodec.h"
#include "pixels/Picture.h"

#include <benchmark/benchmark.h>

namespace {

using kaptivus::pixels::Picture;
using kaptivus::pixels::PixelFormat;

// The capture as the window saves it: converted to 24 bits (or kept at 32).
Picture FullHdPicture(PixelFormat format)
{
    kaptivus::pixels::TPixelBuffer buffer;
    kaptivus::bench::FillRealisticPicture(buffer, 1920, 1080);
    Picture picture = Picture::create(1920, 1080, PixelFormat::DeviceDefault);
    buffer.DrawTo(picture, 0, 0);
    picture.convertTo(format);
    return picture;
}

void SaveBmp(benchmark::State& state, PixelFormat format)
{
    const Picture picture = FullHdPicture(format);
    kaptivus::files::MemorySink sink;
    for (auto _ : state) {
        sink.bytes.clear(); // keeps its capacity: the sink's growth is not the codec's cost
        if (!kaptivus::files::WriteBmp(picture, sink).ok()) state.SkipWithError("the picture was not written");
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sink.bytes.size()));
}

void BM_SaveBmp(benchmark::State& state) { SaveBmp(state, PixelFormat::Bits24); }
BENCHMARK(BM_SaveBmp)->Unit(benchmark::kMillisecond);

void BM_SaveBmp32(benchmark::State& state) { SaveBmp(state, PixelFormat::Bits32); }
BENCHMARK(BM_SaveBmp32)->Unit(benchmark::kMillisecond);

void BM_LoadBmp(benchmark::State& state)
{
    kaptivus::files::MemorySink file;
    if (!kaptivus::files::WriteBmp(FullHdPicture(PixelFormat::Bits24), file).ok()) {
        state.SkipWithError("the picture was not written");
        return;
    }
    for (auto _ : state) {
        const kaptivus::files::ReadResult result = kaptivus::files::ReadBmp(file.bytes);
        benchmark::DoNotOptimize(result.picture.bits().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.bytes.size()));
}
BENCHMARK(BM_LoadBmp)->Unit(benchmark::kMillisecond);

} // namespace
