// Ranking a section RV(M1..M2) of a real vector without moving it.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// IRANK(k) receives the rank of RV(k) among RV(M1..M2), the ranks running
// from M1 to M2 (1-based indices).  ORDER "A"/"a" ranks ascending, "D"/"d"
// descending; equal values get consecutive ranks in increasing index order
// in both orders.  Errors: 1 for M2 < M1, M2 < 1 or M1 < 1; 2 for an illegal
// ORDER.  IRANK is left unchanged on an error.
void M01DAF(std::span<const double> rv, int m1, int m2, std::string_view order, std::span<int> irank,
            int& ifail);

}  // namespace orv::num1
