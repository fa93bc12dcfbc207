// Reflection of factors: a factor whose signed sum of squared loadings,
// sum over i of sign(a(i, j)) * a(i, j)^2, is negative has its column
// negated.
#pragma once

#include <span>

namespace orv::engine {

// Reflects the factors of the NVAR x NFAC loading matrix A (leading
// dimension NVAR) in place.
void REFLCT(std::span<double> A, int NVAR, int NFAC);

// Reflects the factors of the NVAR x NFAC pattern P (leading dimension NVAR)
// and carries the reflection into the NFAC x NFAC factor correlations PHI
// (leading dimension NFAC): PHI := D PHI D.
void REFOBL(std::span<double> P, std::span<double> PHI, int NVAR, int NFAC);

}  // namespace orv::engine
