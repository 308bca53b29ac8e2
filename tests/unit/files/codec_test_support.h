// What every codec test needs around the codec itself: a private scratch
// folder, whole files read and written, pictures written as PPM, the
// independent tools run as programs, and a sink that fails part way as a full
// disk would.
#pragma once

#include "files/Codec.h"
#include "pixels/Picture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kaptivus::files::testsupport {

// Takes bytes until its budget is spent, then refuses everything.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(size_t budget = 0)
        : m_budget(budget)
    {
    }
    [[nodiscard]] bool write(const void*, size_t size) override
    {
        if (size > m_budget) return false;
        m_budget -= size;
        return true;
    }

private:
    size_t m_budget;
};

// A folder of its own under the temp directory, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaptivus-codec-XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    std::string str(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::filesystem::path& path, Bytes bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// A binary PPM of the picture's colours, for the tools that read one.
inline void WritePpm(const std::filesystem::path& path, const pixels::Picture& picture)
{
    const std::string head
        = "P6\n" + std::to_string(picture.width()) + " " + std::to_string(picture.height()) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const pixels::PixelBGR p = picture.pixel(x, y);
            bytes.insert(bytes.end(), { p.r, p.g, p.b });
        }
    WriteFile(path, bytes);
}

// Standard output of a command made of our own temp paths and fixed words,
// and whether it exited with 0.
inline bool RunCommand(const std::string& command, std::vector<uint8_t>& output)
{
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.insert(output.end(), buffer, buffer + n);
    return pclose(pipe) == 0;
}

inline bool RunCommand(const std::string& command)
{
    std::vector<uint8_t> ignored;
    return RunCommand(command, ignored);
}

// A command's exit status, or -1 when it did not exit normally.
inline int RunTool(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace kaptivus::files::testsupport
