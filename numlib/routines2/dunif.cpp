// The library's one uniform generator (the minimal-standard multiplicative
// congruential generator, multiplier 16807, modulus 2^31 - 1) with its
// run-wide seed, and standard normal deviates by the Kinderman-Ramage
// acceptance/rejection method.
#include "numlib/routines2/dunif.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <stdexcept>

#include "numlib/routines2/erset.h"

namespace orv::num2 {

namespace {

constexpr int kModulus = 2147483647;  // 2^31 - 1
constexpr int kClockFallbackSeed = 123457;

struct GeneratorState {
    int seed = 0;  // x, 1..2147483646 once seeded
    double scale = 0.0;
    double modulus = 0.0;
    bool first_use = true;
    bool seed_set = false;
    int option = 0;
};

GeneratorState g;

// A fixed time of day for the clock seed (tests only); hour < 0 = real clock.
int fixed_hour = -1, fixed_minute = 0, fixed_second = 0;

// One step of x = 16807 x mod (2^31 - 1) by Schrage's decomposition, which
// stays within 32-bit integers.
int next_state(int x) {
    x = 16807 * (x % 127773) - 2836 * (x / 127773);
    if (x < 0) x += kModulus;
    return x;
}

}  // namespace

void TIMDAY(int& ih, int& im, int& is) {
    if (fixed_hour >= 0) {
        ih = fixed_hour;
        im = fixed_minute;
        is = fixed_second;
        return;
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        // No clock: behave as at midnight, which gives the fallback seed.
        ih = im = is = 0;
        return;
    }
    ih = local.tm_hour;
    im = local.tm_min;
    is = local.tm_sec;
}

void CLKSED(int& iseed) {
    int ih = 0, im = 0, is = 0;
    TIMDAY(ih, im, is);
    const int value = 10000 * ih + 100 * im + is + 1;
    iseed = value > 1 ? value : kClockFallbackSeed;
}

void RNINIT(int iopt) {
    if (g.first_use) {
        g.modulus = 2147483647.0;
        g.scale = 1.0 / 2147483647.0;
        g.option = 1;
        g.first_use = false;
    }
    if (iopt == -1) {
        g.seed_set = true;
    } else if (iopt == 0) {
        // A seed marked as set but never given (RNINIT(-1) alone) would leave
        // the generator stuck at zero; take the clock then as well.
        if (!g.seed_set || g.seed == 0) {
            CLKSED(g.seed);
            g.seed_set = true;
        }
    } else {
        // Only generator option 1 exists in this library.
        g.option = 1;
    }
}

double DUNIF() {
    if (g.first_use || g.seed == 0) RNINIT(0);
    g.seed = next_state(g.seed);
    return static_cast<double>(g.seed) * g.scale;
}

void GETSED(int& iseed) {
    RNINIT(0);
    iseed = g.seed;
}

void SETSED(int iseed) {
    if (iseed > 0 && iseed < kModulus) {
        RNINIT(-1);
        g.seed = iseed;
    } else if (iseed == 0) {
        // Not marked as set: a first DUNIF before any other call seeds from
        // the clock again.
        CLKSED(g.seed);
    } else {
        RNINIT(0);
    }
}

void DRNNOA(int nr, std::span<double> r) {
    if (nr < 1) {
        ErrorLevel frame("DRNNOA");
        int icode = 1;
        CHKIRG(nr, "NR", 1, 0, icode);
        return;
    }
    if (r.size() < static_cast<std::size_t>(nr)) throw std::length_error("DRNNOA: R is shorter than NR");

    static const double c1 = 1.0 / std::sqrt(4.0 * std::asin(1.0));
    constexpr double a = 2.216035867166471;
    constexpr double c2 = 0.180025191068563;
    constexpr double half_a2 = 2.45540748228412;  // A^2 / 2
    auto gfun = [](double t) { return c1 * std::exp(-t * t / 2.0) - c2 * (a - std::fabs(t)); };

    for (int i = 0; i < nr; ++i) {
        const double u1 = DUNIF();
        double x = 0.0;
        if (u1 < 0.884070402298758) {
            const double u2 = DUNIF();
            x = a * (1.13113163544418 * u1 + u2 - 1.0);
        } else if (u1 >= 0.973310954173898) {
            double w = 0.0;
            for (;;) {
                const double u2 = DUNIF();
                const double u3 = DUNIF();
                w = half_a2 - std::log(u3);
                if (u2 * u2 * w <= half_a2) break;
            }
            x = std::sqrt(2.0 * w);
            if (u1 >= 0.986655477086949) x = -x;
        } else {
            double u2 = 0.0, u3 = 0.0, t = 0.0;
            if (u1 >= 0.958720824790463) {
                for (;;) {
                    u2 = DUNIF();
                    u3 = DUNIF();
                    t = a - 0.63083480192196 * std::min(u2, u3);
                    if (std::max(u2, u3) <= 0.755591531667601) break;
                    if (0.034240503750111 * std::fabs(u2 - u3) <= gfun(t)) break;
                }
            } else if (u1 >= 0.911312780288703) {
                for (;;) {
                    u2 = DUNIF();
                    u3 = DUNIF();
                    t = 0.479727404222441 + 1.10547366102207 * std::min(u2, u3);
                    if (std::max(u2, u3) <= 0.87283497667179) break;
                    if (0.049264496373128 * std::fabs(u2 - u3) <= gfun(t)) break;
                }
            } else {
                for (;;) {
                    u2 = DUNIF();
                    u3 = DUNIF();
                    t = 0.479727404222441 - 0.59550713801594 * std::min(u2, u3);
                    if (t < 0.0) continue;
                    if (std::max(u2, u3) <= 0.805577924423817) break;
                    if (0.053377549506886 * std::fabs(u2 - u3) <= gfun(t)) break;
                }
            }
            x = u2 < u3 ? t : -t;
        }
        r[static_cast<std::size_t>(i)] = x;
    }
}

void set_time_of_day_for_tests(int ih, int im, int is) {
    fixed_hour = ih;
    fixed_minute = im;
    fixed_second = is;
}

void reset_random_state() {
    g = GeneratorState{};
    fixed_hour = -1;
    fixed_minute = fixed_second = 0;
}

}  // namespace orv::num2
