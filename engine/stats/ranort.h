// Random orthogonal start of a rotation.
#pragma once

#include <span>

namespace orv::engine {

// L := L V for the NVAR x NFAC loading matrix L (leading dimension NVAR),
// V being the eigenvectors of the correlation matrix of 15 x NFAC standard
// normal deviates drawn with DRNNOA from the library generator's current
// state (no seed is set here).
void RANORT(std::span<double> L, int NVAR, int NFAC);

}  // namespace orv::engine
