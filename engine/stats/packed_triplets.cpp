#include "engine/stats/packed_triplets.h"

#include <algorithm>
#include <bit>

#include "engine/stats/mvntrp.h"
#include "numlib/routines2/dnordf.h"

namespace orv::engine {

namespace {

// Subjects with response 1 on both or all three items.
struct Joint {
    std::int64_t ij = 0, ik = 0, jk = 0, ijk = 0;
};

__attribute__((always_inline)) inline Joint count_joint(const PackedItems& items, int i, int j, int k) {
    const std::uint64_t* a = &items.bits[static_cast<std::size_t>(i - 1) * items.words];
    const std::uint64_t* b = &items.bits[static_cast<std::size_t>(j - 1) * items.words];
    const std::uint64_t* c = &items.bits[static_cast<std::size_t>(k - 1) * items.words];
    Joint n;
    for (std::size_t w = 0; w < items.words; ++w) {
        const std::uint64_t ab = a[w] & b[w];
        n.ij += std::popcount(ab);
        n.ik += std::popcount(a[w] & c[w]);
        n.jk += std::popcount(b[w] & c[w]);
        n.ijk += std::popcount(ab & c[w]);
    }
    return n;
}

// The same, built with the processor's population-count instruction.
__attribute__((target("popcnt"))) Joint count_joint_popcnt(const PackedItems& items, int i, int j, int k) {
    return count_joint(items, i, j, k);
}

// The version is chosen by a plain test rather than by the loader (an
// indirect function), whose resolver runs before a sanitizer's run-time is
// ready and so keeps an instrumented program from starting.
Joint joint_ones(const PackedItems& items, int i, int j, int k) {
    static const bool popcnt = __builtin_cpu_supports("popcnt");
    return popcnt ? count_joint_popcnt(items, i, j, k) : count_joint(items, i, j, k);
}

}  // namespace

PackedItems pack_items(std::span<const double> X, int NSUBJ, int NVAR) {
    const auto nsubj = static_cast<std::size_t>(NSUBJ);
    const auto nvar = static_cast<std::size_t>(NVAR);
    PackedItems items;
    items.nsubj = NSUBJ;
    items.words = (nsubj + 63) / 64;
    items.bits.assign(items.words * nvar, 0);
    items.ones.assign(nvar, 0);
    items.tau.assign(nvar, 0.0);
    for (std::size_t v = 0; v < nvar; ++v) {
        const double* column = X.data() + v * nsubj;
        std::uint64_t* bits = &items.bits[v * items.words];
        std::int64_t ones = 0;
        for (std::size_t w = 0; w < items.words; ++w) {
            const std::size_t first = w * 64;
            const std::size_t n = std::min<std::size_t>(64, nsubj - first);
            std::uint64_t word = 0;
            for (std::size_t b = 0; b < n; ++b) word |= static_cast<std::uint64_t>(column[first + b] == 1.0) << b;
            bits[w] = word;
            ones += std::popcount(word);
        }
        items.ones[v] = ones;
        items.tau[v] = num2::DNORIN(static_cast<double>(ones) / static_cast<double>(NSUBJ));
    }
    return items;
}

void triplet_counts(const PackedItems& items, int I, int J, int K, int O[8]) {
    const Joint n = joint_ones(items, I, J, K);
    const std::int64_t ni = items.ones[static_cast<std::size_t>(I - 1)];
    const std::int64_t nj = items.ones[static_cast<std::size_t>(J - 1)];
    const std::int64_t nk = items.ones[static_cast<std::size_t>(K - 1)];
    const std::int64_t counts[8] = {
        n.ijk,                                                      // 1 1 1
        n.ik - n.ijk,                                               // 1 0 1
        n.ij - n.ijk,                                               // 1 1 0
        ni - n.ij - n.ik + n.ijk,                                   // 1 0 0
        n.jk - n.ijk,                                               // 0 1 1
        nk - n.ik - n.jk + n.ijk,                                   // 0 0 1
        nj - n.ij - n.jk + n.ijk,                                   // 0 1 0
        items.nsubj - ni - nj - nk + n.ij + n.ik + n.jk - n.ijk,  // 0 0 0
    };
    for (int p = 0; p < 8; ++p) O[p] = static_cast<int>(counts[p]);
}

double triplet_g2(const PackedItems& items, std::span<const double> R, int NVAR, int I, int J, int K) {
    int o[8];
    triplet_counts(items, I, J, K, o);
    const double tau[3] = {items.tau[static_cast<std::size_t>(I - 1)], items.tau[static_cast<std::size_t>(J - 1)],
                           items.tau[static_cast<std::size_t>(K - 1)]};
    const auto nvar = static_cast<std::size_t>(NVAR);
    auto r = [&](int a, int b) { return R[static_cast<std::size_t>(a - 1) + static_cast<std::size_t>(b - 1) * nvar]; };
    return mvn_fit(o, items.nsubj, tau, r(I, J), r(I, K), r(J, K)).g2;
}

}  // namespace orv::engine
