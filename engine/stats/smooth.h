// Smoothing of a correlation matrix through its eigenvalues.
#pragma once

#include <span>

namespace orv::engine {

// The smoothed N x N correlation matrix RS of R (both leading dimension N):
// the eigenpairs of R with an eigenvalue of at least 0.005 are kept, their
// eigenvalues stretched to add up to their number K, the matrix rebuilt
// from them (in single-precision sums) and rescaled to a unit diagonal.
// R is the work matrix of the decomposition: on return it holds the
// eigenvectors, column j for the j-th smallest eigenvalue.  A variable with
// no weight on the kept eigenvectors (a rebuilt diagonal element that is
// not positive) ends the run with a fatal stop.
void SMOOTH(std::span<double> R, int N, std::span<double> RS);

// B(i, k) = A(i, N + 1 - k): the columns of the N x N matrix A in reverse
// order.  A and B are distinct.
void REVCOL(std::span<const double> A, int N, std::span<double> B);

}  // namespace orv::engine
