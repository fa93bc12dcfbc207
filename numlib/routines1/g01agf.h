// Printer scatter plot of N points on the advisory unit.
#pragma once

#include <span>

namespace orv::num1 {

// Draws the points (X(i), Y(i)), i = 1..N, as a character plot of about
// NSTEPX by NSTEPY cells (NSTEPX clamped to 10..133, NSTEPY at least 10),
// each cell showing how many points fall into it.  On exit Y is sorted
// into descending order and ISORT(k) is the input index of the point with
// the k-th largest Y (ties in index order).  Error 1: N < 1.
void G01AGF(std::span<const double> x, std::span<double> y, int n, std::span<int> isort, int nstepx,
            int nstepy, int& ifail);

}  // namespace orv::num1
