// Ipsatizing: each subject's scores centred on that subject's mean and
// scaled by that subject's standard deviation.
#pragma once

#include <span>

namespace orv::engine {

// Rewrites the NSUBJ x NVAR data X (column-major, leading dimension NSUBJ)
// in place, subject by subject: X(s, v) = (X(s, v) - mean) / sd over the
// subject's NVAR scores (divisor NVAR - 1).  A subject whose scores have no
// variance ends the run with a plain stop; the subjects before it are
// already rewritten.
void IPSAT(int NSUBJ, int NVAR, std::span<double> X);

}  // namespace orv::engine
