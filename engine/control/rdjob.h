#pragma once

#include "engine/control/jobset.h"

namespace orv::engine {

// Splits the path of the command file connected to unit 12 into JOBPTH (the
// full path), JOBDIR (up to and including its last "/", empty when there is
// none) and JOBBAS (the rest, its first 15 characters, blank-padded).
void SPLITP(JOBSET& job);

// Reads the job from the command file on unit 12, line by line from the
// comments before >TITLE: to >FORMAT:, with a fatal stop for every missing
// keyword and refused word; reads the item file and the guessing
// parameters (growing with what they hold: either file that ends before
// NVAR entries is a fatal stop naming both counts), opens the raw data file
// on unit 10 and, last, the report on unit 11.  Unit 12 stays open for the >LABELS: line and the command
// listing.
void RDJOB(JOBSET& job);

}  // namespace orv::engine
