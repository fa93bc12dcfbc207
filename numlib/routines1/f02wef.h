// Singular value decomposition of a real M x N matrix: A = Q diag(SV) P^T.
#pragma once

#include <span>

namespace orv::num1 {

// The singular values SV (min(M, N) of them, non-negative, descending) of the
// M x N matrix A (leading dimension LDA), optionally with the left vectors
// Q, the right vectors P^T and Q^T B for the NCOLB columns of B.  A is first
// reduced to a triangle (QR when M >= N, RQ when M < N), the triangle is
// decomposed by F02WUF and the orthogonal factors are combined.
//
// Where the results go, M >= N:
//   WANTQ false, WANTP false: neither is formed;
//   WANTQ false, WANTP true:  P^T (N x N) in the first N rows of A;
//   WANTQ true,  WANTP false: the first N columns of Q in A;
//   WANTQ true,  WANTP true:  Q in A, P^T in PT (leading dimension LDPT).
// M < N: Q (M x M) in Q when WANTQ; the first M rows of P^T in A when WANTP.
// Q is referenced only when WANTQ and M < N, PT only when WANTQ, WANTP and
// M >= N, B only when NCOLB > 0; a caller may pass empty spans otherwise.
//
// WORK must hold at least (k = min(M, N), w(k) = 5k - 4 for k >= 2, w(1) = 2,
// the work of F02WUF):
//   M >= N, not WANTQ:          max(N + NCOLB, w(N));
//   M >= N, WANTQ, not WANTP:   max(N*N, NCOLB) + N + max(w(N), 2N);
//   M >= N, WANTQ and WANTP:    max(N + NCOLB, N*N + max(w(N), 2N)),
//                               that is N*N + 5N - 4 for N >= 2, NCOLB = 0;
//   M < N, not WANTP:           max(M, w(M));
//   M < N, WANTP:               M*M + max(w(M), 2M).
// On exit WORK(1..k-1) holds the super-diagonal the bidiagonal iteration
// left (negligible after success, the unreduced part after a failure).
//
// M = 0 or N = 0 returns at once with IFAIL = 0.  Errors: -1 invalid
// arguments (each reported, then the count); k > 0 the QR iteration failed
// to converge and k singular values were not found.
void F02WEF(int m, int n, std::span<double> a, int lda, int ncolb, std::span<double> b, int ldb, bool wantq,
            std::span<double> q, int ldq, std::span<double> sv, bool wantp, std::span<double> pt, int ldpt,
            std::span<double> work, int& ifail);

namespace detail {

// The length of WORK that F02WEF needs for these arguments (the bounds
// above; 0 when M or N is not positive).
long long f02wef_work_size(int m, int n, int ncolb, bool wantq, bool wantp);

}  // namespace detail

}  // namespace orv::num1
