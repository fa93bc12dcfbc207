// Sorting a real vector into ascending algebraic order, alone (DSVRGN) or
// carrying an integer permutation vector along (DSVRGP).
//
// The method is Singleton's quicksort with a moving pivot fraction and
// insertion sort for short segments; the callers (eigenvalue ordering,
// quantiles) rely on the order it gives to equal values, so the steps are
// kept exactly.
#pragma once

#include <span>

namespace orv::num2 {

// RB(1..N) = RA(1..N) sorted ascending.  RA and RB may be the same array.
// N < 1 raises terminal code 1.
void DSVRGN(int n, std::span<const double> ra, std::span<double> rb);

// As DSVRGN, and every move of RB moves IPERM alike.  IPERM is not
// initialised here: with IPERM(i) = i on entry, RB(i) = RA(IPERM(i)) on exit.
void DSVRGP(int n, std::span<const double> ra, std::span<double> rb, std::span<int> iperm);

}  // namespace orv::num2
