// All eigenvalues and eigenvectors of a real symmetric matrix by the
// library's own Householder reduction and QL iteration.
#pragma once

#include <span>

namespace orv::num1 {

// Eigenvalues R (ascending) and orthonormal eigenvectors V (leading
// dimension IV; column j for R(j)) of the symmetric N x N matrix A (leading
// dimension IA), of which the lower triangle with the diagonal is read; A is
// not changed.  E is workspace of N values.  The signs of the eigenvectors
// are those the iteration gives.  N < 1 returns at once with nothing to do.
// IA and IV must be at least N: smaller ones would mix the columns and are
// refused as a programming error (std::length_error).
// Error 1: more than 30 N QL iterations in all.
void F02ABF(std::span<const double> a, int ia, int n, std::span<double> r, std::span<double> v, int iv,
            std::span<double> e, int& ifail);

// The QL iteration with explicit shifts on the tridiagonal matrix with
// diagonal D(1..N) and off-diagonal E(2..N); the rotations are accumulated
// into Z (leading dimension IZ), which holds the reducing transformation on
// entry.  EPS is the relative machine precision.  The eigenvalues end in
// ascending order with the columns of Z.  Error 1 when the budget of 30 N
// iterations for the whole matrix is spent; D, E and Z then hold the
// partial results.
void F02AMZ(int n, double eps, std::span<double> d, std::span<double> e, std::span<double> z, int iz, int& ifail);

}  // namespace orv::num1
