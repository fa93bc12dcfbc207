// Model fit analysis: run right after factor extraction (models PFA and
// PCA).  Reports the number of communality iterations, GFI, the residual
// matrix (LONG reports), residual statistics and five-point summary, the
// residual frequency table and histogram, and writes the .rsd file when
// asked.
#pragma once

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"

namespace orv::engine {

// Reads from `run`: R (final communalities on its diagonal), R0 (the
// correlation matrix as it entered extraction), RHAT (L L' of the last
// pass) and NPASS (the extraction's pass counter; the report gives
// NPASS - 1 iterations).  RHAT's diagonal is overwritten; R0 is released.
void FITSTG(JOBSET& job, RUNDATA& run);

}  // namespace orv::engine
