// Timings of the bilinear resize at full HD, halved and doubled, and of the
// conversion of a full-HD picture to the indexed and 16-bit formats. Compare
// with BM_Memcpy of the same run.
#include "bench/BenchFixtures.h"
#include "pixels/Picture.h"

#include <benchmark/benchmark.h>

namespace {

using kaptivus::pixels::Picture;
using kaptivus::pixels::PixelFormat;
using kaptivus::pixels::TPixelBuffer;

void ResizeBilinearTo(benchmark::State& state, int width, int height)
{
    TPixelBuffer source, destination;
    kaptivus::bench::FillRealisticPicture(source, 1920, 1080);
    destination.Allocate(width, height);
    for (auto _ : state) {
        source.ResizeBilinear(destination);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
}

void BM_ResizeBilinearHalf(benchmark::State& state)
{
    ResizeBilinearTo(state, 960, 540);
}
BENCHMARK(BM_ResizeBilinearHalf)->Unit(benchmark::kMicrosecond);

void BM_ResizeBilinearDouble(benchmark::State& state)
{
    ResizeBilinearTo(state, 3840, 2160);
}
BENCHMARK(BM_ResizeBilinearDouble)->Unit(benchmark::kMicrosecond);

void ConvertTo(benchmark::State& state, PixelFormat format)
{
    TPixelBuffer source;
    kaptivus::bench::FillRealisticPicture(source, 1920, 1080);
    Picture device = Picture::create(1920, 1080, PixelFormat::DeviceDefault);
    source.DrawTo(device, 0, 0);
    for (auto _ : state) {
        Picture picture = device;
        picture.convertTo(format);
        benchmark::DoNotOptimize(picture.bits().data());
    }
}

void BM_ConvertTo8Bits(benchmark::State& state)
{
    ConvertTo(state, PixelFormat::Bits8);
}
BENCHMARK(BM_ConvertTo8Bits)->Unit(benchmark::kMillisecond);

void BM_ConvertTo4Bits(benchmark::State& state)
{
    ConvertTo(state, PixelFormat::Bits4);
}
BENCHMARK(BM_ConvertTo4Bits)->Unit(benchmark::kMillisecond);

void BM_ConvertTo16Bits(benchmark::State& state)
{
    ConvertTo(state, PixelFormat::Bits16);
}
BENCHMARK(BM_ConvertTo16Bits)->Unit(benchmark::kMillisecond);

void BM_LoadFromDevicePicture(benchmark::State& state)
{
    TPixelBuffer source, loaded;
    kaptivus::bench::FillRealisticPicture(source, 1920, 1080);
    Picture device = Picture::create(1920, 1080, PixelFormat::DeviceDefault);
    source.DrawTo(device, 0, 0);
    for (auto _ : state) {
        loaded.LoadFromBitmap(device);
        benchmark::DoNotOptimize(loaded.data());
    }
}
BENCHMARK(BM_LoadFromDevicePicture)->Unit(benchmark::kMicrosecond);

} // namespace
