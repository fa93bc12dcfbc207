#pragma once

#include <string>

namespace orv::engine {

// Writes the head of the report on LURPT: the title block, the listing of
// the command file (LUJOB is rewound; the listing ends after the >FORMAT:
// line under NOLABELS, at the >LABEL line otherwise, after 100 lines, or at
// the end of the file), the MODEL block that restates the job and the
// TECHNICAL PARAMETERS block.  Words are compared as the command-file
// reader leaves them (upper case, blank-padded).
void ECHOJB(const std::string& LABOPT, const std::string& SMOOPT, const std::string& METRIC, int NFAC,
            const std::string& MODTYP, const std::string& SCRMTH, int NSUBJ, int NVAR, double COMP_EPS,
            int MAXIT, double ROT_EPS, int ROT_MAXIT, const std::string& RNDSTRTS, double HYPER_WIDTH,
            const std::string& ROTNAM);

}  // namespace orv::engine
