// Small vector and matrix kernels of the factorisation routines: filling and
// negating a strided vector, and applying a recorded sequence of
// interchanges to the rows or columns of a matrix.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// X(1 + (i-1) INCX) := CONST for i = 1..N (INCX >= 1).
void VFILL(int n, double cnst, std::span<double> x, int incx);

// X(1 + (i-1) INCX) := -X(1 + (i-1) INCX) for i = 1..N (INCX >= 1).
void VNEG(int n, std::span<double> x, int incx);

// Exchanges rows (SIDE "L") or columns (SIDE "R") i and PERM(i) of A
// (leading dimension LDA) for i = 1..N (TRANS "N") or i = N down to 1
// (TRANS "T"); M is the length of each row (side "L") or column (side "R").
// PERM holds the indices as reals, read by truncation (so each is stored as
// the index plus 0.25); every index must lie in 1..N.
void PERMAPP(std::string_view side, std::string_view trans, int n, std::span<const double> perm, int m,
             std::span<double> a, int lda);

}  // namespace orv::num1
