// The scaled sum of squares in its classic form: SCALE ends as the largest
// absolute value seen (0 for a zero vector) and SCALE^2 * SUMSQ is the sum of
// squares, formed without overflow.  (Newer LAPACK releases return a scale
// chosen from accumulator ranges instead; the reflector generator relies on
// the largest element.)
#pragma once

#include <span>

namespace orv::num1 {

// On exit SCALE_out^2 * SUMSQ_out = SCALE^2 * SUMSQ + sum of X(1 + (i-1) INCX)^2
// for i = 1..N, with SCALE_out = max(SCALE, max |X(i)|).  A NaN element
// makes SUMSQ a NaN.  INCX >= 1.
void DLASSQ(int n, std::span<const double> x, int incx, double& scale, double& sumsq);

}  // namespace orv::num1
