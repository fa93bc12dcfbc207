#pragma once

#include <string>
#include <vector>

namespace orv::engine {

// The variable labels: VARLAB gets NVAR labels of 15 characters, blank
// unless the labels option LABOPT is exactly LABELS.  Then the next command
// line (LUJOB) must start with ">LABELS:" (any case), else the fatal stop
// "FATAL ERROR: Keyword  >LABELS:   missing"; the labels follow the keyword
// list-directed, over as many lines as they need, quoted when they hold a
// blank, a comma or a "/", cut or padded to 15 characters.  Labels past the
// NVAR-th are ignored; the end of the file before the NVAR-th is a fatal
// stop naming the labels read and NVAR.
void RDLABS(const std::string& LABOPT, int NVAR, std::vector<std::string>& VARLAB);

}  // namespace orv::engine
