#include "dialogs/SystemInfo.h"

#include "dialogs/GetArchitecture.h"

#include <QByteArray>
#include <QDir>

#include <fcntl.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace kaptivus::dialogs {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the decimal number at the front of s into value and drops it from s.
// False (s unchanged) when s does not start with a digit or the number
// exceeds max.
bool takeNumber(std::string_view& s, uint64_t max, uint64_t& value)
{
    uint64_t v = 0;
    std::size_t i = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        const unsigned digit = static_cast<unsigned>(s[i] - '0');
        if (v > (max - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    if (i == 0)
        return false;
    value = v;
    s.remove_prefix(i);
    return true;
}

void skipBlanks(std::string_view& s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
}

// "Key:   1234 kB" -> the figure in kilobytes, when well formed.
std::optional<uint64_t> meminfoValue(std::string_view rest)
{
    skipBlanks(rest);
    uint64_t value = 0;
    if (!takeNumber(rest, std::numeric_limits<uint64_t>::max(), value))
        return std::nullopt;
    skipBlanks(rest);
    while (!rest.empty() && (rest.back() == '\r' || isBlank(rest.back())))
        rest.remove_suffix(1);
    if (!rest.empty() && rest != "kB" && rest != "KB" && rest != "kb")
        return std::nullopt;
    return value;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b)
{
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

struct MeminfoLines {
    std::optional<uint64_t> memTotal, memAvailable, memFree, buffers, cached, swapTotal, swapFree;

    void take(std::string_view key, std::optional<uint64_t> value)
    {
        std::optional<uint64_t>* slot = key == "MemTotal"         ? &memTotal
                                        : key == "MemAvailable" ? &memAvailable
                                        : key == "MemFree"      ? &memFree
                                        : key == "Buffers"      ? &buffers
                                        : key == "Cached"       ? &cached
                                        : key == "SwapTotal"    ? &swapTotal
                                        : key == "SwapFree"     ? &swapFree
                                                                : nullptr;
        // The first well-formed line of a name counts.
        if (slot && !*slot)
            *slot = value;
    }
};

} // namespace

MemoryFigures ParseMeminfo(std::string_view text)
{
    MeminfoLines lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        lines.take(line.substr(0, colon), meminfoValue(line.substr(colon + 1)));
    }
    MemoryFigures figures;
    figures.totalPhys = lines.memTotal.value_or(0);
    if (lines.memAvailable)
        figures.availPhys = *lines.memAvailable;
    else
        figures.availPhys = saturatingAdd(saturatingAdd(lines.memFree.value_or(0), lines.buffers.value_or(0)),
                                          lines.cached.value_or(0));
    figures.totalSwap = lines.swapTotal.value_or(0);
    figures.availSwap = lines.swapFree.value_or(0);
    return figures;
}

MemoryFigures ReadMeminfo(const char* path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    constexpr std::size_t cap = 64 * 1024;
    std::vector<char> data(cap);
    std::size_t used = 0;
    while (used < cap) {
        const ssize_t n = read(fd, data.data() + used, cap - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    close(fd);
    return ParseMeminfo(std::string_view(data.data(), used));
}

QString ComputerNameFromResult(int rc, const char* buffer, std::size_t size)
{
    if (rc != 0 || !buffer)
        return QStringLiteral("Unknown");
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(strnlen(buffer, size)));
}

KernelVersion ParseKernelRelease(std::string_view release)
{
    KernelVersion version;
    version.build = QString::fromLocal8Bit(release.data(), static_cast<qsizetype>(release.size()));
    constexpr uint64_t max32 = std::numeric_limits<uint32_t>::max();
    std::string_view rest = release;
    uint64_t major = 0;
    if (!takeNumber(rest, max32, major))
        return version;
    version.major = QString::number(major);
    uint64_t minor = 0;
    if (rest.empty() || rest.front() != '.')
        return version;
    rest.remove_prefix(1);
    if (!takeNumber(rest, max32, minor))
        return version;
    version.minor = QString::number(minor);
    if (!rest.empty() && rest.front() == '.')
        rest.remove_prefix(1);
    uint64_t build = 0;
    if (takeNumber(rest, max32, build))
        version.build = QString::number(build);
    return version;
}

QString UserAndSystemLine(const QString& user, const QString& computer, const QString& platform,
                          const QString& major, const QString& minor)
{
    return QStringLiteral("Util: ") + user + QStringLiteral("  Micro :") + computer + QStringLiteral("  Os: ")
           + platform + QStringLiteral("  Version: ") + major + QStringLiteral(".") + minor;
}

} // namespace kaptivus::dialogs

using namespace kaptivus::dialogs;

TSystemInfo::TSystemInfo(QObject* owner)
    : QObject(owner)
{
    setObjectName(QStringLiteral("SystemInfo1"));
    struct utsname names {};
    if (uname(&names) == 0) {
        m_platform = QString::fromLocal8Bit(names.sysname);
        const KernelVersion version = ParseKernelRelease(names.release);
        m_majorVersion = version.major;
        m_minorVersion = version.minor;
        m_buildNumber = version.build;
    } else {
        m_platform = QStringLiteral("Unknown");
        m_majorVersion = m_minorVersion = m_buildNumber = QStringLiteral("0");
    }
    // No registered owner exists on this system.
    m_regUserName = QStringLiteral("None");
    m_regCompanyName = QStringLiteral("None");
    const ProcessorFacts& facts = GetArchitecture();
    m_architecture = facts.architecture;
    m_processorType = facts.processorType;
    m_numberOfProcessors = facts.numberOfProcessors;
}

uint64_t TSystemInfo::TotalPhysMemory() const { return ReadMeminfo().totalPhys; }
uint64_t TSystemInfo::AvailPhysMemory() const { return ReadMeminfo().availPhys; }
uint64_t TSystemInfo::TotalSwapMemory() const { return ReadMeminfo().totalSwap; }
uint64_t TSystemInfo::AvailSwapMemory() const { return ReadMeminfo().availSwap; }

QString TSystemInfo::ComputerName() const
{
    char buffer[256 + 1] = {};
    const int rc = gethostname(buffer, sizeof buffer - 1);
    return ComputerNameFromResult(rc, buffer, sizeof buffer - 1);
}

QString TSystemInfo::NetworkUserName() const
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 && size < (1 << 20) ? static_cast<std::size_t>(size) : 1024);
    struct passwd entry {};
    struct passwd* found = nullptr;
    int rc = 0;
    while ((rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc == 0 && found && found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    const QByteArray user = qgetenv("USER");
    if (!user.isEmpty())
        return QString::fromLocal8Bit(user);
    return QStringLiteral("Unknown");
}

QString TSystemInfo::SystemDirectory() const { return QStringLiteral("/usr/lib"); }
QString TSystemInfo::WindowsDirectory() const { return QStringLiteral("/etc"); }

QString TSystemInfo::TempDirectory() const
{
    QString path = QDir::tempPath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString TSystemInfo::UserAndSystemLine() const
{
    return kaptivus::dialogs::UserAndSystemLine(NetworkUserName(), ComputerName(), Platform(), MajorVersion(),
                                                MinorVersion());
}
