// The arithmetic of DLINDS: the Cholesky factorisation, the inverse of the
// triangular factor, the product of that inverse with its transpose and the
// mirror of the upper triangle, on a crew of threads or on the calling
// thread alone.  Each gives every element the operations of the reference
// BLAS routines that define these steps (dger, dsyr, dscal, dcopy), in the
// same order, so the results are the same bit for bit whatever the number
// of threads.
//
// The columns go in blocks of kBlockColumns, dealt to the threads round
// robin: each thread writes whole columns of its own blocks, keeping them
// from one step to the next, and takes another thread's blocks only when
// that thread is late (a busy machine) or has more left to do.  The steps
// of a block of columns reach each column together, in one pass over it
// that gives every element the steps one after the other (which makes
// these loops faster than step-by-step ones on one thread as well).
// Where a step needs a column that an earlier step finished, the thread
// that finished it publishes the progress and the others wait for it, so
// there is no barrier per step.  The kernels use no library routine, raise
// no message and change no library state, so that any number of threads
// may call them at once: failures come back as return values for the
// caller to report.
//
// Matrices are column-major with 1-based indices and leading dimension LD.
// Library-internal: the routines of dlinds.h and DLINDS_PURE are built on
// them.
#pragma once

#include <cstddef>

#include "process/team.h"

namespace orv::num2 {

// Smallest order at which DLINDS makes a crew for the kernels below;
// smaller orders run them on the calling thread alone.  The setting
// kDlindsOrder (process/thread_policy.h, for tests and benchmarks) also
// lets helper threads in from the order it gives.
int dlinds_parallel_order();

// Threads for DLINDS of order N: 0 below the parallel order (no crew), else 1 up to the order from which helpers pay, and from there
// eigen_threads() (eigen_team.h) but no more than one per so many columns.
int dlinds_threads(int n);

namespace detail {

inline constexpr int kBlockColumns = 8;

// The threads of one DLINDS call: an executor team whose runs are open
// (proc::Team::run_open).  Each run is work that the threads share out among
// themselves (claims, or blocks taken in turn) so that any of them, the
// caller alone included, can finish it: a helper that is not there yet, or
// comes late because the machine has other work, finds the run done and
// stays out, and the caller does not wait for it.  Every kernel below takes
// a null crew as the calling thread alone.
using Crew = proc::Team;

// The smallest magnitude that may safely divide: the smallest normalised
// double, or the reciprocal of the largest when that is bigger.
double safe_minimum();

// Whether the N x N matrices at A and B, of leading dimensions LDA and LDB,
// are the same array with the same leading dimension or do not overlap, as
// the kernels need their input and output.
bool same_or_apart(const double* a, std::size_t lda, const double* b, std::size_t ldb, int n);

// DLFTDS's arithmetic: FAC := the symmetric matrix of A's upper triangle,
// its factor L (A = L L') in the lower triangle and L' in the upper, by the
// right-looking elimination.  Returns 0, or the first column whose pivot
// was not positive (NaN included); FAC then holds the partial factor, every
// column after it having taken the steps before it.  A and FAC are either
// the same array with the same leading dimension or do not overlap.
// Unless SUMS is null, SUMS[J-1] := the column sum of DL2CDS's L1 norm of
// A, dasum of A(1..J, J) plus dasum of A(J, J+1..N), each dasum summing in
// order from zero (J = 1..N).
int factor_spd(Crew* crew, int n, const double* a, std::size_t lda, double* fac, std::size_t ldfac,
               double* sums = nullptr);

// DLINRT's arithmetic for an upper triangular A (dger and dscal steps): T := A^-1, the lower triangle
// of T cleared.  Returns 0, or the first column whose diagonal element is
// not above SMALL in magnitude; T then holds the partial inverse.  A and T
// are either the same array with the same leading dimension or do not
// overlap.
int invert_upper(Crew* crew, int n, const double* a, std::size_t lda, double* t, std::size_t ldt, double small);

// DL2NDS's product of the upper triangular T with its transpose, by the
// sequence of dsyr and dscal calls: the upper triangle of T := T T'.  The
// lower triangle is overwritten (it holds a copy of T on return).
void multiply_by_transpose(Crew* crew, int n, double* t, std::size_t ld);

// DCSFRG's arithmetic: the upper triangle of A copied into its lower triangle.
void mirror_upper(Crew* crew, int n, double* a, std::size_t ld);

}  // namespace detail
}  // namespace orv::num2
