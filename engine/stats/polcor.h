// Polychoric correlations of ordered categorical items, by a bounded grid
// search of the likelihood of each pair's contingency table with the
// category thresholds held fixed.
#pragma once

#include <span>

namespace orv::engine {

// The NVAR x NVAR polychoric correlation matrix R (leading dimension NVAR,
// symmetric, unit diagonal) of the NSUBJ x NVAR data X (column-major, one
// row per subject).  The categories of a variable are its distinct values
// in ascending order; a largest value of 99.0 is not a category.  For each
// pair (i, j), i = 2..NVAR, j = 1..i-1, the window shows a progress line
// and the correlation is searched on a 41-point grid, then refined in 16
// passes of 5 points; a correlation that ends at +-0.9 stays there and a
// boundary warning is written on LUOUT (the report).
//
// A variable with fewer than two categories ends the run with a plain stop
// ("HAS NO VARIANCE"); one with more than 14 with a fatal stop.
//
// Pairs run on THREADS threads (0: one per core); the window records and
// the warnings are the same, in the same order, whatever their number.
void POLCOR(std::span<const double> X, int NSUBJ, int NVAR, std::span<double> R, int LUOUT, int THREADS = 0);

// One pair on its own: the element R(2, 1) that POLCOR gives for the
// NSUBJ x 2 matrix whose column 1 is COL1 and column 2 is COL2, with the
// window line, the boundary warning (on LUOUT) and the category stops of
// that call, except that they name the variables I (for COL1) and J (for
// COL2) instead of 1 and 2 ("... variables: I J", "CORRELATION I J").
double POLPAIR(std::span<const double> COL1, std::span<const double> COL2, int NSUBJ, int LUOUT, int I, int J);

// The log-likelihood of pair K's table N (15 x 15 x NPAIR, first index the
// category of variable J, second that of variable I) under the bivariate
// normal model with correlation RHO and the thresholds T (0:14 x NVAR);
// fills the cell probabilities P(., ., K).  Empty cells add nothing; a cell
// with subjects and probability <= 0 makes LL -infinity.
void POLLIK(int K, double RHO, int I, int J, int NVAR, std::span<double> P, std::span<const int> N,
            std::span<const int> NCAT, std::span<const double> T, double& LL, int NPAIR);

}  // namespace orv::engine
