#include "numlib/routines2/dowfrq.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"

namespace orv::num2 {

void DOWFRQ(int nobs, std::span<const double> x, int k, int iopt, double xlo, double xhi, double clhw,
            std::span<double> div, std::span<double> table) {
    if (nobs >= 1 && x.size() < static_cast<std::size_t>(nobs))
        throw std::length_error("DOWFRQ: X is shorter than NOBS");
    if (k >= 1 && (div.size() < static_cast<std::size_t>(k) || table.size() < static_cast<std::size_t>(k)))
        throw std::length_error("DOWFRQ: DIV or TABLE is shorter than K");
    ErrorLevel frame("DOWFRQ");
    if (nobs < 1) {
        MSGINT(1, nobs);
        E1MES(5, 1, "NOBS = %(I1).  There must be at least one observation.");
    }
    int icode = 2;
    CHKIRG(iopt, "IOPT", 0, 3, icode);
    if (iopt == 1 && xhi <= xlo) {
        MSGDBL(1, xlo);
        MSGDBL(2, xhi);
        E1MES(5, 3, "XLO = %(D1) and XHI = %(D2).  The lower bound must be less than the upper bound.");
    }
    if (iopt == 2 || iopt == 3) {
        const int top = iopt == 2 ? k - 1 : k;
        for (int i = 2; i <= top; ++i) {
            const double di = div[static_cast<std::size_t>(i - 1)];
            const double dp = div[static_cast<std::size_t>(i - 2)];
            if (di <= dp) {
                MSGINT(1, i);
                MSGINT(2, i - 1);
                MSGDBL(1, di);
                MSGDBL(2, dp);
                E1MES(5, 4,
                      "DIV(%(I1)) = %(D1) and DIV(%(I2)) = %(D2).  The elements of DIV must be  monotonically "
                      "increasing.");
            }
        }
    }
    if (iopt == 1 && k <= 2) {
        MSGINT(1, k);
        E1MES(5, 5, "K = %(I1).  Since IOPT = 1, there must be at least three intervals.");
    } else if (iopt == 2 && k < 2) {
        MSGINT(1, k);
        E1MES(5, 6, "K = %(I1).  Since IOPT = 2, there must be at least two intervals.");
    } else if (k < 1) {
        MSGINT(1, k);
        E1MES(5, 7, "K = %(I1).  There must be at least one interval.");
    }
    if (nobs >= 1 && std::any_of(x.begin(), x.begin() + nobs, [](double v) { return ISDNAN(v); }))
        E1MES(5, 8, "X contains missing values.  Missing values are not allowed.");
    if (N1RCD(0) != 0) {
        return;
    }

    auto t = [&](int i) -> double& { return table[static_cast<std::size_t>(i - 1)]; };
    auto dv = [&](int i) -> double& { return div[static_cast<std::size_t>(i - 1)]; };
    const std::span<const double> xs = x.first(static_cast<std::size_t>(nobs));
    std::fill(table.begin(), table.begin() + k, 0.0);

    switch (iopt) {
        case 0: {
            const double small = *std::min_element(xs.begin(), xs.end());
            const double large = *std::max_element(xs.begin(), xs.end());
            const double w = (large - small) / k;
            const double tol = 10.0 * DMACH(4) * w;
            for (const double v : xs) {
                const double d = v - small;
                int cls = k;
                if (d - w <= tol) {
                    cls = 1;
                } else {
                    for (int i = 2; i <= k - 1; ++i)
                        if ((i - 1) * w < d && d - i * w <= tol) {
                            cls = i;
                            break;
                        }
                }
                t(cls) += 1.0;
            }
            for (int i = 1; i <= k; ++i) dv(i) = small + (i - 0.5) * w;
            break;
        }
        case 1: {
            const double w = (xhi - xlo) / (k - 2);
            for (const double v : xs) {
                if (v <= xlo) {
                    t(1) += 1.0;
                } else if (v > xhi) {
                    t(k) += 1.0;
                } else {
                    // A value inside the bounds that rounding leaves beyond
                    // the last inner class boundary belongs to that class.
                    int cls = k - 1;
                    const double d = v - xlo;
                    for (int j = 0; j <= k - 3; ++j)
                        if (j * w < d && d <= (j + 1) * w) {
                            cls = j + 2;
                            break;
                        }
                    t(cls) += 1.0;
                }
            }
            dv(1) = xlo - w / 2.0;
            for (int i = 2; i <= k - 1; ++i) dv(i) = xlo + (i - 1.5) * w;
            dv(k) = xhi + w / 2.0;
            break;
        }
        case 2: {
            for (const double v : xs) {
                if (v <= dv(1)) t(1) += 1.0;
                if (v > dv(k - 1)) t(k) += 1.0;
            }
            for (int i = 2; i <= k - 1; ++i)
                for (const double v : xs)
                    if (dv(i - 1) < v && v <= dv(i)) t(i) += 1.0;
            break;
        }
        default: {
            for (const double v : xs)
                for (int i = 1; i <= k; ++i)
                    if (std::fabs(v - dv(i)) <= clhw) {
                        t(i) += 1.0;
                        break;
                    }
            break;
        }
    }
}

}  // namespace orv::num2
