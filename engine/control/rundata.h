// The arrays of one run, owned by the main program and handed to the stages
// by argument.  Matrices are column-major with their row count as leading
// dimension.
#pragma once

#include <string>
#include <vector>

#include "engine/common/data_array.h"

namespace orv::engine {

struct RUNDATA {
    bool RAWDAT = false;         // raw data were read: SUBJID and X hold them
    DataArray SUBJID;            // NSUBJ subject identifiers (raw data)
    DataArray X;                 // NSUBJ x NVAR data
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
    DataArray SC;                // NSUBJ x NFAC standardised factor scores (score stage)
    std::vector<double> R0;      // NVAR x NVAR correlations as they entered extraction (model fit)
    std::vector<double> RHAT;    // NVAR x NVAR reproduced matrix L L' of the last extraction pass
    int NPASS = 0;               // extraction pass counter (iterations reported: NPASS - 1)
    std::vector<double> P;       // NVAR x NFAC oblique pattern, rows in printed order (sorted under SORT)
    std::vector<double> P0;      // NVAR x NFAC oblique pattern in item order
    std::vector<double> S0;      // NVAR x NFAC oblique structure P0 PHI in item order
    // Orthogonal rotation (Varimax, weighted Varimax): A has its rows in
    // printed order under SORT; A0 keeps item order (a copy of A when nothing
    // was sorted), for the Promax and score stages.
    std::vector<double> A;          // NVAR x NFAC rotated loadings
    std::vector<double> A0;         // NVAR x NFAC rotated loadings in item order
    std::vector<std::string> SLAB;  // NVAR labels in printed order (sorted tables)
};

}  // namespace orv::engine
