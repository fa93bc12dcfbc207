#pragma once

#include "engine/control/jobset.h"

namespace orv::engine {

// Writes the head of the report on LURPT: the title block, the listing of
// the command file (LUJOB is rewound; the listing ends after the >FORMAT:
// line under NOLABELS, at the >LABEL line otherwise, after 100 lines, or at
// the end of the file), the MODEL block that restates the job and the
// TECHNICAL PARAMETERS block.  Words are compared as the command-file
// reader leaves them (upper case, blank-padded).
void ECHOJB(const JOBSET& job);

}  // namespace orv::engine
