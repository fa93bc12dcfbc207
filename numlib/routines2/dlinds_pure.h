// The inverse of a small symmetric positive definite matrix without the
// error stack: the arithmetic of DLINDS (Cholesky factor, triangular
// inverse, R^-1 R^-T, mirrored), with no message raised and no state
// changed, so that any number of threads may call it at once.  AINV equals
// DLINDS's result bit for bit, and the return value says what LSTERR() would
// tell after DLINDS.
#pragma once

#include <span>

namespace orv::num2 {

// Largest order the twin takes.
inline constexpr int kPureInverseMaxOrder = 16;

// AINV := A^-1 (N x N, leading dimensions LDA and LDAINV; only the upper
// triangle of A is read) for 1 <= N <= kPureInverseMaxOrder.  Returns false
// when A is not positive definite (DLINDS's code 2); AINV then holds the
// partial factor exactly as DLINDS leaves it.  The condition estimate, which
// changes only a warning, is not made.  A and AINV are the same array with
// the same leading dimension or do not overlap.
bool DLINDS_PURE(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv);

}  // namespace orv::num2
