// System facts: memory figures against /proc/meminfo, the temporary folder,
// names and versions, and the parsers fed with odd input.
#include "dialogs/GetArchitecture.h"
#include "dialogs/SystemInfo.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

using namespace kaptivus::dialogs;

namespace {

uint64_t independentMemTotal()
{
    std::ifstream in("/proc/meminfo");
    std::string key;
    uint64_t value = 0;
    std::string unit;
    while (in >> key >> value >> unit)
        if (key == "MemTotal:")
            return value;
    return 0;
}

TEST(SystemInfoMemory, FiguresArePlausibleAndTotalMatchesMeminfo)
{
    TSystemInfo info;
    const uint64_t total = info.TotalPhysMemory();
    EXPECT_EQ(total, independentMemTotal());
    EXPECT_GT(total, 16u * 1024) << "less than 16 MB of memory";
    const uint64_t avail = info.AvailPhysMemory();
    EXPECT_GT(avail, 0u);
    EXPECT_LE(avail, total);
    EXPECT_LE(info.AvailSwapMemory(), info.TotalSwapMemory());
}

TEST(SystemInfoMemory, UnreadableFileGivesZeros)
{
    const MemoryFigures figures = ReadMeminfo("/nonexistent/meminfo");
    EXPECT_EQ(figures.totalPhys, 0u);
    EXPECT_EQ(figures.availPhys, 0u);
}

TEST(MeminfoParser, ReadsTheFourFiguresOfAWellFormedFile)
{
    const MemoryFigures f = ParseMeminfo("MemTotal:       16318020 kB\n"
                                         "MemFree:         1022000 kB\n"
                                         "MemAvailable:   10240000 kB\n"
                                         "Buffers:          200000 kB\n"
                                         "SwapTotal:       2097148 kB\n"
                                         "SwapFree:        2000000 kB\n"
                                         "HugePages_Total:       0\n");
    EXPECT_EQ(f.totalPhys, 16318020u);
    EXPECT_EQ(f.availPhys, 10240000u);
    EXPECT_EQ(f.totalSwap, 2097148u);
    EXPECT_EQ(f.availSwap, 2000000u);
}

TEST(MeminfoParser, MissingLinesGiveZeroAndOldKernelsEstimateAvailable)
{
    const MemoryFigures none = ParseMeminfo("");
    EXPECT_EQ(none.totalPhys, 0u);
    EXPECT_EQ(none.availPhys, 0u);
    const MemoryFigures old = ParseMeminfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 30 kB");
    EXPECT_EQ(old.totalPhys, 1000u);
    EXPECT_EQ(old.availPhys, 150u);
    EXPECT_EQ(old.totalSwap, 0u);
}

TEST(MeminfoParser, MalformedLinesAreIgnored)
{
    const MemoryFigures f = ParseMeminfo("MemTotal: lots kB\n"
                                         "MemTotal 5 kB\n"
                                         "SwapTotal: 12 MB\n"
                                         "SwapFree: -4 kB\n"
                                         "MemAvailable:\t77 kB\r\n"
                                         ":::\n\n\n"
                                         "MemTotal: 2048 kB\n"
                                         "MemTotal: 4096 kB\n");
    EXPECT_EQ(f.totalPhys, 2048u) << "the first well-formed line counts";
    EXPECT_EQ(f.availPhys, 77u);
    EXPECT_EQ(f.totalSwap, 0u);
    EXPECT_EQ(f.availSwap, 0u);
}

TEST(MeminfoParser, HugeNumbersNeitherWrapNorCrash)
{
    const MemoryFigures f = ParseMeminfo("MemTotal: 18446744073709551615 kB\n"
                                         "MemAvailable: 18446744073709551616 kB\n"
                                         "SwapTotal: 99999999999999999999999999999999 kB\n");
    EXPECT_EQ(f.totalPhys, UINT64_MAX);
    EXPECT_EQ(f.availPhys, 0u);
    EXPECT_EQ(f.totalSwap, 0u);
    const MemoryFigures sum = ParseMeminfo("MemFree: 18446744073709551615 kB\nCached: 5 kB\n");
    EXPECT_EQ(sum.availPhys, UINT64_MAX) << "the estimate saturates";
}

TEST(MeminfoParser, RandomBytesNeverCrash)
{
    std::mt19937 random(20261207);
    const std::string pieces[] = {"MemTotal:", "SwapFree:", " ", "\n", "kB", "1", "99999999999", ":", std::string(1, '\0'), "\xff"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            if (random() % 2)
                text += pieces[random() % std::size(pieces)];
            else
                text += static_cast<char>(random() % 256);
        }
        const MemoryFigures f = ParseMeminfo(text);
        (void)f;
    }
    SUCCEED();
}

TEST(ComputerName, LongNamesAreReportedAsTheyAre)
{
    const char sixteen[] = "workstation-0016";
    EXPECT_EQ(ComputerNameFromResult(0, sixteen, sizeof sixteen), "workstation-0016");
    const std::string long64(64, 'h');
    EXPECT_EQ(ComputerNameFromResult(0, long64.c_str(), long64.size() + 1), QString::fromStdString(long64));
    const char shortName[] = "box\0garbage";
    EXPECT_EQ(ComputerNameFromResult(0, shortName, sizeof shortName), "box");
}

