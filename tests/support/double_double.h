// Double-double arithmetic for reference values in tests: a value is the
// unevaluated sum hi + lo, exact to about 106 bits.  Needs -ffp-contract=off
// (no fused multiply-add behind our back), which the build sets.
#pragma once

namespace orv::testing {

struct DD {
    double hi = 0.0, lo = 0.0;
};

inline DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

inline DD quick_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

inline void split(double a, double& hi, double& lo) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

inline DD two_prod(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

inline DD operator+(DD x, DD y) {
    DD s = two_sum(x.hi, y.hi);
    return quick_two_sum(s.hi, s.lo + x.lo + y.lo);
}

inline DD operator-(DD x) { return {-x.hi, -x.lo}; }
inline DD operator-(DD x, DD y) { return x + (-y); }

inline DD operator*(DD x, DD y) {
    DD p = two_prod(x.hi, y.hi);
    return quick_two_sum(p.hi, p.lo + (x.hi * y.lo + x.lo * y.hi));
}

inline DD operator/(DD x, DD y) {
    const double q1 = x.hi / y.hi;
    const DD r = x - y * DD{q1, 0.0};
    const double q2 = r.hi / y.hi;
    const DD r2 = r - y * DD{q2, 0.0};
    const double q3 = r2.hi / y.hi;
    return quick_two_sum(q1, q2) + DD{q3, 0.0};
}

inline DD dd(double a) { return {a, 0.0}; }

inline DD sqrt(DD x) {
    if (x.hi <= 0.0) return {};
    const double s = __builtin_sqrt(x.hi);
    // One Newton step: s + (x - s^2) / (2 s).
    const DD e = x - two_prod(s, s);
    return quick_two_sum(s, e.hi / (2.0 * s));
}

}  // namespace orv::testing
