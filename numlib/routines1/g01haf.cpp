#include "numlib/routines1/g01haf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/machine.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace detail {

double bivariate_erfc(double x, int& ifail) {
    ifail = 0;
    if (x >= 26.6) return 0.0;
    if (x <= -6.25) return 2.0;
    // Coefficients of the constant term up.
    static constexpr std::array<double, 23> q{
        0.1455897212750385,     -0.273421931495426,     0.2260080669166197,     -0.1635718955239687,
        0.1026043120322792,     -0.05480232669380236,   0.02414322397093253,    -0.008220621168415435,
        0.001802962431316418,   -2.553523453642242e-05, -0.0001524627476123466, 4.789838226695987e-05,
        3.584014089915968e-06,  -6.182369348098529e-06, 7.47831710178579e-07,   6.575825478226343e-07,
        -1.822565715362025e-07, -7.043998994397452e-08, 3.026547320064576e-08,  7.532536116142436e-09,
        -4.066088879757269e-09, -5.718639670776992e-10, 3.328130055126039e-10,
    };
    const double t = 1.0 - 7.5 / (std::abs(x) + 3.75);
    double poly = q.back();
    for (std::size_t k = q.size() - 1; k-- > 0;) poly = poly * t + q[k];
    const double y = std::exp(-x * x) * poly;
    return x >= 0.0 ? y : 2.0 - y;
}

}  // namespace detail

