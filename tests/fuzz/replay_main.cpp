// Runs a fuzz target without libFuzzer: every file of its starting corpus, then a
// fixed, seeded batch of mutations of each seed, so the run is repeatable.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void mutate(std::vector<uint8_t>& bytes, std::mt19937& rng)
{
    if (bytes.empty()) {
        bytes.push_back(static_cast<uint8_t>(rng()));
        return;
    }
    switch (rng() % 4) {
    case 0: bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng()); break;
    case 1: bytes.resize(rng() % (bytes.size() + 1)); break;
    case 2: bytes.insert(bytes.begin() + static_cast<long>(rng() % bytes.size()), static_cast<uint8_t>(rng())); break;
    default: bytes[rng() % bytes.size()] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::vector<uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& entry : std::filesystem::directory_iterator(p))
                if (entry.is_regular_file()) seeds.push_back(readFile(entry.path()));
        } else if (std::filesystem::is_regular_file(p)) {
            seeds.push_back(readFile(p));
        }
    }
    if (seeds.empty()) seeds.emplace_back();
    std::mt19937 rng(20261207);
    size_t runs = 0;
    for (const auto& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        ++runs;
        for (int round = 0; round < 2000; ++round) {
            std::vector<uint8_t> input = seed;
            for (unsigned k = 0, n = 1 + rng() % 8; k < n; ++k) mutate(input, rng);
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++runs;
        }
    }
    std::printf("%zu inputs ran without a fault\n", runs);
    return 0;
}
