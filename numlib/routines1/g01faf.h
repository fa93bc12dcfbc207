// Standard normal deviates for a probability and a tail code.
#pragma once

#include <string_view>

namespace orv::num1 {

// The deviate x for the probability P of the kind that TAIL's first
// character names (upper or lower case): "L" P = Phi(x), "U" P = 1 - Phi(x),
// "C" P = Phi(x) - Phi(-x), "S" P = 2 (1 - Phi(x)).
// Errors: 1 for another TAIL; 2 for P <= 0, P >= 1 or P a NaN (checked
// first).  The result is 0 on an error.
double G01FAF(std::string_view tail, double p, int& ifail);

// x with Phi(x) = P, by rational approximations in three regions of
// |P - 0.5| (up to 0.3, up to 0.42, beyond).  Error 1 (no records): P
// outside (0, 1) or a NaN; the result is then 0.
double G01FAZ(double p, int& ifail);

}  // namespace orv::num1
