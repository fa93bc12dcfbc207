// Sample variance, as the Varimax objective uses it.
#pragma once

#include <span>

namespace orv::engine {

// VAR := the sample variance (divisor N - 1) of X(1 .. N), by the corrected
// two-pass formula.  N below 2 shows a pause prompt naming the routine and
// then computes on regardless.
void moment(std::span<const double> X, int N, double& VAR);

}  // namespace orv::engine
