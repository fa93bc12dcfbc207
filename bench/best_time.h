// The best wall time of repeated calls, for the benchmark programs.
#pragma once

#include <algorithm>
#include <chrono>

namespace orv::bench {

// Best time in seconds of REPS calls of RUN, each after PREPARE (not timed).
template <typename Prepare, typename Run>
double best_seconds(int reps, Prepare&& prepare, Run&& run) {
    double best = 1e30;
    for (int r = 0; r < reps; ++r) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

template <typename Run>
double best_seconds(int reps, Run&& run) {
    return best_seconds(reps, [] {}, run);
}

}  // namespace orv::bench
