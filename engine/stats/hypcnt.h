// Hyperplane count of one factor.
#pragma once

#include <span>

namespace orv::engine {

// Counts the loadings of factor J (1 .. NFAC) of the NVAR x NFAC matrix L
// (leading dimension NVAR) with |L(i, J)| <= WIDTH and writes one record on
// unit LU: "Hyperplane Count (%) for Factor", J, the count and the count as
// a fraction of NVAR.
void HYPCNT(std::span<const double> L, int NVAR, int NFAC, int J, int LU,
            double WIDTH);

}  // namespace orv::engine