TEST(ComputerName, OnlyAFailedCallIsUnknown)
{
    const char name[] = "box";
    EXPECT_EQ(ComputerNameFromResult(-1, name, sizeof name), "Unknown");
    EXPECT_EQ(ComputerNameFromResult(0, nullptr, 0), "Unknown");
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(ComputerNameFromResult(0, unterminated, sizeof unterminated), "abcd");
}

TEST(ComputerName, MatchesTheSystemsHostName)
{
    char buffer[300] = {};
    ASSERT_EQ(gethostname(buffer, sizeof buffer - 1), 0);
    EXPECT_EQ(TSystemInfo().ComputerName(), QString::fromLocal8Bit(buffer));
}

struct ReleaseCase {
    const char* release;
    const char* major;
    const char* minor;
    const char* build;
};

TEST(KernelRelease, SplitsIntoMajorMinorAndBuild)
{
    const ReleaseCase cases[] = {
        {"6.1.0-18-amd64", "6", "1", "0"},
        {"4.19.260", "4", "19", "260"},
        {"5.15", "5", "15", "5.15"},
        {"5.15-rc1", "5", "15", "5.15-rc1"},
        {"06.01.7rc", "6", "1", "7"},
        {"6", "6", "0", "6"},
        {"6.x", "6", "0", "6.x"},
        {"", "0", "0", ""},
        {"garbage", "0", "0", "garbage"},
        {"99999999999.1.2", "0", "0", "99999999999.1.2"},
        {"4294967295.4294967295.4294967295", "4294967295", "4294967295", "4294967295"},
    };
    for (const ReleaseCase& c : cases) {
        const KernelVersion v = ParseKernelRelease(c.release);
        EXPECT_EQ(v.major, c.major) << c.release;
        EXPECT_EQ(v.minor, c.minor) << c.release;
        EXPECT_EQ(v.build, c.build) << c.release;
    }
}

TEST(SystemInfoNames, PlatformUserAndTheFooterLine)
{
    TSystemInfo info;
    EXPECT_EQ(info.Platform(), "Linux");
    bool numeric = false;
    info.MajorVersion().toUInt(&numeric);
    EXPECT_TRUE(numeric);
    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(info.NetworkUserName(), QString::fromLocal8Bit(entry->pw_name));
    EXPECT_EQ(info.RegUserName(), "None");
    EXPECT_EQ(info.RegCompanyName(), "None");
    EXPECT_EQ(info.UserAndSystemLine(), "Util: " + info.NetworkUserName() + "  Micro :" + info.ComputerName()
                                            + "  Os: Linux  Version: " + info.MajorVersion() + "."
                                            + info.MinorVersion());
    EXPECT_EQ(UserAndSystemLine("ann", "box", "Linux", "6", "1"), "Util: ann  Micro :box  Os: Linux  Version: 6.1");
}

TEST(SystemInfoNames, FactsGatheredAtCreationStayTheSame)
{
    TSystemInfo info;
    const QString platform = info.Platform();
    const QString build = info.BuildNumber();
    EXPECT_EQ(info.Platform(), platform);
    EXPECT_EQ(info.BuildNumber(), build);
    EXPECT_FALSE(build.isEmpty());
    EXPECT_EQ(info.NumberOfProcessors(), GetArchitecture().numberOfProcessors);
    EXPECT_GE(info.NumberOfProcessors(), 1);
    EXPECT_EQ(info.NumberOfProcessors(), static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_FALSE(info.Architecture().isEmpty());
}

TEST(SystemInfoFolders, TempDirectoryEndsWithSlashAndFollowsTmpdir)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    const QString temp = TSystemInfo().TempDirectory();
    qputenv("TMPDIR", saved);
    EXPECT_TRUE(temp.endsWith('/'));
    EXPECT_EQ(QDir(temp).canonicalPath(), QDir(folder.path()).canonicalPath());
    EXPECT_TRUE(TSystemInfo().TempDirectory().endsWith('/'));
}

struct MachineCase {
    const char* machine;
    const char* architecture;
    const char* type;
};

TEST(Architecture, MachineNamesMapToTheShownNames)
{
    const MachineCase cases[] = {
        {"x86_64", "Intel Processor Architecture", "Pentium"},
        {"i686", "Intel Processor Architecture", "Pentium"},
        {"i486", "Intel Processor Architecture", "80486"},
        {"i386", "Intel Processor Architecture", "80386"},
        {"mips64", "MIPS Processor Architecture", "Unknown"},
        {"alpha", "DEC ALPHA Processor Architecture", "Unknown"},
        {"ppc64le", "PPC Processor Architecture", "Unknown"},
        {"aarch64", "Unknown Processor Architecture", "Unknown"},
        {"riscv64", "Unknown Processor Architecture", "Unknown"},
        {"", "Unknown Processor Architecture", "Unknown"},
    };
    for (const MachineCase& c : cases) {
        const ProcessorFacts facts = ArchitectureFromMachine(c.machine, 4);
        EXPECT_EQ(facts.architecture, c.architecture) << c.machine;
        EXPECT_EQ(facts.processorType, c.type) << c.machine;
        EXPECT_EQ(facts.numberOfProcessors, 4);
    }
    EXPECT_EQ(ArchitectureFromMachine("x86_64", 0).numberOfProcessors, 1);
}

} // namespace
