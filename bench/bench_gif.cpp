// GIF saving on the full-HD benchmark picture, with the tools a user would
// otherwise run on the same picture in the same run as yardsticks:
// ImageMagick's convert (PPM to GIF, its own quantiser) and gifsicle. gifsicle
// reads only GIF, so it gets the picture cut by ImageMagick into 8 × 8 tiles,
// each a frame with its own table (far more than 256 colours in all), and
// reduces them to 256 colours and writes them again: the same pixels through
// a quantiser and an LZW encoder.
#include "bench/BenchFixtures.h"
#include "files/GifPicture.h"
#include "pixels/Picture.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using kaptivus::pixels::Picture;

Picture FullHdPicture()
{
    kaptivus::pixels::TPixelBuffer buffer;
    kaptivus::bench::FillRealisticPicture(buffer, 1920, 1080);
    Picture picture = Picture::create(1920, 1080, kaptivus::pixels::PixelFormat::Bits24);
    buffer.DrawTo(picture, 0, 0);
    return picture;
}

void BM_SaveGif(benchmark::State& state)
{
    Picture picture = FullHdPicture();
    size_t bytes = 0;
    for (auto _ : state) {
        kaptivus::files::MemorySink sink;
        sink.bytes.reserve(4 << 20);
        if (!kaptivus::files::WriteGif(picture, sink)) state.SkipWithError("the GIF writer failed");
        bytes = sink.bytes.size();
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080);
}
BENCHMARK(BM_SaveGif)->Unit(benchmark::kMillisecond);

// A desktop as the hotkey writes it: the screen's own 32-bit layout, read as
// it is. 0: one colour with a task bar, the case that once made each LZW probe
// walk a long cluster; 1: windows, gradients and text.
Picture DesktopPicture(bool busy)
{
    kaptivus::pixels::TPixelBuffer buffer;
    if (busy) {
        kaptivus::bench::FillScreenLikePicture(buffer, 1920, 1080);
    } else {
        buffer.Allocate(1920, 1080);
        kaptivus::bench::detail::FillRect(buffer, 0, 0, 1920, 1080, {0, 0, 0});
        kaptivus::bench::detail::FillRect(buffer, 0, 1052, 1920, 1080, {0xD7, 0xD7, 0xD7});
        for (int x = 4; x < 140; x += 28)
            kaptivus::bench::detail::FillRect(buffer, x, 1056, x + 22, 1076, {0x80, 0x40, 0xC0});
    }
    Picture picture = Picture::create(1920, 1080, kaptivus::pixels::PixelFormat::DeviceDefault);
    buffer.DrawTo(picture, 0, 0);
    return picture;
}

void BM_SaveGifOfDesktop(benchmark::State& state)
{
    const Picture picture = DesktopPicture(state.range(0) != 0);
    size_t bytes = 0;
    for (auto _ : state) {
        kaptivus::files::MemorySink sink;
        if (!kaptivus::files::WriteGif(picture, std::nullopt, sink)) state.SkipWithError("the GIF writer failed");
        bytes = sink.bytes.size();
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080);
}
BENCHMARK(BM_SaveGifOfDesktop)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The picture as the tools' input, written once a run.
std::filesystem::path ToolFolder()
{
    static const std::filesystem::path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::filesystem::path dir = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / "kaptivus_bench_gif";
        std::filesystem::create_directories(dir);
        const Picture picture = FullHdPicture();
        std::ofstream ppm(dir / "picture.ppm", std::ios::binary);
        ppm << "P6\n1920 1080\n255\n";
        for (int y = 0; y < 1080; ++y)
            for (int x = 0; x < 1920; ++x) {
                const uint8_t* p = picture.scanLine(y) + x * 3;
                const char rgb[3] = { char(p[2]), char(p[1]), char(p[0]) };
                ppm.write(rgb, 3);
            }
        ppm.close();
        const std::string tiles = "convert " + (dir / "picture.ppm").string() + " -crop 8x8@ "
            + (dir / "tiles.gif").string() + " 2>/dev/null";
        if (std::system(tiles.c_str()) != 0) std::filesystem::remove(dir / "tiles.gif");
        return dir;
    }();
    return folder;
}

void RunTool(benchmark::State& state, const std::string& command, const std::filesystem::path& input)
{
    if (!std::filesystem::exists(input)) {
        state.SkipWithError("the tool's input could not be made");
        return;
    }
    const std::string line = command + " >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(line.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080);
}

void BM_SaveGif_ImageMagickConvert(benchmark::State& state)
{
    const auto dir = ToolFolder();
    RunTool(state, "/usr/bin/convert " + (dir / "picture.ppm").string() + " " + (dir / "convert.gif").string(),
        dir / "picture.ppm");
}
BENCHMARK(BM_SaveGif_ImageMagickConvert)->Unit(benchmark::kMillisecond);

void BM_SaveGif_Gifsicle(benchmark::State& state)
{
    const auto dir = ToolFolder();
    RunTool(state,
        "gifsicle -O1 --colors 256 " + (dir / "tiles.gif").string() + " -o " + (dir / "gifsicle.gif").string(),
        dir / "tiles.gif");
}
BENCHMARK(BM_SaveGif_Gifsicle)->Unit(benchmark::kMillisecond);

} // namespace
