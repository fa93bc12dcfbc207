// Item order of the sorted loading tables.
#pragma once

#include <span>

namespace orv::engine {

// Groups the rows of the NVAR x NFAC loading matrix L (leading dimension
// NVAR) by the factor of each item's largest absolute loading (the lower
// factor on ties), groups in factor order, within a group by descending
// absolute loading on the group's factor (item order on ties).  L is
// reordered in place; ORDER(p) (NVAR values) is the item number, counted
// from 1, of the row printed at position p.
void SRTITM(std::span<double> L, int NVAR, int NFAC, std::span<int> ORDER);

}  // namespace orv::engine
