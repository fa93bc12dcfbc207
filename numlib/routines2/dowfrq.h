// One-way frequency table: counts of NOBS values in K classes under one of
// four class rules.
#pragma once

#include <span>

namespace orv::num2 {

// Counts the values of X(1..NOBS) into TABLE(1..K) (as doubles).
//   IOPT 0: K classes of equal width from the smallest value to the largest;
//           DIV gets the class midpoints.
//   IOPT 1: class 1 takes x <= XLO, class K takes x > XHI, and K-2 classes
//           of equal width lie between; DIV gets the class marks.
//   IOPT 2: DIV(1..K-1) are the increasing upper class boundaries.
//   IOPT 3: DIV(1..K) are increasing class marks; a value counts in the first
//           class whose mark is within CLHW, or nowhere.
// Bad arguments and NaN values raise terminal messages 1..8 and leave TABLE
// and DIV unchanged.
void DOWFRQ(int nobs, std::span<const double> x, int k, int iopt, double xlo, double xhi, double clhw,
            std::span<double> div, std::span<double> table);

}  // namespace orv::num2
