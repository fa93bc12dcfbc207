// Five-point summary of a sample: minimum, hinges, median, maximum.
#pragma once

#include <span>

namespace orv::num1 {

// RES(1..5) receives the minimum, lower hinge, median, upper hinge and
// maximum of the N values X (unchanged).  On exit IWRK(k) is the index in X
// (1-based) of the k-th smallest value, equal values in index order.
// Error 1: N < 5.
void G01ALF(int n, std::span<const double> x, std::span<int> iwrk, std::span<double> res, int& ifail);

}  // namespace orv::num1
