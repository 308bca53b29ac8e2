// What the codec benchmarks share: the full-HD capture they encode and a way
// to time the command-line tool a user would otherwise run on the same picture.
#pragma once

#include "bench/BenchFixtures.h"
#include "files/Codec.h"
#include "pixels/Picture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace kaptivus::bench {

// The 1080p benchmark picture as a capture holds it (the screen's 32-bit layout).
inline kaptivus::pixels::Picture FullHdCapture()
{
    kaptivus::pixels::TPixelBuffer buffer;
    FillRealisticPicture(buffer, 1920, 1080);
    kaptivus::pixels::Picture capture =
        kaptivus::pixels::Picture::create(1920, 1080, kaptivus::pixels::PixelFormat::DeviceDefault);
    buffer.DrawTo(capture, 0, 0);
    return capture;
}

// Times a writer on the full-HD capture, into memory.
template <class Writer> void RunSaveBenchmark(benchmark::State& state, Writer write)
{
    const kaptivus::pixels::Picture capture = FullHdCapture();
    for (auto _ : state) {
        kaptivus::files::MemorySink sink;
        sink.bytes.reserve(8u << 20);
        if (!write(capture, sink).ok()) state.SkipWithError("the writer failed");
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
}

// A file in the temp folder that lives as long as the object.
class BenchFile {
public:
    explicit BenchFile(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() / name)
    {
    }
    ~BenchFile()
    {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    BenchFile(const BenchFile&) = delete;
    BenchFile& operator=(const BenchFile&) = delete;
    std::string path() const { return m_path.string(); }
    void write(const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(m_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_path;
};

// The picture's pixels as a binary PPM, the input cjpeg and pnmtopng take.
inline std::vector<uint8_t> PpmBytes(const kaptivus::pixels::Picture& picture)
{
    const std::string header = "P6\n" + std::to_string(picture.width()) + " " + std::to_string(picture.height()) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.reserve(bytes.size() + static_cast<size_t>(picture.width()) * picture.height() * 3);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const kaptivus::pixels::PixelBGR p = picture.pixel(x, y);
            bytes.insert(bytes.end(), { p.r, p.g, p.b });
        }
    return bytes;
}

// Runs a program to completion with its output thrown away; false if it could
// not start or failed.
inline bool RunProgram(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Processor time (user + system) of all waited-for children so far, in
// seconds: the tool's own cost, apart from the load of other processes.
inline double ChildCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace kaptivus::bench
