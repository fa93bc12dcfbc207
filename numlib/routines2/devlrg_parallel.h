// The threaded forms of the two long loops of the general-matrix
// eigenvalues: one step of the Hessenberg reduction and one bulge chase of
// the double-shift QR iteration, with the steps of the chase that the
// sequential loop shares.  Each gives every element the operations
// of the sequential loop in the same order, split over the threads of the
// eigen team (eigen_team.h), so the results are the same bit for bit.
// Indices are 1-based; H is column-major with leading dimension LD.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "numlib/routines2/columns.h"
#include "numlib/routines2/eigen_team.h"

namespace orv::num2::detail {

// How far each part of a reduction step has come: the row blocks it has
// finished.  One cache line each.
struct alignas(64) BlockProgress {
    std::atomic<int> blocks{0};
};

// Step M of the reduction of rows and columns LOW..IGH of the N by N
// matrix A, after the pivot row PIVOT has been exchanged with row M in
// columns M-1 and M and column PIVOT with column M, and X = A(M, M-1) is
// not zero: rows PIVOT and M exchanged in columns M+1..N, the multipliers
// into A(M+1..IGH, M-1), row I' less its multiplier times row M over
// columns M..N, column M plus the multiplier times column I' over rows
// 1..IGH, for I' = M+1..IGH in turn.  WORK holds 2*N doubles, PROGRESS
// TEAM.size() entries.  A team of one thread runs the same loops.
void hessenberg_step(double* a, std::size_t ld, int n, int m, int igh, int pivot, double x, double* work,
                     BlockProgress* progress, team::Team& team);

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

// Storage of a threaded chase, kept from one chase to the next.
struct ChaseWork {
    std::vector<Reflection> refl;
    std::vector<int> steps;
    std::vector<int> counts;
    int owners = 0;                            // entries of ROW_OPS and COL_OPS less one
    std::unique_ptr<BlockProgress[]> row_ops;  // blocks whose row operations an owner has applied
    std::unique_ptr<BlockProgress[]> col_ops;  // row blocks an owner has taken its column operations to
    std::atomic<int> published{0};             // blocks formed and applied near the diagonal
    team::Pace pace;                           // alone or on the team
};

// The chase of the bulge from row M to EN-1 within rows and columns L..EN
// of the Hessenberg matrix H, starting from the scaled shift terms P, Q, R
// at row M: the reflections are formed a block of steps at a time near the
// diagonal, and their application to the columns right of the block and to
// the rows above it follows, on the team's threads when it has helpers
// and the active block is large enough (each thread keeping its own
// columns and rows), else on the caller.
void chase_bulge(double* h, std::size_t ld, int l, int m, int en, double p, double q, double r, team::Team& team,
                 ChaseWork& work);

}  // namespace orv::num2::detail
