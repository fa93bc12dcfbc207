// Pearson product-moment correlations of a complete data matrix.
#pragma once

#include <span>

namespace orv::num1 {

// For the N observations (rows) of the M variables (columns) of X (leading
// dimension LDX): the means XBAR, the standard deviations STD (divisor
// N - 1), the sums of squares and cross-products about the means SSP and
// the correlation matrix R, both full symmetric with leading dimensions
// LDSSP and LDR.  Each mean and each element of SSP is one running sum in
// observation order.  A variable without variance gets STD 0 and a row and
// column of zeros in R, its diagonal included.
// Errors: 1 for N < 2; 2 for M < 2; 3 for LDX < N, LDSSP < M or LDR < M.
// THREADS: the threads to share the sums among (0: one per core, or one for
// a small problem); the results are the same bits for every count.
void G02BAF(int n, int m, std::span<const double> x, int ldx, std::span<double> xbar, std::span<double> std,
            std::span<double> ssp, int ldssp, std::span<double> r, int ldr, int& ifail, int threads = 0);

}  // namespace orv::num1
