// All eigenvalues of a real general matrix: balancing, reduction to upper
// Hessenberg form by stabilised elementary similarity transformations, and
// the Francis double-shift QR iteration; the eigenvalues come back ordered
// by decreasing modulus.
//
// DEVLRG obtains its work storage itself; DE3LRG takes it from the caller.
// The other routines are their workers.  Indices in the comments are
// 1-based; matrices are column-major with the leading dimension given.
#pragma once

#include <complex>
#include <span>

namespace orv::num2 {

// EVAL(1..N) = the eigenvalues of the N by N matrix A (leading dimension
// LDA), by decreasing modulus; a complex pair left adjacent by the ordering
// has its positive imaginary part first.  A is not changed.  Eigenvalues the
// iteration could not compute are NaN and come last.
void DEVLRG(int n, std::span<const double> a, int lda, std::span<std::complex<double>> eval);

// As DEVLRG with the caller's work storage: ACOPY of LDACPY*N doubles
// (LDACPY is N under the initial options), WK of 4N doubles, IWK of 2N
// integers.
void DE3LRG(int n, std::span<const double> a, int lda, std::span<std::complex<double>> eval,
            std::span<double> acopy, std::span<double> wk, std::span<int> iwk);

// Copies the N by N matrix A into B (leading dimension LDB).
void DCRGRG(int n, std::span<const double> a, int lda, std::span<double> b, int ldb);

// Balances A in place (Parlett and Reinsch, radix 16).  Rows and columns
// outside LOW..IGH hold isolated eigenvalues on the diagonal; SCALE(j) is
// the index exchanged with j outside LOW..IGH and the scaling factor inside.
void DE9CRG(int n, int& low, int& igh, std::span<double> a, int lda, std::span<double> scale);

// Reduces rows and columns LOW..IGH of A to upper Hessenberg form; the
// multipliers stay below the subdiagonal and INT(m) records the pivot row
// chosen at step m.
void DE4LRG(int lda, int n, int low, int igh, std::span<double> a, std::span<int> intv);

// All eigenvalues of the NH by NH upper Hessenberg matrix H into WR and WI;
// H is destroyed.  Without convergence a fatal error is raised and the
// eigenvalues not computed are NaN.
void DE5LRG(int ldh, int nh, std::span<double> h, std::span<double> wr, std::span<double> wi);

}  // namespace orv::num2
