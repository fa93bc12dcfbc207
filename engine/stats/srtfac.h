// Ordering of factors by descending sum of squared loadings; equal sums
// keep their order.
#pragma once

#include <span>

namespace orv::engine {

// Orders the factors (columns) of the NVAR x NFAC loading matrix A (leading
// dimension NVAR) in place.
void SRTFAC(std::span<double> A, int NVAR, int NFAC);

// Orders the factors of the NVAR x NFAC pattern P (leading dimension NVAR)
// by the same key and permutes the rows and columns of the NFAC x NFAC
// factor correlations PHI (leading dimension NFAC) alike.
void SRTOBL(std::span<double> P, int NVAR, int NFAC, std::span<double> PHI);

}  // namespace orv::engine
