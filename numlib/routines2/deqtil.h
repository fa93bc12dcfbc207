// Empirical quantiles of a sample with missing values, and the helpers for
// missing values (NaN) that other routines of the library use too.
//
// The quantile for a proportion P is the (n+1)P-th order statistic of the n
// values that are not missing, interpolated linearly between its
// neighbours; proportions below 1/(n+1) give the smallest value, those of
// n/(n+1) or more the largest.  A sample already in ascending order with
// every NaN after its last value is read in place; any other is copied,
// its NaNs are moved to the end and only as much of it is ordered as the
// proportions need.
//
// Problems are reported through the library's error stack (erset.h).  A
// span shorter than its dimensions say is a programming error:
// std::length_error naming the routine and the argument.
#pragma once

#include <span>

namespace orv::num2 {

// Q(i), with the order statistics XLO(i) <= Q(i) <= XHI(i) it was
// interpolated from, for each proportion QPROP(i) strictly between 0 and 1;
// NMISS counts the NaNs of X.  X is not changed.
void DEQTIL(int nobs, std::span<const double> x, int nqprop, std::span<const double> qprop, std::span<double> q,
            std::span<double> xlo, std::span<double> xhi, int& nmiss);

// The worker of DEQTIL with the caller's work vector WK (NOBS values).  WK
// is used only when X is not in order already (it may be empty otherwise).
void DE2TIL(int nobs, std::span<const double> x, int nqprop, std::span<const double> qprop, std::span<double> q,
            std::span<double> xlo, std::span<double> xhi, int& nmiss, std::span<double> wk);

// Rearranges X(1..NOBS) so that every value that is not missing comes first
// (in no particular order) and every NaN last; NMISS is the number of NaNs.
void DU1MVV(int nobs, std::span<double> x, int& nmiss);

// Ordinal number (1 for the first element visited) of the first NaN among
// X(1), X(1+INCX), ... (N elements); 0 when there is none, when N = 0 or
// when INCX = 0.
int IDANAN(int n, std::span<const double> x, int incx);

}  // namespace orv::num2
