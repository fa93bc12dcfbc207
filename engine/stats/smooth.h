// Smoothing of a correlation matrix through its eigenvalues.
#pragma once

#include <span>

namespace orv::engine {

// Eigenvalues below the threshold are not kept as they are.
inline constexpr double kSmoothThreshold = 0.005;
// The value they are given instead.  The rebuilt matrix carries the
// rounding of its single-precision sums, which moves its eigenvalues by
// about 1e-6 for hundreds of variables: an eigenvalue left at 0 would come
// out of chance sign, and the squared multiple correlations, which invert
// the matrix, would fail on it.  The floor stays far above that rounding
// and far below the threshold, so the smoothed matrix is positive definite.
inline constexpr double kSmoothFloor = 1e-4;

// The smoothed N x N correlation matrix RS of R (both leading dimension N):
// the eigenvalues of R of at least kSmoothThreshold are stretched to add up
// to their number K, the others are set to kSmoothFloor, the matrix is
// rebuilt from all the eigenpairs (in single-precision sums) and rescaled
// to a unit diagonal.  R is the work matrix of the decomposition: on return it
// holds the eigenvectors, column j for the j-th smallest eigenvalue.
void SMOOTH(std::span<double> R, int N, std::span<double> RS);

// B(i, k) = A(i, N + 1 - k): the columns of the N x N matrix A in reverse
// order.  A and B are distinct.
void REVCOL(std::span<const double> A, int N, std::span<double> B);

}  // namespace orv::engine
