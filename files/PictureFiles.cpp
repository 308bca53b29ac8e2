// Picture files by name: the extension rules, the dialog filters, the
// numbered name, and whole-file save and load around the codecs.
#include "files/PictureFiles.h"

#include "config/DurableFile.h"
#include "files/BmpCodec.h"
#include "files/FileSignature.h"
#include "files/GifPicture.h"
#include "files/IcoCodec.h"
#include "files/JpegCodec.h"
#include "files/Metafile.h"
#include "files/PngCodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::files {

NameParts SplitFileName(std::string_view name)
{
    const size_t slash = name.rfind('/');
    const size_t fileStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view file = name.substr(fileStart);
    const size_t dot = file.rfind('.');
    NameParts parts;
    parts.folder = std::string(name.substr(0, fileStart));
    parts.base = std::string(dot == std::string_view::npos ? file : file.substr(0, dot));
    if (dot != std::string_view::npos)
        parts.extension = std::string(file.substr(dot));
    return parts;
}

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

std::string WithLowerExtension(std::string_view name)
{
    const NameParts parts = SplitFileName(name);
    return parts.folder + parts.base + LowerAscii(parts.extension);
}

PictureType PictureTypeOfName(std::string_view name)
{
    static const std::pair<std::string_view, PictureType> types[] = {
        {".bmp", PictureType::Bmp}, {".gif", PictureType::Gif}, {".jpg", PictureType::Jpeg},
        {".jpeg", PictureType::Jpeg}, {".ico", PictureType::Ico}, {".emf", PictureType::Emf},
        {".wmf", PictureType::Wmf}, {".png", PictureType::Png},
    };
    const std::string extension = LowerAscii(SplitFileName(name).extension);
    for (const auto& [ext, type] : types)
        if (extension == ext)
            return type;
    return PictureType::Unknown;
}

std::string ApplyFilterExtension(std::string_view name, int filterIndex, std::string_view defaultExt)
{
    // Entries 2 to 9 of the filter, in order.
    static constexpr std::array<std::string_view, 8> forced = {".gif", ".jpg", ".jpeg", ".bmp",
                                                               ".ico", ".emf", ".wmf", ".png"};
    // The types "All" keeps: those a save writes, less ".ico" (an icon only
    // holds small pictures, so it is never chosen by accident).
    static constexpr std::array<std::string_view, 7> kept = {".jpg", ".jpeg", ".wmf", ".emf",
                                                             ".bmp", ".gif", ".png"};
    const NameParts parts = SplitFileName(name);
    std::string extension = LowerAscii(parts.extension);
    if (filterIndex >= 2 && filterIndex <= 9)
        extension = std::string(forced[static_cast<size_t>(filterIndex - 2)]);
    else if (filterIndex == 1 && std::find(kept.begin(), kept.end(), extension) == kept.end())
        extension = std::string(defaultExt);
    else if (filterIndex != 1)
        return std::string(name);
    return parts.folder + parts.base + extension;
}

std::string SavedFileName(std::string_view name, int filterIndex, std::string_view defaultExt)
{
    return WithLowerExtension(ApplyFilterExtension(name, filterIndex, defaultExt));
}

namespace {

// The list of entry 1 with the GIF default; a default trades places with "*.gif".
constexpr std::array<std::string_view, 8> kAllPatterns = {"*.gif", "*.jpg", "*.jpeg", "*.bmp",
                                                          "*.ico", "*.emf", "*.wmf",  "*.png"};

std::string JoinPatterns(const std::array<std::string_view, 8>& patterns, size_t count)
{
    std::string joined;
    for (size_t i = 0; i < count; ++i) {
        if (i)
            joined += ';';
        joined += patterns[i];
    }
    return joined;
}

} // namespace

