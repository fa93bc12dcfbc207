#include "numlib/routines2/dssfmt.h"

#include <array>
#include <cmath>

#include "numlib/routines2/erset.h"

namespace orv::num2 {

namespace {

// The nice steps, as two significant digits scaled by a power of ten.
constexpr std::array<double, 12> kSteps{12, 15, 20, 25, 30, 40, 50, 60, 80, 100, 120, 150};

// Whether K divides the table entry M (both whole, held as doubles).
bool divides(double m, double k) { return std::trunc((m + 0.1) / k) * k >= m - 0.1; }

}  // namespace

void DSSFMT(double fmn, double fmx, int n, int mpv, double& first, double& step, int& nm, int& ndec) {
    ErrorLevel frame("DSSFMT");
    if (fmx < fmn) {
        MSGDBL(1, fmx);
        MSGDBL(2, fmn);
        E1MES(5, 1,
              "FMX = %(D1).  FMN = %(D2).  Maximum value (FMX) must be greater than or equal to the minimum "
              "value to be included in scale (FMN).");
    }
    if (n < 2 || n > 10000) {
        MSGINT(1, n);
        MSGINT(2, 2);
        MSGINT(3, 10000);
        E1MES(5, 2,
              "N = %(I1).  Number of distinct plotting positions or scale marks (N) must be greater than or "
              "equal to %(I2) and less than or equal to %(I3).");
    }
    if (mpv < 1 || mpv >= n) {
        MSGINT(1, mpv);
        MSGINT(2, n);
        E1MES(5, 3,
              "MPV = %(I1).  N = %(I2).  Number of scale marks per printed value (MPV) must be positive and "
              "less than number of distinct plotting positions (N).");
    }
    if (N1RCD(0) != 0) {
        return;
    }

    nm = (n - 1) / mpv + 1;
    double lo = fmn;
    double hi = fmx;
    // A range too narrow to divide is widened to reach zero (or one).
    if (hi - lo <= 5.0e-6 * std::max(std::fabs(fmn), std::fabs(fmx))) {
        if (fmx > 0.0)
            lo = 0.0;
        else if (fmx == 0.0)
            hi = 1.0;
        else
            hi = 0.0;
    }

    // The step per printed value, scaled into (10, 100] by powers of ten.
    // The loops are bounded so that a range that is not finite cannot hang.
    const double r = static_cast<double>(n) / static_cast<double>(mpv);
    double q = (hi - lo) * 1.00002 / r;
    ndec = 0;
    for (int guard = 0; q <= 10.0 && guard < 400; ++guard) {
        q *= 10.0;
        ++ndec;
    }
    for (int guard = 0; q > 100.0 && guard < 400; ++guard) {
        q /= 10.0;
        --ndec;
    }
    std::size_t i = 0;
    while (i < 11 && !(kSteps[i] >= q)) ++i;

    const double pmpv = 0.5 / static_cast<double>(mpv);
    double k = 1.0;
    double m = kSteps[i];
    for (;;) {
        m = kSteps[i];
        step = m * std::pow(10.0, -ndec);
        const double u = step / k;
        const double v = (pmpv - r * 1.0e-5) * k + lo / u;
        first = u * std::trunc(v);
        if (v < 0.0 && v != std::trunc(v)) first -= u;
        if (i == 11 || first + (0.99999 * r - pmpv) * step > hi) break;
        if ((1.0 - 1.0 / (r * k)) * m / kSteps[i + 1] < 0.7) {
            // The next divisor of the same entry, when there is one.
            double next = k + 1.0;
            while (next <= m && !divides(m, next)) next += 1.0;
            if (next <= m) {
                k = next;
                continue;
            }
        }
        ++i;
        k = 1.0;
    }

    // Decimals needed for multiples of the sub-unit STEP/K.
    for (int t = 0; t < 2; ++t) {
        k *= 10.0;
        if (std::trunc((m + 0.1) / k) * k > m - 0.1) --ndec;
    }
}

}  // namespace orv::num2
