// Runs the registered benchmarks, or refuses when the program was built
// without optimisation: such figures would measure nothing worth reporting.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>

namespace kaptivus::bench {

inline int runBenchmarks(int argc, char** argv)
{
#ifndef __OPTIMIZE__
    std::fprintf(stderr, "%s was built without optimisation; rebuild with -DCMAKE_BUILD_TYPE=Release to measure.\n",
        argc > 0 ? argv[0] : "the benchmark");
    return 1;
#else
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
#endif
}

} // namespace kaptivus::bench
