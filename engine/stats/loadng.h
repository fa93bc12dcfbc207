// Loadings from the eigenpairs of a correlation matrix.
#pragma once

#include <span>

namespace orv::engine {

// L(i, k) += EVEC(i, k) * sqrt(EVAL(k)) for the NVAR x NFAC matrices EVEC
// and L (leading dimension NVAR) and the NFAC eigenvalues EVAL.  The routine
// adds into L: the caller zeroes L first.
void LOADNG(std::span<const double> EVAL, std::span<const double> EVEC, std::span<double> L, int NVAR, int NFAC);

}  // namespace orv::engine
