// Squared multiple correlations as initial communalities.
#pragma once

#include <span>

namespace orv::engine {

// Sets the diagonal of the NVAR x NVAR correlation matrix R (unit diagonal
// on entry, leading dimension NVAR) to the squared multiple correlation of
// each variable with all the others, 1 - 1/(R^-1)(i, i).  When the last
// eigenvalue returned by DE3LRG is not positive a small ridge is added to
// the diagonal before the inversion (SPDINV).
void SMCCOM(std::span<double> R, int NVAR);

}  // namespace orv::engine