namespace {

// -1 for a negative sign bit (so -0.0 counts as negative), +1 otherwise.
double sign_of(double z) { return std::signbit(z) ? -1.0 : 1.0; }

// The probability when the corner lies (in effect) on the line of perfect
// correlation's side that leaves no area: |RHO| = 1, an infinite limit, or a
// series term below the smallest normalised number.
double degenerate(double x, double y, double rho) {
    const double s = std::sqrt(0.5);
    int ierr = 0;
    if (rho >= 0.0) return 0.5 * detail::bivariate_erfc(-std::min(x, y) * s, ierr);
    if (x <= -y) return 0.0;
    return 0.5 * (detail::bivariate_erfc(-x * s, ierr) - detail::bivariate_erfc(y * s, ierr));
}

// The probability for |RHO| <= 1.  TAIL_X() and TAIL_Y() give the
// complementary error function of |X| / sqrt 2 and |Y| / sqrt 2, which do
// not depend on RHO, so that a caller with many values of RHO can give them
// ready.
template <typename TailX, typename TailY>
double bivariate(double x, double y, double rho, TailX tail_x, TailY tail_y) {
    const double s = std::sqrt(0.5);
    const double twopi = 2.0 * MCPI();
    int ierr = 0;
    if (rho == 0.0) return 0.25 * detail::bivariate_erfc(-x * s, ierr) * detail::bivariate_erfc(-y * s, ierr);
    if (x == 0.0 && y == 0.0) return std::asin(rho) / twopi + 0.25;
    if (std::isnan(x) || std::isnan(y)) return x + y;

    // Everything below is written with delta = 1 - |RHO| (exact for
    // |RHO| >= 1/2) instead of RHO itself: near |RHO| = 1 the direct forms
    // 1 - RHO^2 and X^2 + Y^2 - 2 RHO X Y cancel to noise, which is exactly
    // where tetrachoric estimates of highly correlated items look.
    const double delta = 1.0 - std::abs(rho);
    const double r = std::sqrt(delta * (1.0 + std::abs(rho)));
    if (r == 0.0 || std::isinf(x) || std::isinf(y)) return degenerate(x, y, rho);

    // X and Y are scaled by a power of two (exactly) so that squares neither
    // overflow nor underflow; only the distance d carries the scale.
    const int k = std::ilogb(std::max(std::abs(x), std::abs(y)));
    const double xs = std::ldexp(x, -k);
    const double ys = std::ldexp(y, -k);
    double q, num1, num2;  // D^2, RHO X - Y and RHO Y - X, all scaled
    if (rho > 0.0) {
        const double diff = xs - ys;
        q = diff * diff + 2.0 * delta * xs * ys;
        num1 = diff - delta * xs;
        num2 = -diff - delta * ys;
    } else {
        const double sum = xs + ys;
        q = sum * sum - 2.0 * delta * xs * ys;
        num1 = -sum + delta * xs;
        num2 = -sum + delta * ys;
    }
    const double dscaled = std::sqrt(q);
    const double dbar = dscaled / r;  // d without the scale
    const double d = std::ldexp(dbar, k);
    const double e = -(d * d) / 2.0;
    static const double lnsafe = std::log(MCSAFE());
    if (e <= lnsafe) return degenerate(x, y, rho);

    const double u = std::abs(xs) / dbar;
    const double v = std::abs(ys) / dbar;
    const double a1 = num1 / dscaled;
    const double a2 = num2 / dscaled;
    const double gx = -sign_of(x);
    const double gy = -sign_of(y);
    const double g1 = sign_of(a1);
    const double g2 = sign_of(a2);
    const double h1 = g1 * gx;
    const double h2 = g2 * gy;
    const double b1 = std::min(std::abs(a1), 1.0);
    const double b2 = std::min(std::abs(a2), 1.0);
    // The angles with cosines b1, b2 and sines u, v: atan2 keeps them
    // accurate where acos of a cosine near 1 would not.
    const double theta1 = std::atan2(u, b1);
    const double theta2 = std::atan2(v, b2);

    static constexpr std::array<double, 17> c{
        0.0,
        0.0,
        1.2533139981133488,
        -0.9999965103691757,
        0.6266247471388643,
        -0.3331772955807063,
        0.1562074741613398,
        -0.06578280633906367,
        0.02491553885120917,
        -0.008348891468410323,
        0.0023979262116288155,
        -0.0005665277298906061,
        0.00010508139384820294,
        -1.4495937454221354e-05,
        1.3832041191137141e-06,
        -8.083999468696517e-08,
        2.168140662177079e-09,
    };
    std::array<double, 17> t{};
    t[1] = h1 * theta1 + h2 * theta2;
    t[2] = h1 * u + h2 * v;
    double w1 = h1 * u;
    double w2 = h2 * v;
    double dp = d;
    double sum = t[1] - c[2] * t[2] * d;
    for (int n = 3; n <= 16; ++n) {
        w1 *= b1;
        w2 *= b2;
        dp *= d;
        t[n] = ((n - 2) * t[n - 2] + w1 + w2) / (n - 1);
        sum -= c[n] * t[n] * dp;
    }
    double result = std::exp(e) * sum / twopi;
    if (g1 < 0.0) result += 0.5 * gx * tail_x();
    if (g2 < 0.0) result += 0.5 * gy * tail_y();
    if (gx < 0.0 && gy < 0.0) result += 1.0;
    return result;
}

}  // namespace

namespace detail {

double corner_tail(double x) {
    int ierr = 0;
    return bivariate_erfc(std::abs(x) * std::sqrt(0.5), ierr);
}

double bivariate_with_tails(double x, double y, double rho, double tail_x, double tail_y) {
    const double result = bivariate(x, y, rho, [=] { return tail_x; }, [=] { return tail_y; });
    return result < 0.0 ? 0.0 : result;
}

}  // namespace detail

double G01HAF(double x, double y, double rho, int& ifail) {
    if (std::abs(rho) <= 1.0) {
        // The common path builds no message: the routine is called millions
        // of times by the correlation searches.
        const double result =
            bivariate(x, y, rho, [=] { return detail::corner_tail(x); }, [=] { return detail::corner_tail(y); });
        ifail = 0;
        return result < 0.0 ? 0.0 : result;
    }
    static const rt::Format range = rt::parse_format("(1X,A,1P,D13.5)");
    std::vector<std::string> rec(1);  // the one message record
    rt::write_internal(rec, 80, range, "** On entry, RHO.lt.-1.0 .or. RHO.gt.1.0 : RHO = ", rho);
    ifail = ERREXIT(ifail, 1, "G01HAF", 1, rec);
    return 0.0;
}

}  // namespace orv::num1
