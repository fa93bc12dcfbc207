// Model fit analysis: run right after factor extraction (models PFA and
// PCA).  Reports the number of communality iterations, GFI, the residual
// matrix (LONG reports), residual statistics and five-point summary, the
// residual frequency table and histogram, and writes the .rsd file when
// asked.
#pragma once

#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"

namespace orv::engine {

// Threads for the fit's loops over an NVAR x NVAR matrix: THREADS when
// positive, else one per usable CPU for a large matrix and one for a small.
int fit_threads(int nvar, int threads);

// RHAT = L L' for the NVAR x NFAC loadings L, on THREADS threads (0: one
// per usable CPU for a large product, one for a small), each element the
// sum over the factors in their order.
void reproduce(const std::vector<double>& L, int nvar, int nfac, std::vector<double>& RHAT, int threads);

// Reads from `run`: R (final communalities on its diagonal), R0 (the
// correlation matrix as it entered extraction), RHAT (L L' of the last
// pass) and NPASS (the extraction's pass counter; the report gives
// NPASS - 1 iterations).  RHAT's diagonal is overwritten; R0 is released.
// The loops over the matrices run on fit_threads(NVAR, THREADS) threads;
// the report and the .rsd file do not depend on their number.
void FITSTG(JOBSET& job, RUNDATA& run, int threads = 0);

}  // namespace orv::engine
