// Factor pattern plots and the hyperplane-count box of the rotation stages.
#pragma once

#include <span>
#include <string_view>

namespace orv::engine {

// One printer plot on the report for every pair of factors (J, K), J < K, of
// the NVAR x NFAC matrix L (leading dimension NVAR): factor J across, factor
// K up, both from -1 to 1, each variable an "X"; a caption line with J and
// K and an empty line follow each plot.
void PATPLT(std::span<const double> L, int NVAR, int NFAC);

// The pattern plots of a rotation stage, when PLTOPT is LOADINGS or ALL:
// CAPTION right-aligned in an 80-column record, then PATPLT of L.
void PATCAP(std::string_view PLTOPT, std::string_view CAPTION, std::span<const double> L, int NVAR, int NFAC);

// The hyperplane-count box on the report: the heading rule, one HYPCNT line
// for each factor of L (NVAR x NFAC) with the band half-width WIDTH, and the
// closing rule.
void HYPBOX(std::span<const double> L, int NVAR, int NFAC, double WIDTH);

}  // namespace orv::engine
