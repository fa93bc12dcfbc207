// Tetrachoric correlations of dichotomous items, with their standard errors
// and the side files .frq (bias-corrected 2 x 2 tables), .dff (proportions)
// and .ser (standard errors).
#pragma once

#include <span>
#include <string_view>

namespace orv::engine {

// The NVAR x NVAR tetrachoric correlation matrix R of the NSUBJ x NVAR data
// X (column-major, one row per subject).  A response counts as keyed when it
// equals KEY, the largest value of variable 1 truncated to an integer.
// Each pair's 2 x 2 table gets half an observation in an empty cell, moved
// so that the margins stay (less where half would reach or pass zero
// association).  With CFLAG 1 the cells and proportions are corrected for
// guessing with the c parameters CPARM; a pair whose correction would empty
// a cell keeps its uncorrected table and r, with a line on .frq and one on
// LUOUT (the report).  Start values from an approximation of the odds
// ratio, then Newton steps on the bivariate normal probability; where that
// probability or the cell "both keyed" is below 0.01 the root is found to
// full precision instead.  A step that would leave (-1, 1) is replaced by
// a bisection of the bracket seen.  r never has the opposite sign of the
// association as counted; a table without association has r = 0.  A pair
// that does not settle in 999 steps takes its polychoric value (POLCOR,
// boundary warning on LUOUT).  A standard error that cannot be computed (a
// density of 0 in single precision) reads "cannot be computed" on .frq and
// fills its .ser field with asterisks.
//
// The side files are named after the job (JOBDIR, JOBBAS) and written on
// every call: .frq (unit 23) and .ser (unit 24) are closed on return, .dff
// (unit 25) stays open.  A variable without a keyed response ends the run
// with a plain stop.
//
// Pairs run on THREADS threads (0: one per core); every window record,
// report line and file record is the same whatever their number.
void TETCOR(std::span<const double> X, int NSUBJ, int NVAR, std::span<double> R, int LUOUT,
            std::string_view JOBDIR, std::string_view JOBBAS, int CFLAG, std::span<const double> CPARM,
            int THREADS = 0);

// The bivariate standard normal density at (X, Y) with correlation RHO, in
// single precision.  A RHO at or beyond +-1 is first set to +-0.99 (the
// single-precision value) through the argument.
float BVNDEN(double x, double y, double& rho);

}  // namespace orv::engine
