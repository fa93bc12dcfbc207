#include "numlib/routines1/m01_rank.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "process/parallel.h"

namespace orv::num1::m01 {

namespace {

// More blocks make the merge's choice of the next head slower.
constexpr std::size_t kMaxBlocks = 16;

// A key above every other value's for the values that are NaN, one key for
// -0 and +0, and otherwise the bits of the value turned so that their
// unsigned order is the numbers' order.
std::uint64_t key_of(double x) {
    if (std::isnan(x)) return ~std::uint64_t{0};
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x == 0.0 ? 0.0 : x);
    return bits >> 63 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// The key above the index: unique, and ordered by value and then by index.
using Composite = unsigned __int128;
constexpr Composite kAllComposites = Composite{1} << 96;

Composite composite(double x, bool descending, std::size_t index) {
    const std::uint64_t key = descending ? ~key_of(x) : key_of(x);
    return (Composite{key} << 32) | index;
}

std::uint32_t index_of(Composite c) { return static_cast<std::uint32_t>(c); }

// Sorted blocks of composites and where a share of the merged order starts
// in each of them.
class Blocks {
public:
    Blocks(Composite* keys, std::size_t n, std::size_t count) : keys_(keys), n_(n), count_(count) {}

    std::size_t count() const { return count_; }
    std::size_t begin(std::size_t b) const { return n_ * b / count_; }
    std::size_t end(std::size_t b) const { return begin(b + 1); }

    // CUT[b]: the start in block b of the merged order's first RANK
    // composites.  The composite with exactly RANK below it is found by
    // bisection over all composites: the count below c grows by one at
    // each composite, so the smallest c with RANK below it has exactly
    // RANK below it.
    void cut(std::size_t rank, std::span<std::size_t> cut) const {
        Composite lo = 0, hi = kAllComposites;
        while (lo < hi) {
            const Composite mid = lo + (hi - lo) / 2;
            if (below(mid) >= rank)
                hi = mid;
            else
                lo = mid + 1;
        }
        for (std::size_t b = 0; b < count_; ++b) cut[b] = lower_bound(b, lo);
    }

private:
    std::size_t lower_bound(std::size_t b, Composite c) const {
        return static_cast<std::size_t>(std::lower_bound(keys_ + begin(b), keys_ + end(b), c) - keys_);
    }
    std::size_t below(Composite c) const {
        std::size_t total = 0;
        for (std::size_t b = 0; b < count_; ++b) total += lower_bound(b, c) - begin(b);
        return total;
    }

    const Composite* keys_;
    std::size_t n_;
    std::size_t count_;
};

}  // namespace

int rank_threads() { return proc::thread_count(proc::setting(proc::Setting::kRankThreads)); }

int key_rank_size() {
    const int size = proc::setting(proc::Setting::kKeyRankSize);
    return size > 0 ? size : proc::policy::kKeyRankSize;
}

int key_rank_threads(std::size_t n) {
    constexpr std::size_t kShare = proc::policy::kRankShare;
    if (n < 2 * kShare) return 1;
    const std::size_t by_work = std::max<std::size_t>(1, n / kShare);
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(rank_threads()), by_work));
}

void key_rank(std::span<const double> values, bool descending, int first, Output output, std::span<int> out,
              int threads) {
    const std::size_t n = values.size();
    if (out.size() < n) throw std::length_error("key_rank: OUT is shorter than VALUES");
    if (n > std::size_t{1} << 31) throw std::length_error("key_rank: more values than indices");
    if (n == 0) return;
    const std::size_t count = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1,
                                                      std::min(kMaxBlocks, n));
    // Left unset here: each block's thread writes its keys first.
    std::unique_ptr<Composite[]> keys(new Composite[n]);
    const Blocks blocks(keys.get(), n, count);
    auto sort_block = [&](std::size_t b) {
        for (std::size_t k = blocks.begin(b); k < blocks.end(b); ++k) keys[k] = composite(values[k], descending, k);
        std::sort(keys.get() + blocks.begin(b), keys.get() + blocks.end(b));
    };
    const auto base = static_cast<std::size_t>(first);
    auto value_at = [&](std::size_t p) { return static_cast<int>(base + p); };

    if (count == 1) {
        sort_block(0);
        for (std::size_t p = 0; p < n; ++p) {
            if (output == Output::kOrder)
                out[p] = value_at(index_of(keys[p]));
            else
                out[index_of(keys[p])] = value_at(p);
        }
        return;
    }

    proc::WorkerPool pool(static_cast<int>(count) - 1);
    proc::parallel_for(pool, count, sort_block);

    // Share s of the merged order is the positions of block s's range.  For
    // ranks, each composite's position goes beside it first (in runs of the
    // blocks, one per share), and each block's thread then hands its own
    // indices their ranks: no two threads write the same stretch of OUT.
    std::unique_ptr<int[]> positions(output == Output::kRanks ? new int[n] : nullptr);
    proc::parallel_for(pool, count, [&](std::size_t s) {
        std::vector<std::size_t> head(count), end(count);
        blocks.cut(blocks.begin(s), head);
        blocks.cut(blocks.end(s), end);
        for (std::size_t p = blocks.begin(s); p < blocks.end(s); ++p) {
            std::size_t from = count;
            for (std::size_t b = 0; b < count; ++b)
                if (head[b] < end[b] && (from == count || keys[head[b]] < keys[head[from]])) from = b;
            if (output == Output::kOrder)
                out[p] = value_at(index_of(keys[head[from]]));
            else
                positions[head[from]] = value_at(p);
            ++head[from];
        }
    });
    if (output == Output::kRanks)
        proc::parallel_for(pool, count, [&](std::size_t b) {
            for (std::size_t k = blocks.begin(b); k < blocks.end(b); ++k) out[index_of(keys[k])] = positions[k];
        });
}

}  // namespace orv::num1::m01
