// Fuzz target for the registry file parser: any input must parse or be refused without a
// fault, and whatever parses must come back unchanged after writing and reading again.
#include "config/RegistryFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::config;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const ParseResult first = parseRegistry(input);
    if (!first.ok()) {
        if (first.error.empty()) std::abort(); // a refusal must say why
        return 0;
    }
    const std::string written = serializeRegistry(*first.document);
    // Writing may add a little (dwords padded to eight digits, hex line breaks); the store
    // itself refuses to write a file over the limit, so such a document is out of scope here.
    if (written.size() > kMaxRegistryFileBytes) return 0;
    const ParseResult second = parseRegistry(written);
    if (!second.ok()) {
        std::fprintf(stderr, "written document does not parse: %s\n", second.error.c_str());
        std::abort();
    }
    if (!(*second.document == *first.document)) {
        std::fprintf(stderr, "document changed by a write and a read\n");
        std::abort();
    }
    if (serializeRegistry(*second.document) != written) {
        std::fprintf(stderr, "writing is not stable\n");
        std::abort();
    }
    return 0;
}
