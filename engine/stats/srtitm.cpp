#include "engine/stats/srtitm.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "numlib/routines1/m01daf.h"

namespace orv::engine {

void SRTITM(std::span<double> L, int NVAR, int NFAC, std::span<int> ORDER) {
    const std::size_t n = static_cast<std::size_t>(NVAR < 0 ? 0 : NVAR);
    const std::size_t k = static_cast<std::size_t>(NFAC < 0 ? 0 : NFAC);

    // The factor of each item: rank 1 among its absolute loadings (the lower
    // factor on ties, as the ranking keeps equal values in input order).
    std::vector<int> top(n, 1), rank(k > n ? k : n);
    std::vector<double> row(k), col(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < k; ++j) row[j] = std::fabs(L[i + n * j]);
        int ifail = 0;
        num1::M01DAF(row, 1, NFAC, "DESCENDING", rank, ifail);
        for (std::size_t j = 0; j < k; ++j) {
            if (rank[j] == 1) top[i] = static_cast<int>(j + 1);
        }
    }

    // Groups in factor order, items in item order within a group.
    std::vector<double> grouped(n * k);
    std::vector<int> item(n), end(k), size(k);
    std::size_t filled = 0;
    for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t i = 0; i < n; ++i) {
            if (top[i] != static_cast<int>(j + 1)) continue;
            for (std::size_t m = 0; m < k; ++m) grouped[filled + n * m] = L[i + n * m];
            item[filled] = static_cast<int>(i + 1);
            ++filled;
        }
        end[j] = static_cast<int>(filled);
        size[j] = j == 0 ? end[0] : end[j] - end[j - 1];
    }

    // Within a group, descending absolute loading on the group's factor.
    for (std::size_t j = 0; j < k; ++j) {
        if (size[j] <= 0) continue;
        const std::size_t first = j == 0 ? 0 : static_cast<std::size_t>(end[j - 1]);
        const std::size_t count = static_cast<std::size_t>(size[j]);
        for (std::size_t r = 0; r < count; ++r) col[r] = std::fabs(grouped[first + r + n * j]);
        int ifail = 0;
        num1::M01DAF(col, 1, size[j], "DESCENDING", rank, ifail);
        for (std::size_t r = 0; r < count; ++r) {
            const std::size_t pos = first + static_cast<std::size_t>(rank[r] - 1);
            ORDER[pos] = item[first + r];
            for (std::size_t m = 0; m < k; ++m) L[pos + n * m] = grouped[first + r + n * m];
        }
    }
}

}  // namespace orv::engine
