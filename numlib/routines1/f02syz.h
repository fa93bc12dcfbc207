// Singular values of an upper bidiagonal matrix by implicitly shifted QR
// sweeps of plane rotations, with the kernels of one sweep.  The matrix has
// the diagonal D(1..N) and the super-diagonal E(1..N-1) (element (i, i+1)).
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// Diagonalises the bidiagonal matrix: on success D holds the singular values,
// non-negative and descending, and E the negligible remains of the
// super-diagonal.  The left rotations G and right rotations H of the
// iteration are applied as B := G^T B (N x NCOLB), Y := Y G (NROWY x N) and
// Z := H^T Z (N x NCOLZ); so with Y = U0, Z = V0^T a decomposition
// U0 (bidiagonal) V0^T becomes Y diag(D) Z.
// WORK: max(1, N, (N-1) (2 [NCOLB > 0 or NROWY > 0] + 2 [NCOLZ > 0])) values.
// On exit WORK(1) holds the sweep counter (one more than the sweeps made)
// and WORK(max(K, 2)..N) the interchanges of the final sort, each as index
// + 0.25.  At most 50 N sweeps are made.
// Errors: -1 invalid arguments; K > 0 no convergence: D(1..K), E(1..K-1)
// hold the unreduced part, and D(K..N) have been made non-negative and
// sorted.
void F02SYZ(int n, std::span<double> d, std::span<double> e, int ncolb, std::span<double> b, int ldb, int nrowy,
            std::span<double> y, int ldy, int ncolz, std::span<double> z, int ldz, std::span<double> work,
            int& ifail);

// The lowest negligible element of the leading K x K block.  TOL <= 0: an
// element is negligible when at most MCEPS times its larger neighbour, or
// when it and its neighbours are all below MCSAFE / MCEPS; TOL > 0: when at
// most MCEPS * TOL.  Scanning up from D(K): a negligible D(L) gives ZERO
// true, a negligible E(L) ZERO false (the block L+1..K splits off); nothing
// negligible gives ZERO false, L = 0.
void BDSPLIT(double tol, int k, std::span<const double> d, std::span<const double> e, bool& zero, int& l);

// Removes E(K-1) when D(K) is negligible, by rotations of the columns
// (i, K), i = K-1 down to 1; when WANT, rotation i is recorded in C(i), S(i).
void BDZBOT(int k, std::span<double> d, std::span<double> e, bool want, std::span<double> c, std::span<double> s);

// Removes row L (D(L) negligible) from the block L..K by rotations of the
// rows (L, i+1), i = L..K-1, recorded (when WANT) in C(i), S(i) in the form
// ROTAPPLY expects for pivot "T".
void BDZMID(int l, int k, std::span<double> d, std::span<double> e, bool want, std::span<double> c,
            std::span<double> s);

// MODE -1 (the only mode provided): the shift from the trailing 2 x 2 block
// (DKM1, EKM1, DK; EKM2 is not used) and the first rotation (CS, SN) of a
// QR sweep of the block whose top is D1, E1.
void BDSHIFT(int mode, double d1, double e1, double dkm1, double dk, double ekm2, double ekm1, double& cs,
             double& sn);

// SHIFT "N" (the only kind provided): one implicitly shifted QR sweep over
// rows and columns L..K, starting with the right rotation (CS, SN) of
// columns L, L+1.  The left rotations (rows i, i+1) are recorded in CL(i),
// SL(i) when WANTL, the right ones (columns i, i+1) in CR(i), SR(i) when
// WANTR, i = L..K-1.
void BDSWEEP(std::string_view shift, int l, int k, std::span<double> d, std::span<double> e, double cs, double sn,
             bool wantl, std::span<double> cl, std::span<double> sl, bool wantr, std::span<double> cr,
             std::span<double> sr);

}  // namespace orv::num1
