// Sorting a section RV(M1..M2) of a real vector in place, ascending or
// descending.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// Sorts RV(M1..M2) (1-based indices into RV) into the order ORDER ("A"/"a"
// ascending, "D"/"d" descending; only the first character counts).
// Errors: 1 for M2 < M1, M2 < 1 or M1 < 1; 2 for an illegal ORDER.
// RV is left unchanged on an error.
void M01CAF(std::span<double> rv, int m1, int m2, std::string_view order, int& ifail);

}  // namespace orv::num1