std::optional<std::vector<FilterEntry>> SaveFilterVariant(std::string_view defaultExt)
{
    const auto* found = std::find(std::begin(kDefaultExtensions), std::end(kDefaultExtensions), defaultExt);
    if (found == std::end(kDefaultExtensions))
        return std::nullopt;
    std::array<std::string_view, 8> patterns = kAllPatterns;
    const std::string wanted = "*" + LowerAscii(defaultExt);
    std::swap(patterns[0], *std::find(patterns.begin(), patterns.end(), wanted));
    // The PNG pattern is not part of the caption's list unless it is the
    // default; the pattern list always carries it so "All" shows PNG files.
    const bool pngDefault = defaultExt == ".PNG";
    std::vector<FilterEntry> entries;
    entries.push_back({"All (" + JoinPatterns(patterns, pngDefault ? 8 : 7) + ")", JoinPatterns(patterns, 8)});
    const std::pair<const char*, const char*> rest[] = {
        {"GIF Image (*.gif)", "*.gif"},       {"JPEG Image File (*.jpg)", "*.jpg"},
        {"JPEG Image File (*.jpeg)", "*.jpeg"}, {"Bitmaps (*.bmp)", "*.bmp"},
        {"Icons (*.ico)", "*.ico"},           {"Enhanced Metafiles (*.emf)", "*.emf"},
        {"Metafiles (*.wmf)", "*.wmf"},       {"PNG Image (*.png)", "*.png"},
    };
    for (const auto& [caption, pattern] : rest)
        entries.push_back({caption, pattern});
    return entries;
}

std::optional<std::string> NumberedSavePath(std::string_view folder, std::string_view base,
                                            std::string_view defaultExt,
                                            const std::function<bool(const std::string&)>& exists, long limit)
{
    const std::string prefix = std::string(folder) + "/" + std::string(base);
    const std::string extension = LowerAscii(defaultExt);
    for (long n = 1; n <= limit; ++n) {
        std::string candidate = prefix + std::to_string(n) + extension;
        if (!exists(candidate))
            return candidate;
    }
    return std::nullopt;
}

namespace {

constexpr pixels::Color kGifTransparentColour = 0xFFFFFF;

// BMP has no layout of the screen's own, so such a picture is stored at 24 bits.
bool BmpStoresAt24Bits(const pixels::Picture& picture)
{
    using pixels::PixelFormat;
    return picture.format() == PixelFormat::DeviceDefault || picture.format() == PixelFormat::Custom;
}

CodecStatus Encode(PictureType type, const pixels::Picture& picture, bool transparent, MemorySink& sink)
{
    switch (type) {
    case PictureType::Gif:
        return WriteGif(picture, transparent ? std::optional(kGifTransparentColour) : std::nullopt, sink);
    case PictureType::Jpeg: return WriteJpeg(picture, sink, 100);
    case PictureType::Bmp:
        if (!BmpStoresAt24Bits(picture)) return WriteBmp(picture, sink);
        // A screen-sized file is built in one buffer of its final size, never
        // regrown; a size no bitmap file can have is refused by the writer.
        if (const uint64_t size = Bmp24FileBytes(picture.width(), picture.height()); size <= UINT32_MAX) {
            try {
                sink.bytes.reserve(static_cast<size_t>(size));
            } catch (const std::bad_alloc&) {
                // The writer grows the buffer as it goes, or reports the failure.
            }
        }
        return WriteBmp24(picture, sink);
    case PictureType::Ico: return WriteIco(picture, sink);
    case PictureType::Emf: return WriteEmf(picture, sink);
    case PictureType::Wmf: return WriteWmf(picture, sink);
    case PictureType::Png: return WritePng(picture, sink);
    case PictureType::Unknown: break;
    }
    return CodecStatus::failure("no picture type has this extension");
}

} // namespace

SaveResult SavePicture(std::string_view path, pixels::Picture& picture, bool transparent, SaveMode mode)
{
    SaveResult result = SavePictureFile(path, picture, transparent, mode);
    KeepSaveChanges(result.path, picture, transparent);
    return result;
}

void KeepSaveChanges(std::string_view path, pixels::Picture& picture, bool transparent)
{
    if (picture.isEmpty()) return;
    switch (PictureTypeOfName(path)) {
    case PictureType::Gif:
        picture.setTransparent(transparent, transparent ? kGifTransparentColour : 0u);
        if (!GifTakesOwnTable(picture)) picture.convertTo(pixels::PixelFormat::Bits24);
        break;
    case PictureType::Bmp:
        if (BmpStoresAt24Bits(picture)) picture.convertTo(pixels::PixelFormat::Bits24);
        break;
    default: break;
    }
}

SaveResult SavePictureFile(std::string_view path, const pixels::Picture& picture, bool transparent, SaveMode mode)
{
    SaveResult result;
    result.path = WithLowerExtension(path);
    if (picture.isEmpty()) {
        result.error = "Cannot write " + result.path + ": there is no picture";
        return result;
    }
    MemorySink sink;
    if (const CodecStatus encoded = Encode(PictureTypeOfName(result.path), picture, transparent, sink); !encoded) {
        result.error = "Cannot write " + result.path + ": " + encoded.error;
        return result;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(sink.bytes.data()), sink.bytes.size());
    const config::Status written =
        mode == SaveMode::NewFile
            ? config::createFileDurably(result.path, bytes, config::FileAccess::Shared, result.nameTaken)
            : config::writeFileDurably(result.path, bytes, config::FileAccess::Shared);
    if (!written) {
        result.error = written.error;
        result.fileError = true;
    }
    return result;
}

