#include "numlib/routines1/vfill.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>

namespace orv::num1 {

namespace {

char option(std::string_view text) {
    if (text.empty()) return ' ';
    const char c = text.front();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void check_vector(const char* routine, int n, std::size_t size, int incx) {
    if (incx < 1) throw std::invalid_argument(std::string(routine) + ": INCX must be positive");
    if (static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(incx) + 1 > size)
        throw std::length_error(std::string(routine) + ": X is too small for N elements");
}

}  // namespace

void VFILL(int n, double cnst, std::span<double> x, int incx) {
    if (n <= 0) return;
    check_vector("VFILL", n, x.size(), incx);
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i) * incx] = cnst;
}

void VNEG(int n, std::span<double> x, int incx) {
    if (n <= 0) return;
    check_vector("VNEG", n, x.size(), incx);
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i) * incx] = -x[static_cast<std::size_t>(i) * incx];
}

void PERMAPP(std::string_view side, std::string_view trans, int n, std::span<const double> perm, int m,
             std::span<double> a, int lda) {
    const char sd = option(side);
    const char tr = option(trans);
    if ((sd != 'L' && sd != 'R') || (tr != 'N' && tr != 'T'))
        throw std::invalid_argument("PERMAPP: invalid SIDE or TRANS");
    if (n <= 0 || m <= 0) return;
    if (perm.size() < static_cast<std::size_t>(n)) throw std::length_error("PERMAPP: PERM is too small for N");
    const int rows = sd == 'L' ? n : m;
    const int cols = sd == 'L' ? m : n;
    if (lda < rows) throw std::length_error("PERMAPP: LDA is too small");
    if (a.size() < static_cast<std::size_t>(lda) * static_cast<std::size_t>(cols - 1) + static_cast<std::size_t>(rows))
        throw std::length_error("PERMAPP: A is too small for the dimensions given");
    for (int i = 0; i < n; ++i)
        if (!(perm[i] >= 1.0 && perm[i] < n + 1.0))
            throw std::length_error("PERMAPP: PERM holds an index outside 1..N");

    const std::size_t ld = static_cast<std::size_t>(lda);
    for (int r = 0; r < n; ++r) {
        const int i = tr == 'N' ? r + 1 : n - r;
        const int p = static_cast<int>(perm[i - 1]);  // truncation
        if (p == i) continue;
        if (sd == 'L') {
            for (int j = 0; j < m; ++j) std::swap(a[(i - 1) + j * ld], a[(p - 1) + j * ld]);
        } else {
            for (int k = 0; k < m; ++k) std::swap(a[(i - 1) * ld + k], a[(p - 1) * ld + k]);
        }
    }
}

}  // namespace orv::num1
