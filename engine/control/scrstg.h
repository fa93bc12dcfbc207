// The score plots of the factor score stage.
#pragma once

#include <span>

namespace orv::engine {

// One printer plot on the report for every pair of factors (i, j), i < j,
// of the NSUBJ x NFAC scores SC (leading dimension NSUBJ): factor i across,
// factor j up, both from -3.5 to 3.5, each subject a "."; a caption line
// with i and j and five empty lines follow each plot.
void FSCPLT(std::span<const double> SC, int NSUBJ, int NFAC);

}  // namespace orv::engine
