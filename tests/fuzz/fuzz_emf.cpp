// Fuzz target for the EMF reader: see MetafileFuzz.h for what it checks.
#include "MetafileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::files;
    return CheckMetafileReader(
        data, size, [](Bytes b, const ReadLimits& l) { return ReadEmf(b, l); },
        [](const kaptivus::pixels::Picture& p, ByteSink& s) { return WriteEmf(p, s); }, 65535);
}
