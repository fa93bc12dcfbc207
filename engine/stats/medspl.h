// Median splits: continuous variables dichotomized at their medians.
#pragma once

#include <span>

namespace orv::engine {

// Rewrites the NSUBJ x NVAR data X (column-major, leading dimension NSUBJ)
// in place: each value becomes 0.0 when it is at or below its variable's
// median (the DEQTIL quantile for 0.5) and 1.0 above it.  A constant
// variable becomes all 0.
void MEDSPL(std::span<double> X, int NSUBJ, int NVAR);

}  // namespace orv::engine
