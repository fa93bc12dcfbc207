// Inverse of a real symmetric positive definite matrix through its Cholesky
// factor, with the workers it is built from: the factorisation with its
// condition estimate, the inverse of a triangular matrix, the completion of
// a symmetric matrix from its upper triangle, a vector fill and the product
// of two rectangular matrices.
//
// Matrices are column-major with 1-based indices and a leading dimension.
// Problems are reported through the library's error stack (erset.h):
// argument errors are terminal messages, a matrix that is not positive
// definite is a fatal error of code 2, an ill-conditioned one a warning of
// code 1.  A span shorter than its dimensions say is a programming error:
// std::length_error naming the routine and the argument.
#pragma once

#include <span>

namespace orv::num2 {

// AINV = A^-1 in full symmetric storage.  Only the upper triangle of A
// (diagonal included) is read.  After the call LSTERR() is 2 when A is not
// positive definite (AINV then holds the partial factor), 1 when the inverse
// was formed but A is too ill-conditioned, 0 otherwise.
void DLINDS(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv);
// DLINDS with the caller's work vector WK (N doubles).
void DL2NDS(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv, std::span<double> wk);
// Cholesky factor R (A = R'R) in the upper triangle of FAC and an estimate
// RCOND of the reciprocal L1 condition number; WK holds N doubles.
void DL2CDS(int n, std::span<const double> a, int lda, std::span<double> fac, int ldfac, double& rcond,
            std::span<double> wk);
// Cholesky factor R in the upper triangle of FAC, R' in its lower triangle.
void DLFTDS(int n, std::span<const double> a, int lda, std::span<double> fac, int ldfac);
// Inverse of a triangular matrix: IPATH 1 lower, 2 upper.  AINV may be A.
void DLINRT(int n, std::span<const double> a, int lda, int ipath, std::span<double> ainv, int ldainv);
// Copies the upper triangle of A into its lower triangle.
void DCSFRG(int n, std::span<double> a, int lda);
// Sets DX(1), DX(1+INCX), ..., N elements, to DA.  Nothing for N < 1 or
// INCX < 1.
void DVFILL(int n, double da, std::span<double> dx, int incx);
// C = A*B for an NRA x NCA matrix A and an NRB x NCB matrix B into the
// NRC x NCC matrix C.
void DMRRRR(int nra, int nca, std::span<const double> a, int lda, int nrb, int ncb, std::span<const double> b,
            int ldb, int nrc, int ncc, std::span<double> c, int ldc);

}  // namespace orv::num2
