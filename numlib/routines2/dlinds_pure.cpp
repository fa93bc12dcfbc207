// DLINDS without the error stack: the kernels of dlinds_parallel.h on the
// calling thread, in DL2NDS's order.
#include "numlib/routines2/dlinds_pure.h"

#include <cstddef>
#include <stdexcept>

#include "numlib/routines2/dlinds_parallel.h"

namespace orv::num2 {

bool DLINDS_PURE(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv) {
    if (n < 1 || n > kPureInverseMaxOrder || lda < n || ldainv < n)
        throw std::invalid_argument("DLINDS_PURE: bad order or leading dimension");
    const auto need = [n](int ld) { return static_cast<std::size_t>(ld) * static_cast<std::size_t>(n - 1) + n; };
    if (a.size() < need(lda) || ainv.size() < need(ldainv))
        throw std::length_error("DLINDS_PURE: A or AINV is shorter than its dimensions");
    const auto la = static_cast<std::size_t>(lda), li = static_cast<std::size_t>(ldainv);
    if (!detail::same_or_apart(a.data(), la, ainv.data(), li, n))
        throw std::invalid_argument("DLINDS_PURE: A and AINV overlap");
    if (detail::factor_spd(nullptr, n, a.data(), la, ainv.data(), li) != 0) return false;
    // The factor's diagonal elements are square roots of positive pivots,
    // never below the safe minimum.
    detail::invert_upper(nullptr, n, ainv.data(), li, ainv.data(), li, detail::safe_minimum());
    detail::multiply_by_transpose(nullptr, n, ainv.data(), li);
    detail::mirror_upper(nullptr, n, ainv.data(), li);
    return true;
}

}  // namespace orv::num2
