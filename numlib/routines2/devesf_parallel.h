// The Householder reduction of a symmetric matrix to tridiagonal form
// (DE6CSF) in grouped loops, on one thread or on the eigen team: every
// element gets the operations of the sequential loops in the same order,
// so the results are the same bit for bit whatever the number of threads.
// Indices are 1-based; A is column-major with leading dimension LD and only
// its lower triangle is read and written.
#pragma once

#include <cstddef>

#include "numlib/routines2/eigen_team.h"

namespace orv::num2::detail {

// The reflection of step I, from column I of the trailing block.
struct Reflector {
    double g = 0.0;  // E(I+1) is -G once the step is done
    double w = 0.0;  // 1 / A(I+1, I)
};

// Step I's own column: exchanges D(I) and A(I,I), and either records a
// column with nothing to clear in E(I+1), E2(I+1) and A(I+1,I) (false), or
// turns A(I+1..N, I) into the reflection vector u, sets E2(I+1) and R, and
// returns true: then the step goes on with p = B u for the trailing block B,
// q = w (p + k u) with k = w u'p / 2, B = B + u q' + q u', and E(I+1) = -g.
bool reflect_column(double* a, std::size_t ld, int n, int i, double tol, double* d, double* e, double* e2,
                    Reflector& r);

// Steps I, I+1, ... of the reduction while the trailing order N - step is
// at least MIN_ORDER, on the team; returns the first step not done, every
// step before it complete (I itself when the work storage, a copy of the
// trailing block, cannot be had).  The copy holds both triangles in groups
// of eight columns, which each thread keeps from one step to the next.
int shared_tridiagonal_steps(int n, int i, double* a, std::size_t ld, double* d, double* e, double* e2, double tol,
                             int min_order, team::Team& team);

}  // namespace orv::num2::detail
