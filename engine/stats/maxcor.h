// Highest correlations as initial communalities.
#pragma once

#include <span>

namespace orv::engine {

// Sets R(i, i) of the NVAR x NVAR matrix R (leading dimension NVAR) to the
// largest absolute off-diagonal correlation of variable i.
void MAXCOR(std::span<double> R, int NVAR);

}  // namespace orv::engine
