#pragma once

#include <string>
#include <vector>

namespace orv::engine {

// Loading-matrix input of model ROT.  DATFIL (on LUDAT) holds one record of
// NFAC loadings per variable, read with the run-time format DATFMT and no
// identifier, into L (NVAR x NFAC, column-major); the matrix printer's
// advisory output is pointed at the report first.  For input type FLD2 the
// factor correlations PHI (NFAC x NFAC, one list-directed read per row) come
// from PHIFIL on LUPHIN, and L becomes L V Lambda^(1/2), V the eigenvectors
// of PHI and Lambda its eigenvalues (largest first), so that L PHI L' is
// kept.  COMM gets each variable's communality (sum of its squared
// loadings), FACSS each factor's sum of squared loadings.
// Fatal stops: the loading file or the factor correlation file cannot be
// opened; either file ends before its NVAR or NFAC rows (the message names
// the records read, the rows among them and the count); PHI is not a
// correlation matrix (require_correlation_matrix); PHI has a negative
// eigenvalue beyond the rounding of its entries.
void RDLOAD(const std::string& DATFIL, const std::string& DATFMT, const std::string& DATTYP,
            const std::string& PHIFIL, int NVAR, int NFAC, std::vector<double>& L,
            std::vector<double>& PHI, std::vector<double>& COMM, std::vector<double>& FACSS);

}  // namespace orv::engine
