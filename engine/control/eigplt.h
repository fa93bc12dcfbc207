// The eigenvalues of the initial correlation matrix: their table and
// printer plot in the report, and the .eig matrix file.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::engine {

// Prints the eigenvalues of the NVAR x NVAR matrix R (leading dimension
// NVAR, not changed) on unit LU, which must be the advisory unit of the
// matrix printer: the table in records of PAGEWIDTH columns (110 from 120
// on), then the plot of the first 30 at most.  When OUTPUT is "T" and one of
// the first NCODES codes of OUTCOD is "EIG", every eigenvalue also goes into
// the .eig file named after the command file (JOBDIR, JOBBAS), one per
// record.  The eigenvalues keep the order the general eigenvalue routine
// gives them; their real parts are returned, so that the squared multiple
// correlations need not compute them again.
std::vector<double> EIGPLT(std::span<const double> R, int NVAR, int LU, int PAGEWIDTH, std::string_view JOBDIR,
            std::string_view JOBBAS, std::string_view OUTPUT, std::span<const std::string> OUTCOD, int NCODES);

}  // namespace orv::engine
