// Inverting a permutation held in IPERM(M1..M2) in place.
#pragma once

#include <span>

namespace orv::num1 {

// On exit the new IPERM(old IPERM(k)) = k for k = M1..M2 (1-based).  Turns
// ranks into the order in which to visit the elements.
// Errors: 1 for M1 > M2, M2 < 1 or M1 < 1; 2 for a value outside M1..M2;
// 3 for a repeated value.  After errors 2 and 3 IPERM is partly processed
// and must not be used.
void M01ZAF(std::span<int> iperm, int m1, int m2, int& ifail);

}  // namespace orv::num1
