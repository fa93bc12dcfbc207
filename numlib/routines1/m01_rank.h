// The stable order of a long vector of reals, found by sorting keys on
// threads: the ranks M01DAF gives, and the index order G01ALF visits.
//
// Each value is mapped to an unsigned key whose integer order is the order
// of m01::less (every NaN one key above +infinity, -0 and +0 one key), the
// key joined with the value's index into a unique composite; sorting the
// composites is then the stable sort of the values, whatever the sorting
// algorithm.  Each thread sorts a block of indices, the sorted blocks are
// cut at exact ranks (a bisection over the composites) and each thread
// merges one share of the output.  The result does not depend on the
// number of threads.
#pragma once

#include <cstddef>
#include <span>

namespace orv::num1::m01 {

// Threads the ranking routines may use: the setting kRankThreads when
// positive (process/thread_policy.h), else the CPUs of the process's
// affinity mask.
int rank_threads();

// Smallest section that M01DAF and G01ALF rank by sorting keys; shorter
// ones take M01DAF's linked runs: the setting kKeyRankSize when positive,
// else policy::kKeyRankSize.
int key_rank_size();

// Threads for a ranking of N values: rank_threads(), but no more than one
// per share of work that pays for a thread.
int key_rank_threads(std::size_t n);

// What key_rank writes into OUT.
enum class Output {
    kRanks,  // OUT[k] = FIRST + the position of VALUES[k] in the order
    kOrder,  // OUT[p] = FIRST + the index of the value at position p
};

// The stable ascending (or DESCENDING) order of VALUES written into OUT
// (as long as VALUES) on THREADS threads.
void key_rank(std::span<const double> values, bool descending, int first, Output output, std::span<int> out,
              int threads);

}  // namespace orv::num1::m01
