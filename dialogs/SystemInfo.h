// TSystemInfo: answers questions about the machine and the session (user and
// computer names, system name and version, memory, folders). Non-visual: no widgets.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace kaptivus::dialogs {

// The four /proc/meminfo figures the program reads, in kilobytes. A line that
// is missing or unreadable gives 0.
struct MemoryFigures {
    uint64_t totalPhys = 0;
    uint64_t availPhys = 0;
    uint64_t totalSwap = 0;
    uint64_t availSwap = 0;
};

// Parses the text of /proc/meminfo (MemTotal, MemAvailable, SwapTotal, SwapFree).
// Kernels without MemAvailable get MemFree + Buffers + Cached instead. Never
// throws; garbage, overflowing numbers and missing lines give 0 for that figure.
MemoryFigures ParseMeminfo(std::string_view text);
// Reads and parses the file (at most 64 KiB of it); all zeros when it cannot be read.
MemoryFigures ReadMeminfo(const char* path = "/proc/meminfo");

// The computer name from gethostname's return code and buffer: "Unknown" when
// the call failed; otherwise the text up to the first NUL (or the whole buffer),
// whatever its length.
QString ComputerNameFromResult(int rc, const char* buffer, std::size_t size);

// Version fields from uname's release: "6.1.0-18-amd64" gives "6", "1" and "0".
// Major and minor are the first two dot-separated numbers ("0" when absent);
// build is the leading number of what follows them, or the whole release when
// that has none ("5.15" gives "5", "15", "5.15").
struct KernelVersion {
    QString major = QStringLiteral("0");
    QString minor = QStringLiteral("0");
    QString build;
};
KernelVersion ParseKernelRelease(std::string_view release);

// "Util: " + user + "  Micro :" + computer + "  Os: " + platform + "  Version: " + major + "." + minor
QString UserAndSystemLine(const QString& user, const QString& computer, const QString& platform,
                          const QString& major, const QString& minor);

} // namespace kaptivus::dialogs

class TSystemInfo : public QObject {
    Q_OBJECT
public:
    // Gathers the facts that never change while the program runs.
    explicit TSystemInfo(QObject* owner = nullptr);

    // Gathered at creation.
    int NumberOfProcessors() const { return m_numberOfProcessors; }
    QString Architecture() const { return m_architecture; }
    QString ProcessorType() const { return m_processorType; }
    QString RegUserName() const { return m_regUserName; }
    QString RegCompanyName() const { return m_regCompanyName; }
    QString MajorVersion() const { return m_majorVersion; }
    QString MinorVersion() const { return m_minorVersion; }
    QString BuildNumber() const { return m_buildNumber; }
    // uname's system name ("Linux"); "Unknown" when uname fails.
    QString Platform() const { return m_platform; }

    // Read from the system on each call; memory in kilobytes.
    uint64_t TotalPhysMemory() const;
    uint64_t AvailPhysMemory() const;
    uint64_t TotalSwapMemory() const;
    uint64_t AvailSwapMemory() const;
    QString ComputerName() const;
    // The effective user's login name, else $USER, else "Unknown".
    QString NetworkUserName() const;
    // The folder of the system's libraries and of its configuration.
    QString SystemDirectory() const;
    QString WindowsDirectory() const;
    // The temporary folder (TMPDIR when set), always ending with "/".
    QString TempDirectory() const;

    // The user and system line of the print footer, from the properties above.
    QString UserAndSystemLine() const;

private:
    int m_numberOfProcessors = 1;
    QString m_architecture;
    QString m_processorType;
    QString m_regUserName;
    QString m_regCompanyName;
    QString m_majorVersion;
    QString m_minorVersion;
    QString m_buildNumber;
    QString m_platform;
};