namespace {

// Reads until `size` bytes are in or the file ends; the count read, or -1.
ssize_t ReadFully(int fd, uint8_t* data, size_t size)
{
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(fd, data + filled, size - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(filled);
}

std::string TooLarge(size_t maxBytes)
{
    return "the file is larger than " + std::to_string(maxBytes >> 20) + " MiB";
}

// The rest of an open file after its first `head` bytes, into a buffer of
// the file's size: a file of hundreds of megabytes is held once, never in a
// buffer that grows by doubling. A file that grew meanwhile is still read,
// within the limit.
std::string ReadRest(int fd, size_t fileSize, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    const size_t head = bytes.size();
    bytes.resize(std::max(head, fileSize));
    const ssize_t got = ReadFully(fd, bytes.data() + head, bytes.size() - head);
    if (got < 0)
        return std::strerror(errno);
    bytes.resize(head + static_cast<size_t>(got));
    uint8_t more[65536];
    for (;;) {
        const ssize_t extra = ReadFully(fd, more, sizeof more);
        if (extra < 0)
            return std::strerror(errno);
        if (extra == 0)
            return {};
        if (bytes.size() + static_cast<size_t>(extra) > maxBytes)
            return TooLarge(maxBytes);
        bytes.insert(bytes.end(), more, more + extra);
    }
}

// The whole file, refused beyond the limit before anything is read into
// memory, and refused on its first bytes when they are not of its type.
std::string ReadPictureFile(const std::string& path, PictureType type, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    // Non-blocking, so that a named pipe given as a picture is refused rather than waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::strerror(errno);
    struct stat info {};
    std::string error;
    if (::fstat(fd, &info) != 0)
        error = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        error = "not a file";
    else if (static_cast<uint64_t>(info.st_size) > maxBytes)
        error = TooLarge(maxBytes);
    if (error.empty()) {
        bytes.reserve(std::max(static_cast<size_t>(info.st_size), kSignatureBytes));
        bytes.resize(kSignatureBytes);
        const ssize_t got = ReadFully(fd, bytes.data(), bytes.size());
        bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
        if (got < 0)
            error = std::strerror(errno);
        else
            error = SignatureRefusal(type, Bytes(bytes.data(), bytes.size()));
    }
    if (error.empty())
        error = ReadRest(fd, static_cast<size_t>(info.st_size), maxBytes, bytes);
    ::close(fd);
    return error;
}

ReadResult Decode(PictureType type, Bytes bytes, const ReadLimits& limits, int screenBits)
{
    switch (type) {
    case PictureType::Bmp: return ReadBmp(bytes, limits);
    case PictureType::Gif: return ReadGif(bytes, limits);
    case PictureType::Jpeg: return ReadJpeg(bytes, limits, screenBits);
    case PictureType::Ico: return ReadIco(bytes, limits);
    case PictureType::Emf: return ReadEmf(bytes, limits);
    case PictureType::Wmf: return ReadWmf(bytes, limits);
    case PictureType::Png: return ReadPng(bytes, limits);
    case PictureType::Unknown: break;
    }
    return ReadResult::failure("no picture type has this extension");
}

} // namespace

LoadResult LoadPicture(std::string_view path, int screenBits, const ReadLimits& limits)
{
    LoadResult result;
    const std::string name(path);
    const PictureType type = PictureTypeOfName(name);
    if (type == PictureType::Unknown) {
        result.unknownType = true;
        result.error = "Cannot read " + name + ": no picture type has this extension";
        return result;
    }
    std::vector<uint8_t> bytes;
    if (const std::string error = ReadPictureFile(name, type, limits.maxFileBytes, bytes); !error.empty()) {
        result.error = "Cannot read " + name + ": " + error;
        return result;
    }
    ReadResult decoded = Decode(type, Bytes(bytes.data(), bytes.size()), limits, screenBits);
    if (!decoded.ok())
        result.error = "Cannot read " + name + ": " + decoded.error;
    else if (decoded.picture.isEmpty())
        result.error = "Cannot read " + name + ": the file holds no picture";
    else
        result.picture = std::move(decoded.picture);
    return result;
}

} // namespace kaptivus::files
