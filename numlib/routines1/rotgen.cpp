#include "numlib/routines1/rotgen.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace orv::num1 {

namespace {

// Tangents below this magnitude give c = 1 exactly (sqrt(MCEPS)); above the
// large bound c = 1/|t| and s = +-1 (1/sqrt(MCEPS)).
constexpr double kSmallTangent = 1.05367121277235e-08;
constexpr double kLargeTangent = 94906265.6242516;

char option(std::string_view text) {
    if (text.empty()) return ' ';
    const char c = text.front();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

double SAFDIV(double a, double b, bool& fail) {
    if (a == 0.0) {
        fail = b == 0.0;
        return 0.0;
    }
    if (b == 0.0) {
        fail = true;
        return std::copysign(FLMAX, a);
    }
    const double absa = std::fabs(a);
    const double absb = std::fabs(b);
    if (absb >= 1.0) {
        fail = false;
        return absa < absb * FLMIN ? 0.0 : a / b;
    }
    if (absa <= absb * FLMAX) {
        fail = false;
        return a / b;
    }
    fail = true;
    return std::signbit(a) != std::signbit(b) ? -FLMAX : FLMAX;
}

void ROTCS(double tang, double& c, double& s) {
    const double t = std::fabs(tang);
    if (t < kSmallTangent) {
        c = 1.0;
        s = tang;
    } else if (t > kLargeTangent) {
        c = 1.0 / t;
        s = std::copysign(1.0, tang);
    } else {
        c = 1.0 / std::sqrt(1.0 + tang * tang);
        s = c * tang;
    }
}

void ROTGEN(double& a, double& b, double& c, double& s) {
    if (b == 0.0) {
        c = 1.0;
        s = 0.0;
        return;
    }
    bool fail = false;
    const double t = SAFDIV(b, a, fail);  // an out-of-range tangent saturates; ROTCS copes
    ROTCS(t, c, s);
    a = c * a + s * b;
    b = t;
}

void ROTSEQ(std::string_view pivot, std::string_view direct, int n, double& alpha, std::span<double> x, int incx,
            std::span<double> c, std::span<double> s) {
    if (option(pivot) != 'V' || option(direct) != 'B')
        throw std::invalid_argument("ROTSEQ: only PIVOT \"V\" with DIRECT \"B\" is provided");
    if (n <= 0) return;
    if (incx < 1) throw std::invalid_argument("ROTSEQ: INCX must be positive");
    const std::size_t nn = static_cast<std::size_t>(n);
    if ((nn - 1) * static_cast<std::size_t>(incx) + 1 > x.size())
        throw std::length_error("ROTSEQ: X is too small for N elements");
    if (c.size() < nn) throw std::length_error("ROTSEQ: C is too small for N rotations");
    if (s.size() < nn) throw std::length_error("ROTSEQ: S is too small for N rotations");
    auto xi = [&](int i) -> double& { return x[static_cast<std::size_t>(i - 1) * incx]; };
    for (int i = n - 1; i >= 1; --i) ROTGEN(xi(i), xi(i + 1), c[i], s[i]);
    ROTGEN(alpha, xi(1), c[0], s[0]);
}

}  // namespace orv::num1
