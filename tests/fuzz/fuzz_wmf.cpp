// Fuzz target for the WMF reader: see MetafileFuzz.h for what it checks.
#include "MetafileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::files;
    // Larger pictures are drawn but do not fit the 16-bit coordinates WMF writes.
    return CheckMetafileReader(
        data, size, [](Bytes b, const ReadLimits& l) { return ReadWmf(b, l); },
        [](const kaptivus::pixels::Picture& p, ByteSink& s) { return WriteWmf(p, s); }, 32767);
}
