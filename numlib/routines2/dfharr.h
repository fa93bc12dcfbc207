// Harris-Kaiser oblique rotation of a factor loading matrix, with the
// orthomax rotation it is built on.
//
// DFHARR divides the rows of the NVAR x NF loadings A by the square roots of
// the variable weights WT, rescales column j by s_j^((C-1)/2) where s_j is
// its sum of squares, rotates the result orthogonally by the orthomax
// criterion with parameter W (1 Varimax, 0 Quartimax), and turns that
// rotation back into an oblique transformation T of A.  It returns the
// pattern B = A*T, T and the factor correlations FCOR = T^-1 T^-T.  C = 1
// gives an orthogonal T and FCOR = I.
//
// Matrices are column-major with 1-based indices and a leading dimension.
// Problems are reported through the library's error stack (erset.h).  A
// span shorter than its dimensions say is a programming error:
// std::length_error naming the routine and the argument.
#pragma once

#include <span>

namespace orv::num2 {

// NORM = 1 normalises the rows inside the orthogonal step.  EPS <= 0.0
// means 0.0001.  Weights below 1.0E-12 (and negative or NaN weights) divide
// their row by 1.0E-6.
void DFHARR(int nvar, int nf, std::span<const double> a, int lda, int norm, int maxit, double w, double c,
            double eps, std::span<const double> wt, std::span<double> b, int ldb, std::span<double> t, int ldt,
            std::span<double> fcor, int ldfcor);

// The worker of DFHARR with the caller's work storage: WK (2*NF) and WKV
// (NVAR).  It checks MAXIT, W and C; the counts and leading dimensions must
// already be valid.
void DF2ARR(int nvar, int nf, std::span<const double> a, int lda, int norm, int maxit, double w, double c,
            double eps, std::span<const double> wt, std::span<double> b, int ldb, std::span<double> t, int ldt,
            std::span<double> fcor, int ldfcor, std::span<double> wk, std::span<double> wkv);

// Orthomax rotation: B = A*T with the orthogonal NF x NF rotation T that
// maximises the orthomax criterion with parameter W, by plane rotations of
// pairs of columns.  A and B may be the same array (rotation in place).
// WKV (NVAR) holds the row lengths when NORM = 1.  W >= 0 and MAXIT >= 1
// are the caller's to ensure; EPS <= 0.0 means 0.0001.
void DF2OTA(int nvar, int nf, std::span<const double> a, int lda, int norm, int maxit, double w, double eps,
            std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> wkv);

}  // namespace orv::num2
