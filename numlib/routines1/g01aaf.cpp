#include "numlib/routines1/g01aaf.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/machine.h"

namespace orv::num1 {

void G01AAF(int n, std::span<const double> x, int& iwt, std::span<double> wt, double& xmean, double& s2,
            double& s3, double& s4, double& xmin, double& xmax, double& wtsum, int& ifail) {
    const int entry = ifail;
    if (n < 1) {
        iwt = 0;
        ifail = ERREXIT(entry, 1, "G01AAF", 0, {});
        return;
    }
    const auto size = static_cast<std::size_t>(n);
    if (x.size() < size) throw std::length_error("G01AAF: array X is shorter than N");
    if (wt.size() < size) throw std::length_error("G01AAF: array WT is shorter than N");

    if (iwt == 1) {
        // A weight must be a number not below zero: a NaN weight is refused
        // like a negative one instead of spreading through every result.
        int used = 0;
        for (std::size_t i = 0; i < size; ++i) {
            if (!(wt[i] >= 0.0)) {
                used = 0;
                break;
            }
            if (wt[i] != 0.0) ++used;
        }
        if (used == 0) {
            iwt = 0;
            ifail = ERREXIT(entry, 3, "G01AAF", 0, {});
            return;
        }
        iwt = used;
    } else {
        for (std::size_t i = 0; i < size; ++i) wt[i] = 1.0;
        iwt = n;
    }

    std::size_t p = 0;
    while (wt[p] == 0.0) ++p;
    xmean = x[p];
    wtsum = wt[p];
    xmin = x[p];
    xmax = x[p];
    s2 = 0.0;
    s3 = 0.0;
    s4 = 0.0;
    if (iwt == 1) {
        ifail = ERREXIT(entry, 2, "G01AAF", 0, {});
        return;
    }

    // Deviations whose weighted size is below the fourth root of the safe
    // range are dropped, so that their fourth powers cannot underflow.
    const double t0 = std::sqrt(std::sqrt(MCSAFE()));
    double m2 = 0.0, m3 = 0.0, m4 = 0.0, q = 0.0;
    for (std::size_t i = p + 1; i < size; ++i) {
        const double w = wt[i];
        if (w == 0.0) continue;
        const double xi = x[i];
        if (xi < xmin) xmin = xi;
        if (xi > xmax) xmax = xi;
        q = q + 2.0 * wtsum * w;
        const double w1 = wtsum + w;
        const double d = xi - xmean;
        double t = d * w;
        if (std::fabs(t) <= t0) t = 0.0;
        const double rr = t / w1;
        const double u = (d - rr) * t;
        m4 = m4 + (d * d - 3.0 * u / w1) * u + (6.0 * m2 * rr - 4.0 * m3) * rr;
        m3 = m3 + (d - 2.0 * rr) * u - 3.0 * m2 * rr;
        m2 = m2 + u;
        xmean = xmean + rr;
        wtsum = w1;
    }

    if (!(m2 <= 0.0)) {
        const double f1 = wtsum / q;
        const double v = f1 * m2;
        s2 = std::sqrt(v);
        s3 = f1 * m3 / (v * s2);
        s4 = f1 * m4 / (v * v) - 3.0;
    }
    ifail = 0;
}

}  // namespace orv::num1
