// The factor score stage with a given thread count, and the score plots.
#pragma once

#include <span>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"

namespace orv::engine {

// SCRSTG with the scores and the .fsc records computed on THREADS threads
// (0: one per core); the report, the window and the .fsc file are the same
// for every count.
void SCRSTG(JOBSET& job, RUNDATA& run, int threads);

// One printer plot on the report for every pair of factors (i, j), i < j,
// of the NSUBJ x NFAC scores SC (leading dimension NSUBJ): factor i across,
// factor j up, both from -3.5 to 3.5, each subject a "."; a caption line
// with i and j and five empty lines follow each plot.
void FSCPLT(std::span<const double> SC, int NSUBJ, int NFAC);

}  // namespace orv::engine
