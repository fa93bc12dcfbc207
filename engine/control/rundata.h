// The arrays of one run, owned by the main program and handed to the stages
// by argument.  Matrices are column-major with their row count as leading
// dimension.
#pragma once

#include <vector>

namespace orv::engine {

struct RUNDATA {
    std::vector<double> SUBJID;  // NSUBJ subject identifiers (raw data)
    std::vector<double> X;       // NSUBJ x NVAR data
    std::vector<double> XBAR;    // NVAR means (metrics CO and IP on raw data)
    std::vector<double> XSTD;    // NVAR standard deviations (CO and IP)
    std::vector<double> SSP;     // NVAR x NVAR sums of squares and cross-products (CO and IP)
    std::vector<double> R;       // NVAR x NVAR correlations; communalities on the diagonal after extraction
    std::vector<double> L;       // NVAR x NFAC loadings
    std::vector<double> PHI;     // NFAC x NFAC factor correlations
    std::vector<double> COMM;    // NVAR communalities
    std::vector<double> FACSS;   // NFAC sums of squared loadings
    std::vector<int> ORDER;      // NVAR items in printed order (sorted tables)
    int NCOLS = 0;               // record width of the correlation, eigenvalue and residual tables
    bool SCORED = false;         // factor scores were computed
};

}  // namespace orv::engine
