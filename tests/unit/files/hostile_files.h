// Files made to exhaust a reader, built byte by byte for the tests: small
// files claiming huge pictures, a PNG of black that deflates 160 to 1, icons
// whose directory names one image thousands of times; and a load run in a
// child process, so that its peak resident memory is the load's own.
#pragma once

#include "bmp_builder.h"
#include "files/PictureFiles.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kaptivus::files::hostile {

inline void PutBe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

inline uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void PngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBe32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

// Deflate's bits go out least significant first; Huffman codes are sent from
// their most significant bit, so they are reversed on the way in.
class BitWriter {
public:
    void bits(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            bit((value >> i) & 1u);
    }
    void code(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bit((value >> i) & 1u);
    }
    std::vector<uint8_t> bytes;

private:
    void bit(uint32_t b)
    {
        if (m_used == 0) bytes.push_back(0);
        bytes.back() = static_cast<uint8_t>(bytes.back() | b << m_used);
        m_used = (m_used + 1) % 8;
    }
    int m_used = 0;
};

// A zlib stream of `count` zero bytes: one literal zero, then copies of 258
// bytes at distance 1 (13 bits each with the fixed codes), then literals.
inline std::vector<uint8_t> ZlibZeros(uint64_t count)
{
    BitWriter w;
    w.bits(1, 1); // the last block
    w.bits(1, 2); // fixed Huffman codes
    w.code(0x30, 8); // literal 0
    uint64_t left = count - 1;
    for (; left >= 258; left -= 258) {
        w.code(0xC5, 8); // length 258
        w.code(0, 5); // distance 1
    }
    for (; left > 0; --left)
        w.code(0x30, 8);
    w.code(0, 7); // end of block
    std::vector<uint8_t> out = std::move(w.bytes);
    out.insert(out.begin(), { 0x78, 0x01 });
    PutBe32(out, static_cast<uint32_t>((count % 65521) << 16 | 1)); // Adler-32 of zeros
    return out;
}

// A valid grey PNG of width × height black pixels in one IDAT chunk.
inline std::vector<uint8_t> BlackPng(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> out { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    std::vector<uint8_t> header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.insert(header.end(), { 8, 0, 0, 0, 0 }); // 8-bit grey, not interlaced
    PngChunk(out, "IHDR", header);
    PngChunk(out, "IDAT", ZlibZeros(uint64_t { height } * (uint64_t { width } + 1))); // a filter byte a row
    PngChunk(out, "IEND", {});
    return out;
}

// A run-length BMP of 120 bytes for any size: 27 runs of 255 white pixels,
// then the end of the bitmap; the rest of the picture is left black.
inline std::vector<uint8_t> RleBmp(int32_t width, int32_t height)
{
    std::vector<uint8_t> runs;
    for (int i = 0; i < 27; ++i)
        runs.insert(runs.end(), { 255, 1 });
    runs.insert(runs.end(), { 0, 0, 0, 1 });
    return testing::BuildBmp({ 40, width, height, 8, 1, 2, {}, { 0, 0xFFFFFF }, runs });
}

// An icon whose `count` directory entries all name one image; `tail`
// images follow with an entry each, after it.
inline std::vector<uint8_t> IconOfOneImage(
    const std::vector<uint8_t>& image, size_t count, const std::vector<std::vector<uint8_t>>& tail = {})
{
    const size_t entries = count + tail.size();
    std::vector<uint8_t> out;
    testing::Put(out, 2, 1, 2);
    testing::Put(out, 4, static_cast<uint32_t>(entries), 2);
    size_t offset = 6 + 16 * entries;
    for (size_t i = 0; i < entries; ++i) {
        const std::vector<uint8_t>& named = i < count ? image : tail[i - count];
        testing::Put(out, 6 + 16 * i + 8, static_cast<uint32_t>(named.size()), 4);
        testing::Put(out, 6 + 16 * i + 12, static_cast<uint32_t>(offset), 4);
        if (i + 1 >= count) offset += named.size();
    }
    out.insert(out.end(), image.begin(), image.end());
    for (const auto& more : tail)
        out.insert(out.end(), more.begin(), more.end());
    return out;
}

struct ChildLoad {
    std::string error;
    int width = 0;
    int height = 0;
    long peakKb = 0; // the child's peak resident memory
};

// LoadPicture run in a forked child, which reports what it read and its peak
// resident memory through a pipe.
inline ChildLoad LoadInChild(const std::string& path)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return { "no pipe" };
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const LoadResult loaded = LoadPicture(path, 24);
        rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        const std::string report = std::to_string(usage.ru_maxrss) + " " + std::to_string(loaded.picture.width()) + " "
            + std::to_string(loaded.picture.height()) + " " + loaded.error;
        const ssize_t written = ::write(pipeEnds[1], report.data(), report.size());
        ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ChildLoad result;
    int used = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(report.c_str(), "%ld %d %d %n", &result.peakKb, &result.width, &result.height, &used) < 3)
        return { "the child failed: " + report };
    result.error = report.substr(static_cast<size_t>(used));
    return result;
}

} // namespace kaptivus::files::hostile
