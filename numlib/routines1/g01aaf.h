// Mean, standard deviation, skewness, kurtosis and range of a sample,
// optionally weighted.
#pragma once

#include <span>

namespace orv::num1 {

// One pass with updating formulas over the N values X.  IWT = 1 on entry:
// WT holds the weights (non-negative, at least one non-zero; values with a
// zero weight are left out); any other IWT: unweighted, and WT(1..N) is set
// to 1.0.  On exit IWT is the number of values used (0 after errors 1 and
// 3).  S2 is the standard deviation (divisor N - 1 for unit weights), S3 the
// coefficient of skewness, S4 the coefficient of kurtosis (excess over 3),
// XMIN and XMAX the extremes of the values used, WTSUM the sum of weights.
// Errors: 1 for N < 1; 2 for exactly one value used (the outputs describe
// that value, with S2 = S3 = S4 = 0); 3 for a negative or undefined weight,
// or no non-zero weight.
void G01AAF(int n, std::span<const double> x, int& iwt, std::span<double> wt, double& xmean, double& s2,
            double& s3, double& s4, double& xmin, double& xmax, double& wtsum, int& ifail);

}  // namespace orv::num1
