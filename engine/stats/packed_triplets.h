// Dichotomous items packed as bits, for the triplet test of many items:
// the pattern counts of a triplet come from population counts of the
// words of its three items, and its statistic from the fit of mvntrp.h.
// Everything but pack_items is pure, so the triplets run on all cores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orv::engine {

// The responses of each item as bits (1 for a response of 1), 64 subjects
// a word, with the item's count of ones and its threshold
// Phi^-1(ones / N).
struct PackedItems {
    int nsubj = 0;
    std::size_t words = 0;
    std::vector<std::uint64_t> bits;  // `words` per item
    std::vector<std::int64_t> ones;
    std::vector<double> tau;
};

// The NVAR columns of X (NSUBJ responses each, coded 1.0 and 0.0) packed.
// The thresholds come from DNORIN, which uses the library's error stack:
// call it on the engine's thread.
PackedItems pack_items(std::span<const double> X, int NSUBJ, int NVAR);

// The counts O of the 8 response patterns of items I, J, K (from 1), in
// the order of MVN_PATTERNS.
void triplet_counts(const PackedItems& items, int I, int J, int K, int O[8]);

// The statistic of the triplet (I, J, K): MVNTRP's fit of its counts, with
// the pair correlations from R (NVAR x NVAR, column-major).
double triplet_g2(const PackedItems& items, std::span<const double> R, int NVAR, int I, int J, int K);

}  // namespace orv::engine
