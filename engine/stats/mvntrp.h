// The triplet test of multivariate normality: for three dichotomous items,
// the one-factor normal-ogive model (three intercepts, three slopes) fitted
// to the 8 response-pattern counts by Newton steps on the likelihood-ratio
// statistic G2 against the saturated model (1 degree of freedom), from
// several starts, the lowest minimum reported.
//
// Parameters P(1..3) are the intercepts b and P(4..6) the slopes a of items
// 1..3; item i answers 1 at latent value q with probability
// Phi(-(a_i q + b_i)).  Pattern probabilities are sums over the 40-point
// quadrature of mvn_quadrature.h.  Every routine here but MVNTRP is pure
// (no library state, no output): the triplets of a job run on all cores.
#pragma once

#include <cstdint>
#include <span>

namespace orv::engine {

// The 8 x 3 response-pattern table (column-major, values 1.0 and 0.0):
// rows (1,1,1), (1,0,1), (1,1,0), (1,0,0), (0,1,1), (0,0,1), (0,1,0), (0,0,0).
extern const double MVN_PATTERNS[24];

// What NXKSUB keeps from one call to the next: the NV and K of the call
// that started the sequence (0 before any).
struct NXKSUB_KEPT {
    int nv = 0;
    int k = 0;
};

// The next K-subset of 1..NV in lexicographic order into A (K values).
// MORE 0 on entry starts afresh (1, 2, ..., K); so does a call with another
// NV or K than KEPT holds.  On return MORE is 1 when further subsets follow,
// 0 when A is the last one.  Asked to go on past the last subset, it starts
// afresh as well.
void NXKSUB(int NV, int K, std::span<int> A, int& MORE, NXKSUB_KEPT& KEPT);

// H: the finite-difference step for X(I) (I from 1), the single-precision
// 0.01 as it is representable at X(I): (X(I) + 0.01) - X(I).
void STEPAD(std::span<const double> X, int I, double& H);

// F: G2 at P for the 8 counts O of N subjects, with the nodes Q and weights
// W (40 each) and the pattern table PAT (8 x 3).  A pattern probability that
// is exactly 0 counts as 1/N; an unobserved pattern adds 0 to the observed
// sum (0 ln 0 = 0).
void MVNFUN(std::span<const double> P, std::span<const double> Q, std::span<const double> W,
            std::span<const double> PAT, int N, std::span<const int> O, double& F);

// G: the central-difference gradient of G2 at P (6 values); HINV: the
// inverse of the forward-difference Hessian (6 x 6), or 123456.0 in
// HINV(1, 1) when the Hessian is not positive definite.  The 34 values of
// G2 it needs are those of MVNFUN at the shifted parameters, bit for bit.
void MVNOPT(std::span<const double> P, std::span<const double> Q, std::span<const double> W,
            std::span<const double> PAT, int N, std::span<const int> O, std::span<double> G, std::span<double> HINV);

// Start parameters P (6) from the pair correlations and the thresholds TAU
// (3, the normal deviates of the items' proportions of 1): loadings of
// magnitude sqrt(|r r / r|), clamped to 0.99, item 1's positive and items
// 2's and 3's with the signs of R12 and R13; all 0 (the items independent)
// when one of the correlations is 0.
void mvn_start(double R12, double R13, double R23, const double TAU[3], double P[6]);

// G2 at the start parameters: both sums over the patterns whose probability
// is above 0 only.
double mvn_start_statistic(const double P[6], int N, std::span<const int> O);

// The number of triplets of NVAR variables, C(NVAR, 3), in 64 bits (the
// product overflows 32 bits from about 1,300 variables).
std::int64_t triplet_count(int NVAR);

// The 8 pattern probabilities E at the parameters P (MVNFUN step 1).
void mvn_expected(const double P[6], double E[8]);

// How the search that gave a fit's statistic ended: every gradient
// component at most 1.0E-5 with a positive definite Hessian (or, at a
// saddle, no step along its direction of negative curvature lowering G2);
// no step lowering G2 further, or G2 below 5e-5 (where it prints as 0);
// or the limit of 200 Newton steps.
enum class MvnEnd { converged, flat, limit };

// What the fit of one triplet gives.
struct MvnFit {
    double g2 = 0.0;                   // the statistic reported
    double p[6] = {};                  // the parameters it belongs to
    int searches = 0;                  // local searches made (1 to 8)
    int steps = 0;                     // Newton steps of all of them
    MvnEnd ended = MvnEnd::converged;  // how the search of g2 ended (limit when any did)
    std::int64_t evaluations = 0;      // values of G2 computed, with or without derivatives
};

// MVNTRP's fit for counts O of N subjects: the lowest minimum of G2 that
// Newton steps on its analytic gradient and Hessian reach from the start
// values and, unless that minimum is below 5e-5 (where the statistic prints
// as 0), from starts of the other three sign patterns of the loadings and
// from the valley of each item's growing slope (a Heywood case, where the
// lowest minimum often lies on misfitting triplets).  A further search
// gives up when it leaves its sign pattern or valley, or comes near a
// minimum already found.  Each search ends where the gradient is 0 (every
// component at most 1.0E-5) at a point that is not a saddle, or where no
// step lowers G2.  The searches' statistic is MVNFUN's, except that a
// pattern some subject shows may not have a probability of exactly 0
// (MVNFUN counts it as 1/N, a "fit" better than any true one); the one
// reported is MVNFUN's at the lowest minimum.  A statistic below 0 (a
// perfect fit, under float weights that sum to a little more than 1) is
// reported as 0.
MvnFit mvn_fit(std::span<const int> O, int N, const double TAU[3], double R12, double R13, double R23);

// The mark of a statistic: "**" at or above 6.635, "* " at or above 3.841,
// else two blanks (single-precision constants widened).
const char* mvn_mark(double g2);
inline const double MVN_SUSPECT = static_cast<double>(6.635f);
inline const double MVN_NOTED = static_cast<double>(3.841f);

// One triplet as the triplet stage hands it over: variable numbers I1 < I2
// < I3 (for the line), their N responses X1, X2, X3 (1.0 and 0.0), the pair
// correlations; thresholds by DNORIN, counts, the fit; the line
// (3(I3,1X),2X,F10.4,A2) on unit LU; G2 out.  A response other than 1.0 or
// 0.0 puts its subject in no pattern (N still counts it).
void MVNTRP(int I1, int I2, int I3, std::span<const double> X1, std::span<const double> X2,
            std::span<const double> X3, double R12, double R13, double R23, int N, int LU, double& G2);

}  // namespace orv::engine
