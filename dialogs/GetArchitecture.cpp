#include "dialogs/GetArchitecture.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace kaptivus::dialogs {

namespace {

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool isAnyOf(std::string_view s, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), s) != names.end();
}

int onlineProcessors()
{
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n >= 1 && n <= 1 << 20 ? static_cast<int>(n) : 1;
}

} // namespace

ProcessorFacts ArchitectureFromMachine(std::string_view machine, int numberOfProcessors)
{
    ProcessorFacts facts;
    facts.numberOfProcessors = std::max(1, numberOfProcessors);
    facts.processorType = QStringLiteral("Unknown");
    if (isAnyOf(machine, {"i386", "i486", "i586", "i686", "x86_64", "amd64", "x86"})) {
        facts.architecture = QStringLiteral("Intel Processor Architecture");
        if (machine == "i386")
            facts.processorType = QStringLiteral("80386");
        else if (machine == "i486")
            facts.processorType = QStringLiteral("80486");
        else
            facts.processorType = QStringLiteral("Pentium");
    } else if (startsWith(machine, "mips")) {
        facts.architecture = QStringLiteral("MIPS Processor Architecture");
    } else if (startsWith(machine, "alpha")) {
        facts.architecture = QStringLiteral("DEC ALPHA Processor Architecture");
    } else if (startsWith(machine, "ppc") || startsWith(machine, "powerpc")) {
        facts.architecture = QStringLiteral("PPC Processor Architecture");
    } else {
        facts.architecture = QStringLiteral("Unknown Processor Architecture");
    }
    return facts;
}

const ProcessorFacts& GetArchitecture()
{
    static const ProcessorFacts facts = [] {
        struct utsname names {};
        const std::string_view machine = uname(&names) == 0 ? std::string_view(names.machine) : std::string_view();
        return ArchitectureFromMachine(machine, onlineProcessors());
    }();
    return facts;
}

} // namespace kaptivus::dialogs
