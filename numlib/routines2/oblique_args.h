// Argument handling shared by the two oblique-rotation drivers, DFDOBL and
// DFHARR: their dimension test, array lengths, and the two messages whose
// texts they share.
#pragma once

#include <span>

#include "numlib/array_args.h"
#include "numlib/routines2/erset.h"

namespace orv::num2::oblique {

inline bool dimensions_valid(int nvar, int nf, int lda, int ldb, int ldt, int ldfcor) {
    return nf >= 1 && nvar >= nf && lda >= nvar && ldb >= nvar && ldt >= nf && ldfcor >= nf;
}

// A, B, T and FCOR hold what their dimensions say.
inline void require_matrices(const char* routine, int nvar, int nf, std::span<const double> a, int lda,
                             std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> fcor,
                             int ldfcor) {
    numlib::require_length(a.size(), numlib::matrix_extent(nvar, nf, lda), routine, "A");
    numlib::require_length(b.size(), numlib::matrix_extent(nvar, nf, ldb), routine, "B");
    numlib::require_length(t.size(), numlib::matrix_extent(nf, nf, ldt), routine, "T");
    numlib::require_length(fcor.size(), numlib::matrix_extent(nf, nf, ldfcor), routine, "FCOR");
}

// Terminal code 2: the work storage could not be had.
inline void storage_failed(int nvar, int nf) {
    MSGINT(1, nvar);
    MSGINT(2, nf);
    E1MES(5, 2, "The required storage cannot be allocated based on NVAR = %(I1) and NF = %(I2).");
}

// Terminal code 3 when a leading dimension is too small; true when all fit.
inline bool leading_dimensions_fit(int nvar, int nf, int lda, int ldb, int ldt, int ldfcor) {
    if (ldfcor >= nf && ldt >= nf && lda >= nvar && ldb >= nvar) return true;
    MSGINT(1, lda);
    MSGINT(2, ldb);
    MSGINT(3, ldt);
    MSGINT(4, ldfcor);
    MSGINT(5, nvar);
    MSGINT(6, nf);
    E1MES(5, 3,
          "LDA = %(I1), LDB = %(I2), LDT = %(I3), and LDFCOR = %(I4).  LDA and LDB must be greater than or "
          "equal to NVAR = %(I5).  LDT and LDFCOR must be greater than or equal to NF = %(I6).");
    return false;
}

}  // namespace orv::num2::oblique
