// Inverses of symmetric positive definite matrices through DLINDS.
#pragma once

#include <span>

namespace orv::engine {

// The mark SPDINC leaves in AINV(1, 1) when the matrix is not positive
// definite.
inline constexpr double SPDINC_FAILED = 123456.0;

// AINV := A^-1 for the N x N matrices A and AINV (leading dimension N).
// Sets every message type of numerical routines II to printed and not
// stopping (ERSET(0, 1, 0)) for the rest of the run.  A fatal or terminal
// error of DLINDS (A not positive definite) stops the run after the
// library's message; a warning (A too ill-conditioned) goes on.
void SPDINV(std::span<const double> A, int N, std::span<double> AINV);

// As SPDINV, but with every message type of numerical routines II silent
// and not stopping (ERSET(0, 0, 0) before and after).  When DLINDS reports
// code 2 (not positive definite), AINV(1, 1) is set to SPDINC_FAILED.
void SPDINC(std::span<const double> A, int N, std::span<double> AINV);

// SPDINC for 1 <= N <= 16 without the library's error stack or message
// settings, for parallel work: the same AINV and mark, bit for bit.
void SPDINC_PURE(std::span<const double> A, int N, std::span<double> AINV);

}  // namespace orv::engine
