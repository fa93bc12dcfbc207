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
// A seed from the local time of day: 10000 h + 100 m + s + 1, or 123457 when
// that is 1 (midnight).
void CLKSED(int& iseed);
// Local hour, minute and second.
void TIMDAY(int& ih, int& im, int& is);

// Puts the generator back to its state at load (tests only).
void reset_random_state();
// Makes TIMDAY report a fixed time (tests only); a negative hour restores the
// real clock.
void set_time_of_day_for_tests(int ih, int im, int is);

}  // namespace orv::num2
