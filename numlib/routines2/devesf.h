// Selected eigenvalues and eigenvectors of a real symmetric matrix:
// Householder reduction to tridiagonal form with scaling by a power of 2,
// all eigenvalues by a root-free QR iteration, eigenvectors of the selected
// ones by inverse iteration from seeded random starts, then the
// back-transformation, ordering by decreasing absolute value and the sign
// rule (the largest element of every eigenvector is positive).
//
// Matrices are column-major with 1-based indices and a leading dimension.
// Problems go through the library's error stack (erset.h): argument errors
// are terminal messages; warnings of code 1 (an eigenvalue did not
// converge), 2 (inverse iteration did not converge) and 3 (the
// eigenvectors lost orthogonality) are read back with LSTERR().  A span
// shorter than its dimensions say throws std::length_error.
#pragma once

#include <span>

namespace orv::num2 {

// The NEVEC smallest (SMALL true) or largest eigenvalues of the symmetric
// N x N matrix A into EVAL and their unit eigenvectors into the columns of
// EVEC, ordered by decreasing absolute value.  Only the diagonal and lower
// triangle of A are read; on return the strict lower triangle is a copy of
// the strict upper one (a fully stored symmetric A comes back unchanged).
void DEVESF(int n, int nevec, std::span<double> a, int lda, bool small, std::span<double> eval,
            std::span<double> evec, int ldevec);
// DEVESF with the caller's work: WK 9N doubles, IWK N integers.
void DE5ESF(int n, int nevec, std::span<double> a, int lda, bool small, std::span<double> eval,
            std::span<double> evec, int ldevec, std::span<double> wk, std::span<int> iwk);
// Householder reduction of the lower triangle of A to the tridiagonal
// matrix (D, E), E2 = E squared, E(1) = E2(1) = 0.  The reflection vectors
// are left in the strict lower triangle of A, the diagonal of A is kept.
// SCINV is the factor by which the eigenvalues of (D, E) are scaled back.
// Z is not referenced (the reflections are applied by the caller).
void DE6CSF(int n, std::span<double> a, int lda, std::span<double> d, std::span<double> e, std::span<double> e2,
            std::span<double> z, int ldz, bool wantz, double& scinv);
// All eigenvalues of the tridiagonal matrix (D, E2) into D, unordered;
// IWK holds N integers.
void DE5LSF(int n, std::span<double> d, std::span<double> e2, std::span<int> iwk);
// Unit eigenvectors of the tridiagonal matrix (D, E) for the NEVEC values
// of EVAL into the columns of EVEC; W holds 7N doubles.
void DE6ESF(int n, int nevec, std::span<const double> eval, std::span<double> evec, int ldevec,
            std::span<const double> d, std::span<double> e, std::span<double> w);

}  // namespace orv::num2
