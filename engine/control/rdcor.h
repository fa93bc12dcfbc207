#pragma once

#include <string>
#include <vector>

namespace orv::engine {

// Reads the input correlation matrix of a job with input type COR from
// DATFIL on LUDAT into R (NVAR x NVAR, column-major).  The file must exist:
// under metric DI a missing file is the fatal stop "FATAL ERROR! Input
// correlation matrix not found"; under the other metrics it is the
// run-time's open error.  Then "Reading Correlations" goes to the window and
// row i of R is read in one list-directed read: the whole square matrix, a
// row may run over several lines, whatever follows the row's last value on
// its line is skipped.  No symmetry, range or diagonal check is made here
// (the correlation stage makes it, require_correlation_matrix).  The rows
// grow with the values read; the end of the file before the last row is a
// fatal stop naming the records read, the rows among them and NVAR.
// Rows that fit on one line are converted on THREADS threads (0: one per
// usable CPU for a large matrix, one for a small); R and every message are
// those of the read in file order.
void RDCOR(const std::string& METRIC, const std::string& DATFIL, int NVAR, std::vector<double>& R, int threads = 0);

}  // namespace orv::engine
