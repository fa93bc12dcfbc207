// The threaded forms of the two long loops of the general-matrix
// eigenvalues: one step of the Hessenberg reduction and one bulge chase of
// the double-shift QR iteration, with the steps of the chase that the
// sequential loop shares.  Each gives every element the operations
// of the sequential loop in the same order, split over the threads of the
// eigen team (eigen_team.h), so the results are the same bit for bit.
// Indices are 1-based; H is column-major with leading dimension LD.
#pragma once

#include <cstddef>

#include "numlib/routines2/eigen_team.h"

namespace orv::num2::detail {

// Column-major access with 1-based indices.
struct Matrix {
    double* p;
    std::size_t ld;
    double& operator()(int i, int j) const {
        return p[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ld];
    }
    double* column(int j) const { return p + static_cast<std::size_t>(j - 1) * ld - 1; }  // 1-based rows
};

// Step M of the reduction of rows and columns LOW..IGH of the N by N
// matrix A, after the pivot row has been exchanged into row M and X =
// A(M, M-1) is not zero: the multipliers into A(M+1..IGH, M-1), row I'
// less its multiplier times row M over columns M..N, column M plus the
// multiplier times column I' over rows 1..IGH, for I' = M+1..IGH in turn.
// WORK holds 2*N doubles.  A team of one thread runs the same loops.
void hessenberg_step(double* a, std::size_t ld, int n, int m, int igh, double x, double* work, team::Team& team);

// A reflection I - u v' of the chase, u = (x, y, z), v = (1, q, r); the
// last step (NOTLAST false) reflects two rows.
struct Reflection {
    double x, y, z, q, r;
    bool notlast;
};

// Forms the reflection of step K of the chase from row M within rows and
// columns L..EN: from the shift terms P, Q, R at K = M, else from column
// K-1, whose elements below the subdiagonal it clears.  False when the
// step has nothing to reflect.
bool chase_reflection(double* h, std::size_t ld, int l, int m, int en, int k, double& p, double& q, double& r,
                      Reflection& f);

// Applies reflection F of step K to rows K..K+2 over columns K..LAST_COLUMN
// and to columns K..K+2 over rows FIRST_ROW..min(EN, K+3).
void apply_reflection(double* h, std::size_t ld, const Reflection& f, int k, int en, int last_column, int first_row);

// The chase of the bulge from row M to EN-1 within rows and columns L..EN
// of the Hessenberg matrix H, starting from the scaled shift terms P, Q, R
// at row M: the reflections are formed a block of steps at a time near the
// diagonal, and their application to the columns right of the block and to
// the rows above it is shared out.
void chase_bulge(double* h, std::size_t ld, int l, int m, int en, double p, double q, double r, team::Team& team);

}  // namespace orv::num2::detail
