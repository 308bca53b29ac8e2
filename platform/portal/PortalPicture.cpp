// Reading and removing the portal's picture file. The file is opened without
// following a link and judged by what was opened (fstat), so a file swapped in
// after the checks is never read; it is removed only when the name still
// leads to the very file that was read.
#include "platform/portal/PortalPicture.h"

#include "files/Codec.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::platform::portal {
namespace {

class FileHandle {
public:
    explicit FileHandle(int fd)
        : m_fd(fd)
    {
    }
    ~FileHandle()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

// An absolute path whose every part is a name: no empty, "." or ".." part, no NUL.
bool isPlainAbsolute(const std::string& path)
{
    if (path.size() < 2 || path.front() != '/' || path.find('\0') != std::string::npos) return false;
    size_t start = 1;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part(path.data() + start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

std::optional<std::string> resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) == nullptr) return std::nullopt;
    return std::string(buffer);
}

// The whole file, or an error: at most kMaxPortalFileBytes.
std::string readAll(int fd, int64_t size, std::vector<uint8_t>& bytes)
{
    bytes.resize(size_t(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::string("it could not be read: ") + std::strerror(errno);
        if (got == 0) break;
        done += size_t(got);
    }
    bytes.resize(done);
    return {};
}

// Unpremultiplied alpha, laid over black: a screen's picture has nothing
// behind it, and a desktop grab shows what lies outside the outputs as black.
void layOverBlack(pixels::Picture& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x, p += 4) {
            const unsigned a = p[3];
            if (a != 255)
                for (int c = 0; c < 3; ++c)
                    p[c] = uint8_t((p[c] * a + 127) / 255);
            p[3] = 0;
        }
    }
}

// Decoded by libpng straight into the screen's own layout (blue, green, red
// and a fourth byte, as every grab gives), its size checked before anything
// is allocated for it.
pixels::Picture decoded(const std::vector<uint8_t>& bytes, std::string& error)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        error = std::string("it is not a PNG picture that can be read (") + image.message + ")";
        return {};
    }
    const files::ReadLimits limits;
    if (std::string refusal = limits.sizeRefusal(image.width, image.height); !refusal.empty()) {
        png_image_free(&image);
        error = "it is too large: " + refusal;
        return {};
    }
    image.format = PNG_FORMAT_BGRA;
    auto picture = pixels::Picture::create(int(image.width), int(image.height), pixels::PixelFormat::DeviceDefault);
    if (picture.isEmpty()) {
        png_image_free(&image);
        error = "there is not enough memory for it";
        return {};
    }
    if (!png_image_finish_read(&image, nullptr, picture.scanLine(0), picture.stride(), nullptr)) {
        error = std::string("its PNG picture could not be decoded: ") + image.message;
        return {};
    }
    layOverBlack(picture);
    return picture;
}

// Removes the file when it is this user's own, alone under its name, in one
// of `roots`, and the name still leads to the file that was read.
bool removeIfOwn(const std::string& path, const struct stat& opened, const std::vector<std::string>& roots)
{
    if (opened.st_uid != ::geteuid() || opened.st_nlink != 1 || !isUnderRoots(path, roots)) return false;
    struct stat now { };
    if (::lstat(path.c_str(), &now) != 0 || now.st_dev != opened.st_dev || now.st_ino != opened.st_ino) return false;
    return ::unlink(path.c_str()) == 0;
}

} // namespace

std::optional<std::string> localPathOfUri(std::string_view uri)
{
    constexpr std::string_view kScheme = "file://";
    if (uri.size() < kScheme.size()) return std::nullopt;
    for (size_t i = 0; i < kScheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(uri[i])) != kScheme[i]) return std::nullopt;
    uri.remove_prefix(kScheme.size());
    const size_t slash = uri.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && host != "localhost") return std::nullopt;
    const std::string_view rest = uri.substr(slash);
    if (rest.find_first_of("?#") != std::string_view::npos) return std::nullopt;
    auto path = percentDecoded(rest);
    if (!path || !isPlainAbsolute(*path)) return std::nullopt;
    return path;
}

bool isUnderRoots(const std::string& path, const std::vector<std::string>& roots)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return false;
    const auto folder = resolved(slash == 0 ? std::string("/") : path.substr(0, slash));
    if (!folder) return false;
    for (const std::string& root : roots) {
        const auto base = root.empty() ? std::nullopt : resolved(root);
        if (!base || *base == "/") continue;
        if (*folder == *base || folder->starts_with(*base + "/")) return true;
    }
    return false;
}

std::vector<std::string> removableRoots()
{
    std::vector<std::string> roots;
    for (const char* name : { "HOME", "XDG_RUNTIME_DIR", "TMPDIR" })
        if (const char* value = std::getenv(name); value && *value == '/') roots.emplace_back(value);
    roots.emplace_back("/tmp");
    roots.emplace_back("/var/tmp");
    return roots;
}

PortalPicture readPortalPicture(std::string_view uri, const std::vector<std::string>& roots)
{
    PortalPicture result;
    const auto path = localPathOfUri(uri);
    if (!path) {
        result.error = "the Screenshot portal gave an address that is not a local file (" + std::string(uri) + ")";
        return result;
    }
    const auto refuse = [&](const std::string& why) {
        result.error = "the Screenshot portal's picture " + *path + " was not read: " + why;
        return result;
    };
    // Non-blocking, so that a pipe put in the file's place cannot stall the program.
    const FileHandle file(::open(path->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.fd() < 0) return refuse(std::strerror(errno));
    struct stat info { };
    if (::fstat(file.fd(), &info) != 0) return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refuse("it is not a regular file");
    if (info.st_uid != ::geteuid()) return refuse("it belongs to another user");
    if (info.st_size > kMaxPortalFileBytes) return refuse("it is larger than a picture of a desktop can be");
    std::vector<uint8_t> bytes;
    if (std::string why = readAll(file.fd(), info.st_size, bytes); !why.empty()) return refuse(why);
    // Read, the file has served its purpose: it holds the user's screen and should not linger.
    result.removed = removeIfOwn(*path, info, roots);
    std::string why;
    result.picture = decoded(bytes, why);
    if (!why.empty()) return refuse(why);
    return result;
}

} // namespace kaptivus::platform::portal
