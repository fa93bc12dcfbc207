// Direct oblimin rotation of a factor loading matrix.
//
// DFDOBL rotates the NVAR x NF loadings A obliquely by the direct oblimin
// criterion with parameter W (delta, W <= 0; 0 is direct quartimin) and
// returns the pattern B = A*T, the transformation T and the factor
// correlations FCOR = T^-1 T^-T.  Factors are changed one at a time in the
// plane of that factor and one other; along each such step the criterion is
// a quartic in the step parameter, whose derivative (a cubic) is solved in
// closed form.  With NORM = 1 the rows are brought to unit length first
// (Kaiser normalisation) and given back their lengths at the end.
//
// Matrices are column-major with 1-based indices and a leading dimension.
// Problems are reported through the library's error stack (erset.h).  A
// span shorter than its dimensions say is a programming error:
// std::length_error naming the routine and the argument.
#pragma once

#include <span>

namespace orv::num2 {

// MAXIT = 0 means 30 sweeps, EPS = 0.0 means 0.0001 (relative change of
// the criterion).
void DFDOBL(int nvar, int nf, std::span<const double> a, int lda, int norm, double w, int maxit, double eps,
            std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> fcor, int ldfcor);

// The worker of DFDOBL with the caller's work vectors: H (NVAR), D (NF),
// R (NVAR).  It checks NVAR, W, MAXIT and EPS; the counts NF and the
// leading dimensions must already be valid.
void DF2OBL(int nvar, int nf, std::span<const double> a, int lda, int norm, double w, int maxit, double eps,
            std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> fcor, int ldfcor,
            std::span<double> h, std::span<double> d, std::span<double> r);

// The step parameter of one plane step: of the real roots of
// t^3 + a t^2 + b t + c0 = 0, the one at which the quartic whose derivative
// this cubic is (up to a positive factor) is smaller.  With three real roots
// the middle one (a maximum) is never returned.
double oblimin_cubic_root(double a, double b, double c0);

}  // namespace orv::num2
