// The library's uniform generator with its run-wide seed, and normal
// deviates drawn from it.
#pragma once

#include <span>

namespace orv::num2 {

double DUNIF();
void GETSED(int& iseed);
void SETSED(int iseed);
void RNINIT(int iopt);
// NR standard normal deviates into R(1..NR).
void DRNNOA(int nr, std::span<double> r);

// Puts the generator back to its state at load (tests only).
void reset_random_state();

}  // namespace orv::num2
