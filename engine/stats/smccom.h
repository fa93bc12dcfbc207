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

// As above with the real parts of R's eigenvalues already known, in the
// order DE3LRG (or DEVLRG) returns them for this R: the same result without
// computing them again.
void SMCCOM(std::span<double> R, int NVAR, std::span<const double> eval);

}  // namespace orv::engine
