#include "numlib/routines1/g01faf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/machine.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace {

// Horner's rule from the highest power down; coefficients from the
// constant term up.
template <std::size_t N>
double horner(const std::array<double, N>& c, double x) {
    double value = c[N - 1];
    for (std::size_t k = N - 1; k-- > 0;) value = value * x + c[k];
    return value;
}

}  // namespace

double G01FAZ(double p, int& ifail) {
    if (!(p > 0.0 && p < 1.0)) {
        ifail = ERREXIT(ifail, 1, "G01FAZ", 0, {});
        return 0.0;
    }
    static constexpr std::array<double, 8> n1{
        1.0, -41.63362762616374, 64.94128979404664, -36.89355386573687, 8.984374887949292, -0.8486205099916682,
        0.01799227452322391, 0.0001243484778425483,
    };
    static constexpr std::array<double, 8> d1{
        1.0, -41.80029429283041, 71.84967217618504, -46.45534714071778, 13.57696314152835, -1.714887182301168,
        0.06929108687616727, 1.5e-09,
    };
    static constexpr std::array<double, 6> n2{
        0.8416212335733377, -6.002063030711376, -0.4722617278101355,
        68.25030402764662,  -96.23966784668191, -10.47655255702662,
    };
    static constexpr std::array<double, 6> d2{
        1.0, -11.37563668160269, 41.33878042998575, -43.59278882675467, -21.25589975172773, 25.0861060307781,
    };
    static constexpr std::array<double, 7> n3{
        -3.012472607913056, 2.982419254309647,    22.70676420727861,     7.670763790822552,
        0.5519186629029667, 0.007985443046076538, 4.150184151574655e-06,
    };
    static constexpr std::array<double, 7> d3{
        1.0, 1.239758125817922, -12.05350980555889, -12.02359058219926, -2.373035796200643, -0.1193440282031508,
        -0.001216250189896074,
    };
    const double q = p - 0.5;
    const double s = q < 0.0 ? -1.0 : 1.0;
    const double aq = std::abs(q);
    double x;
    if (aq <= 0.3) {
        const double z = std::sqrt(2.0 * MCPI()) * q;
        const double w = z * z;
        x = z * horner(n1, w) / horner(d1, w);
    } else if (aq <= 0.42) {
        const double t = aq - 0.3;
        x = s * horner(n2, t) / horner(d2, t);
    } else {
        const double m = p < 1.0 - p ? p : 1.0 - p;
        const double r = std::sqrt(-2.0 * std::log(m));
        x = s * (r + horner(n3, r) / horner(d3, r));
    }
    ifail = 0;
    return x;
}

double G01FAF(std::string_view tail, double p, int& ifail) {
    static const rt::Format prob = rt::parse_format("(A,D13.5)");
    static const rt::Format letter = rt::parse_format("(A,A1)");
    const int entry = ifail;
    int ierror = 0;
    std::vector<std::string> rec(1);  // the one message record
    double result = 0.0;
    const char code = tail.empty() ? ' ' : tail.front();
    // The kernel's argument for each tail; a negated kernel deviate for the
    // upper tails.
    double arg = p;
    double sign = 1.0;
    if (!(p > 0.0 && p < 1.0)) {
        ierror = 2;
        rt::write_internal(rec, 80, prob, " ** On entry, P.le.0.0 or P.ge.1.0 : P = ", p);
    } else if (code == 'L' || code == 'l') {
        // the kernel's deviate as it is
    } else if (code == 'U' || code == 'u') {
        sign = -1.0;
    } else if (code == 'C' || code == 'c') {
        // For P within half an ulp of 1, 0.5 P + 0.5 rounds to 1 itself; the
        // same deviate then comes from the other tail, where 1 - P is exact.
        arg = 0.5 * p + 0.5;
        if (arg >= 1.0) {
            arg = 0.5 * (1.0 - p);
            sign = -1.0;
        }
    } else if (code == 'S' || code == 's') {
        arg = 0.5 * p;
        sign = -1.0;
    } else {
        ierror = 1;
        rt::write_internal(rec, 80, letter, " ** On entry, TAIL is an invalid character : TAIL = ",
                           std::string(1, code));
    }
    if (ierror == 0) {
        // The kernel reports its own failure (only 0.5 P underflowing to 0
        // for the least subnormal P reaches it); that failure stands.
        int kernel = entry;
        result = sign * G01FAZ(arg, kernel);
        if (kernel != 0) {
            ifail = kernel;
            return 0.0;
        }
    }
    ifail = ERREXIT(entry, ierror, "G01FAF", ierror == 0 ? 0 : 1, rec);
    return result;
}

}  // namespace orv::num1
