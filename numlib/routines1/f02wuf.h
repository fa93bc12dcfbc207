// Singular value decomposition of a real upper triangular matrix by plane
// rotations only: R = U diag(SV) P^T.  The triangle is reduced to bidiagonal
// form (F02SWZ), P^T is formed from the rotations kept (F02SXZ), and the
// bidiagonal matrix is diagonalised by QR sweeps (F02SYZ).
#pragma once

#include <span>

namespace orv::num1 {

// SVD of the upper triangle of the N x N matrix A: SV the singular values,
// non-negative and descending; U into Q (N x N) when WANTQ; P^T overwrites A
// when WANTP; B (N x NCOLB) := U^T B when NCOLB > 0.  Q is referenced only
// when WANTQ and B only when NCOLB > 0.  Nothing below the diagonal of A is
// referenced unless WANTP.
// WORK: 5N - 4 values for N >= 2, 2 for N = 1.  On exit WORK(1..N-1) holds
// the super-diagonal as the iteration left it.
// Errors: -1 invalid arguments; k > 0 the QR iteration failed to converge,
// k singular values were not found.
void F02WUF(int n, std::span<double> a, int lda, int ncolb, std::span<double> b, int ldb, bool wantq,
            std::span<double> q, int ldq, std::span<double> sv, bool wantp, std::span<double> work, int& ifail);

// Reduces the upper triangle of A to the bidiagonal form D (N), E (N-1) by
// rotations: the left rotations G give Y := G Y (N x NCOLY) and, when WANTQ,
// Q := G^T; the right rotations are kept as tangents in the strict upper
// triangle of A (rows 1..N-2, beyond the super-diagonal), for F02SXZ.
// So R = Q (bidiagonal) P^T.
void F02SWZ(int n, std::span<double> a, int lda, std::span<double> d, std::span<double> e, int ncoly,
            std::span<double> y, int ldy, bool wantq, std::span<double> q, int ldq, int& ifail);

// Overwrites A with the P^T of the right rotations kept by F02SWZ and, when
// NCOLY > 0, Y (N x NCOLY) := P^T Y.  WORK: 2N - 4 values for N >= 3.
void F02SXZ(int n, std::span<double> a, int lda, int ncoly, std::span<double> y, int ldy, std::span<double> work,
            int& ifail);

}  // namespace orv::num1
