// The standard normal distribution function without the error stack: the
// same arithmetic as DNORDF (erfc from its three Chebyshev series), with no
// message raised and no state changed, so that any number of threads may
// call it at once.  Its value equals DNORDF's bit for bit for every argument.
#pragma once

namespace orv::num2 {

// Phi(X) = 0.5 erfc(-X / sqrt 2), exactly as DNORDF computes it.
double DNORDF_PURE(double x);

}  // namespace orv::num2
