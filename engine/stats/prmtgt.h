// The oblique step of a Promax rotation: target, least-squares fit and
// normalisation of the transformation.
#pragma once

#include <span>

namespace orv::engine {

// From the NVAR x NFAC Varimax loadings A (leading dimension NVAR, read
// only) builds the target of power POWER (signs kept for powers 2 to 6),
// fits it by least squares with a linear transformation of A, normalises the
// transformation U so that diag((U'U)^-1) = 1 and returns the Promax
// pattern P = A U (NVAR x NFAC, leading dimension NVAR) and the factor
// correlations PHI = (U'U)^-1 (NFAC x NFAC, stored full, leading dimension
// NFAC).  An exact zero in the normalised loadings, and a variable whose
// loadings are all zero, give a zero target element.  A factor whose
// loadings are all zero ends the run with a fatal stop.  POWER is at least
// 1: the command-file reader refuses any other.
void PRMTGT(std::span<const double> A, std::span<double> P,
            std::span<double> PHI, int NVAR, int NFAC, int POWER);

}  // namespace orv::engine
