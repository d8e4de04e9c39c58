// Median and 99th percentile of a set of samples, reported as a benchmark's counters.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quorvel {

inline void reportPercentiles(benchmark::State& state, const std::string& name,
                              std::vector<double> samples) {
    if (samples.empty()) {
        state.SkipWithError("no samples");
        return;
    }
    std::sort(samples.begin(), samples.end());
    state.counters[name + "_median_us"] = samples[samples.size() / 2];
    state.counters[name + "_p99_us"] = samples[samples.size() * 99 / 100];
}

}  // namespace quorvel
