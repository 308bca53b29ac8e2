// Processor facts of the machine: architecture name, processor type name and
// processor count, asked of the system once per process. No widgets.
#pragma once

#include <QString>

#include <string_view>

namespace kaptivus::dialogs {

struct ProcessorFacts {
    QString architecture;
    QString processorType;
    int numberOfProcessors = 1;
};

// Maps uname's machine field to the names the program shows. The x86 family
// (i386 .. i686, x86_64, amd64) is "Intel Processor Architecture"; i386 is an
// "80386", i486 an "80486", every later x86 processor a "Pentium" (the
// Pentium-class type a 32-bit program is told about). MIPS, Alpha and PowerPC
// get their own architecture names with type "Unknown". Anything else, or an
// empty machine, is "Unknown Processor Architecture" / "Unknown".
ProcessorFacts ArchitectureFromMachine(std::string_view machine, int numberOfProcessors);

// The process-wide facts, gathered on first use.
const ProcessorFacts& GetArchitecture();

} // namespace kaptivus::dialogs
