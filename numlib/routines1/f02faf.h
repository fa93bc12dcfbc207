// All eigenvalues, and optionally the eigenvectors, of a real symmetric
// matrix, through the LAPACK tridiagonal reduction and QR iteration.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// JOB "V" (or "v"): eigenvalues and eigenvectors; "N" (or "n"): eigenvalues
// only.  UPLO "U"/"u" or "L"/"l": the triangle of the N x N matrix A
// (leading dimension LDA) that holds the matrix; the other one is never
// touched.  W receives the eigenvalues in ascending order; with JOB "V" A
// receives the orthonormal eigenvectors, column j for W(j), each signed so
// that its first element of largest absolute value is positive.  WORK holds
// LWORK >= max(1, 3N) values.  A matrix whose largest element is above
// sqrt(eps/safmin) or below 1 is scaled by a power of two first.
// Errors: 1 for invalid arguments (each reported on its own first), 2 when
// the QR iteration leaves off-diagonal elements unconverged.
void F02FAF(std::string_view job, std::string_view uplo, int n, std::span<double> a, int lda, std::span<double> w,
            std::span<double> work, int lwork, int& ifail);

}  // namespace orv::num1
