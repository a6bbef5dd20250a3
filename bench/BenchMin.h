#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

/// The statistic the benchmarks report: the fastest of the repetitions, the one least disturbed
/// by whatever else the machine was doing.
inline double minimumOf(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

/// Adds the minimum to a benchmark with the given repetitions and fixed iterations.
inline benchmark::internal::Benchmark* repeated(benchmark::internal::Benchmark* b, int reps,
                                                benchmark::IterationCount iterations) {
    return b->Repetitions(reps)
        ->Iterations(iterations)
        ->ComputeStatistics("min", minimumOf)
        ->DisplayAggregatesOnly(true)
        ->Unit(benchmark::kMicrosecond);
}

/// The benchmark programs' main once their benchmarks are registered: runs what the command
/// line selects; 1 for an unknown argument.
inline int runRegisteredBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
