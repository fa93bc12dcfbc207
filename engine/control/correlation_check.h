// Correlation matrices read from files, the input correlation matrix of
// input type COR and the factor correlations of FLD2, are checked before
// any stage uses them.
#pragma once

#include <cfloat>
#include <cstddef>
#include <span>
#include <string>

namespace orv::engine {

// The allowance for rounding at full precision: a value written with 16 or
// 17 significant digits by another program (0.9999999999999999,
// 1.0000000000000002) carries the rounding of its computation, a few units
// in the last place of a double.
inline constexpr double kFullPrecisionRounding = 16 * DBL_EPSILON;

// R (N x N, column-major) must be a correlation matrix to the precision it
// is written with: every diagonal entry 1 within one unit of its last
// decimal; every other entry between -1 and 1; R(i,k) and R(k,i) equal
// within one unit of the last decimal of the more precise of the two.  A
// unit of the last decimal is at most 0.001 (a whole number is no rounding
// of 1) and at least kFullPrecisionRounding.  Else the run stops with
// "FATAL ERROR: Entry (i,k) of FILE is V: " and what a correlation matrix
// is; FILE names the file ("correlation file /path").  The diagonal is
// checked first, then the rows in order.
void require_correlation_matrix(std::span<const double> r, std::size_t n, const std::string& file);

}  // namespace orv::engine
