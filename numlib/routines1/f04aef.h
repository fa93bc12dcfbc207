// Real linear equations A X = B with iterative refinement: the driver
// F04AEF, the refinement F04AHF, the double-length inner product X03AAF, and
// the library's own LU factorisation (Crout form, partial pivoting with
// implicit row scaling) with its triangular solve.
#pragma once

#include <span>

namespace orv::num1 {

// Solves A C = B for the M right-hand sides B of the N x N matrix A and
// refines C until the corrections fall below the working precision, every
// residual taken with a double-length inner product.  A and B are not
// changed; AA receives the factors (L with its diagonal on and below the
// diagonal, U with a unit diagonal above it), WKSPCE the row interchanges
// (row WKSPCE(i) was exchanged with row i at step i, as a real), BB the
// residuals B - A C of the last iteration.
// Errors: 1 A is approximately singular (a zero row, or a scaled pivot below
// 8 * 2^-53; C is not set); 2 the refinement does not improve (A too
// ill-conditioned; C holds the last iterate); 3 the first invalid argument
// of N < 0, M < 0, IA, IB, IC, IAA, IBB < max(1, N).
void F04AEF(std::span<const double> a, int ia, std::span<const double> b, int ib, int n, int m,
            std::span<double> c, int ic, std::span<double> wkspce, std::span<double> aa, int iaa,
            std::span<double> bb, int ibb, int& ifail);

// Refines X for the IR right-hand sides B of A X = B, given the factors AA
// and the interchanges P of A from F04AEF's factorisation: X starts at 0 and
// takes the correction (LU)^-1 P r of the residual r in each iteration until
// every column's correction is at most 2 EPS times its largest element.  BB
// is work (corrections and residuals); K returns the iterations made.
// Error 1 (no records): from the second iteration on, the largest relative
// correction did not at least halve (or the iterates are not finite).
void F04AHF(int n, int ir, std::span<const double> a, int ia, std::span<const double> aa, int iaa,
            std::span<const double> p, std::span<const double> b, int ib, double eps, std::span<double> x, int ix,
            std::span<double> bb, int ibb, int& k, int& ifail);

// D1 + D2 = C1 + C2 + sum_{k=1..N} A(1 + (k-1) ISTEPA) B(1 + (k-1) ISTEPB).
// SW odd: accumulated in double-double arithmetic (D1 the sum rounded to
// working precision, D2 the part D1 does not hold); SW even: in working
// precision with D2 = 0 and C2 ignored.
// Errors (no records; D1 and D2 not set): 1 ISTEPA < 1 or ISTEPB < 1;
// 2 ISIZEA or ISIZEB too small for N elements at its step.
void X03AAF(std::span<const double> a, int isizea, std::span<const double> b, int isizeb, int n, int istepa,
            int istepb, double c1, double c2, double& d1, double& d2, int sw, int& ifail);

namespace detail {

// The block size of the LU factorisation.
constexpr int kLuBlockSize = 32;

// Factorises the N x N matrix A (leading dimension LDA) in place into L
// (with its diagonal) and U (unit diagonal), choosing in column j the row
// that maximises |A(i, j)| / ||row i|| (the first on ties).  Panels of
// BLOCK columns are factorised one column at a time and the rest of the
// matrix is updated with level-3 BLAS; BLOCK < 2 works column by column on
// the whole matrix.  On success returns 0 and leaves the interchanges in
// W; otherwise returns the failing row (a zero or non-finite row, before
// any pivoting) or column (a scaled pivot below 8 * 2^-53) and the factors
// are incomplete.
int lu_factorise(int n, std::span<double> a, int lda, std::span<double> w, int block);

// Overwrites the M columns of BB by the solution of A Y = BB, given the
// factors AA and interchanges P from lu_factorise.
void lu_solve(int n, int m, std::span<const double> aa, int iaa, std::span<const double> p, std::span<double> bb,
              int ibb);

}  // namespace detail

}  // namespace orv::num1
