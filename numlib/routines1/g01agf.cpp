#include "numlib/routines1/g01agf.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01caf.h"
#include "numlib/routines1/m01daf.h"
#include "numlib/routines1/m01zaf.h"
#include "numlib/routines1/machine.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace {

// Records are composed in this width, or wider when a row or a label record
// needs more.
constexpr std::size_t kRecordLength = 135;

// Cell codes index this text from 1: "." and "+" of the frame, a blank,
// then the count of points.
constexpr std::string_view kSymbols = ".+ 123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ*";
constexpr int kDot = 1, kPlus = 2, kBlank = 3, kMaxCode = 39;

// Whole-number parts of the scale arithmetic as integers.  Data the scale
// cannot hold (NaN, infinities, values whose spread vanishes against their
// size) give NaN or huge values here; these are mapped into a range where
// the integer arithmetic cannot overflow, so such a plot is drawn
// meaninglessly but safely.
constexpr double kIntLimit = 1.0e9;
std::int64_t whole(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<std::int64_t>(std::clamp(std::trunc(v), -kIntLimit, kIntLimit));
}

// 10 to the power k, exact for 0 <= k <= 22; a negative power is the
// reciprocal of the positive one.
double power_of_ten(std::int64_t k) {
    const std::int64_t n = std::min<std::int64_t>(k < 0 ? -k : k, 400);
    double result = 1.0, base = 10.0;
    for (std::int64_t e = n; e > 0; e >>= 1) {
        if (e & 1) result *= base;
        base *= base;
    }
    return k < 0 ? 1.0 / result : result;
}

double sign_half(double v) { return v < 0 ? -0.5 : 0.5; }

// Fortran MOD of integers with the result taken in 0..4.
int mod5(std::int64_t v) { return static_cast<int>(((v % 5) + 5) % 5); }

struct Axis {
    double start = 0, step = 0;
    std::int64_t nstep = 0;
    int ndigl = 0, ndec = 0;
    std::int64_t offset = 0;  // grid position p has the value (p - offset) x step
};

// A scale of NSTEP steps from START covering VMIN..VMAX, with steps of 1,
// 1.5, 2, 2.5, 4, 5, 6, 7.5 or 8 times a power of ten.
void AXSCAL(double vmin, double vmax, std::int64_t nstep, double& start, double& step, int& ndigl, int& ndec) {
    static const double multipliers[] = {0.1, 0.15, 0.2, 0.25, 0.4, 0.5, 0.6, 0.75, 0.8};
    const double n = static_cast<double>(nstep);
    const double widen = 1.0 + 2.0 * MCEPS();
    double d = (vmax - vmin) / (n + 0.1);
    for (;;) {
        double p = power_of_ten(whole(std::log10(d) - 2.0));
        double m = multipliers[8];
        bool found = false;
        for (int tries = 0; tries <= 11 && !found; ++tries) {
            for (double candidate : multipliers)
                if (candidate * p >= d) {
                    m = candidate;
                    found = true;
                    break;
                }
            if (!found && tries < 11) p *= 10.0;
        }
        step = m * p;
        start = std::trunc(vmin * widen / step) * step;
        // The second test stops a step that is lost against the size of
        // START.
        while (vmin < start - 0.05 * step && start - step < start) start -= step;
        if (!(start + step * (n + 0.04) < vmax)) break;
        d *= 1.05;
    }
    const double top = start + step * (n + 0.04);
    const double e = std::abs(top) >= std::abs(start) ? top : start;
    ndigl = static_cast<int>(std::max<std::int64_t>(0, whole(std::log10(std::abs(e)) + 1.0)));
    ndec = static_cast<int>(std::max<std::int64_t>(0, -whole(std::log10(step) - 2.5)));
    if (ndigl + static_cast<std::int64_t>(ndec) < 10) {
        // The start with the fewest decimals that still covers VMAX.  A
        // negative start loses one unit of the kept decimal before it is
        // cut, even when it is already exact.
        double t = start;
        for (int i = 1; i <= 10; ++i) {
            if (t + step * (n + 0.04) < vmax) break;
            start = t;
            const double scale = power_of_ten(ndec - i + 1);
            double v = t * scale;
            if (v < 0) v -= 1.0;
            t = std::trunc(v) / scale;
        }
    }
}

// Adds a step below the scale when the smallest value would round onto the
// bottom border.
void step_below(Axis& axis, double vmin) {
    const double c1 = 1.0 + 2.0 * MCEPS(), c2 = 1.0 - 2.0 * MCEPS();
    double k = std::trunc(axis.start / axis.step * c1);
    if (axis.start < 0 && axis.start * c2 < axis.step * k) k -= 1.0;
    if ((k + 0.5) * axis.step >= vmin) {
        ++axis.nstep;
        axis.start -= axis.step;
    }
}

// Moves the start onto a multiple of the step, so that zero is a grid
// position, and finds that position's offset.
void align_on_zero(Axis& axis) {
    const double c1 = 1.0 + 2.0 * MCEPS();
    if (axis.start != 0) {
        const double q = axis.start / axis.step;
        if (std::abs(q - std::trunc(q * c1 + sign_half(axis.start))) >= 5e-5) {
            double r = std::fmod(axis.start, axis.step);
            if (r < 0) r += axis.step;
            ++axis.nstep;
            axis.start -= r;
        }
    }
    axis.offset = axis.start == 0 ? 0 : -whole(axis.start / axis.step * c1 + sign_half(axis.start));
}

// Grid index of value V on an axis, 0 counting as 1.
std::int64_t grid_index(double v, const Axis& axis) {
    const double c1 = 1.0 + 2.0 * MCEPS();
    return std::max<std::int64_t>(1, whole((v - axis.start) / axis.step * c1 + 0.5));
}

rt::Format runtime_format(const rt::Format& builder, auto... parts) {
    return rt::parse_format(rt::format_records(builder, parts...));
}

// Writes the plot on the advisory unit.
void PLTWRT(std::span<const double> x, std::span<const double> y, Axis& xa, Axis& ya, int n,
            std::span<const int> isort) {
    int nout = 0;
    ADVUNIT(0, nout);
    align_on_zero(xa);
    align_on_zero(ya);

    // Frame line of the top and bottom borders, with its tick values.
    const int nx = static_cast<int>(xa.nstep);
    const int ncx = nx + 2;
    std::vector<std::string> frame(static_cast<std::size_t>(ncx));
    std::vector<double> ticks;
    for (int p = 0; p < ncx; ++p) {
        const bool tick = (p - xa.offset) % 5 == 0;
        frame[static_cast<std::size_t>(p)] = std::string(1, kSymbols[tick ? kPlus - 1 : kDot - 1]);
        if (tick) ticks.push_back(xa.start + p * xa.step);
    }

    static const rt::Format labelled_f = rt::parse_format("('(1X,F11.',I1,',',I3.3,'A1)')");
    static const rt::Format labelled_e = rt::parse_format("('(1X,E11.3,',I3.3,'A1)')");
    static const rt::Format unlabelled_builder = rt::parse_format("('(12X,',I3.3,'A1)')");
    const rt::Format labelled = ya.ndigl + 2 + ya.ndec <= 11 ? runtime_format(labelled_f, ya.ndec, ncx)
                                                               : runtime_format(labelled_e, ncx);
    const rt::Format unlabelled = runtime_format(unlabelled_builder, ncx);

    std::vector<std::string> record(1);
    const std::size_t row_length = std::max<std::size_t>(kRecordLength, 12 + static_cast<std::size_t>(ncx));
    auto write_row = [&](std::int64_t r, const std::vector<std::string>& cells) {
        if ((r - ya.offset) % 5 == 0)
            rt::write_internal(record, row_length, labelled, ya.start + static_cast<double>(r) * ya.step, cells);
        else
            rt::write_internal(record, row_length, unlabelled, cells);
        WRTREC(nout, record[0]);
    };

    write_row(ya.nstep + 1, frame);

    std::vector<int> code(static_cast<std::size_t>(nx) + 1);
    std::vector<std::string> cells(static_cast<std::size_t>(ncx));
    std::size_t k = 0;  // next point, in order of descending Y
    for (std::int64_t r = ya.nstep; r >= 1; --r) {
        std::fill(code.begin(), code.end(), kBlank);
        for (; k < static_cast<std::size_t>(n); ++k) {
            if (grid_index(y[k], ya) < r) break;
            const double xv = x[static_cast<std::size_t>(isort[k] - 1)];
            const auto column = static_cast<std::size_t>(std::min<std::int64_t>(grid_index(xv, xa), nx));
            int& c = code[column];
            c = c < 4 ? 4 : std::min(c + 1, kMaxCode);
        }
        const bool framed = (r - ya.offset) % 5 == 0;
        for (int column = 1; column <= nx; ++column) {
            int& c = code[static_cast<std::size_t>(column)];
            if (c != kBlank) continue;
            if (r == ya.offset)
                c = (column - xa.offset) % 5 == 0 ? kPlus : kDot;
            else if (column == xa.offset)
                c = framed ? kPlus : kDot;
        }
        const std::string edge(1, kSymbols[framed ? kPlus - 1 : kDot - 1]);
        cells.front() = edge;
        cells.back() = edge;
        for (int column = 1; column <= nx; ++column)
            cells[static_cast<std::size_t>(column)] =
                std::string(1, kSymbols[static_cast<std::size_t>(code[static_cast<std::size_t>(column)] - 1)]);
        write_row(r, cells);
    }

    write_row(0, frame);

    // X labels on two staggered records: ticks 1, 3, 5, ... and 2, 4, 6, ...
    const int w = xa.ndigl + 2 + xa.ndec;
    int lead = 11 + mod5(xa.offset);
    if (w <= 9) lead -= xa.ndigl;
    auto label_format = [&](int skip) {
        static const rt::Format f_builder = rt::parse_format("('(',I2.2,'X,28(F',I1,'.',I1,',',I1,'X))')");
        static const rt::Format e_builder = rt::parse_format("('(',I2.2,'X,28(E9.2,1X))')");
        return w <= 9 ? runtime_format(f_builder, skip, w, xa.ndec, 10 - w) : runtime_format(e_builder, skip);
    };
    for (std::size_t first = 0; first < 2; ++first) {
        const int skip = lead + 5 * static_cast<int>(first);
        std::vector<double> values;
        for (std::size_t t = first; t < ticks.size(); t += 2) values.push_back(ticks[t]);
        const std::size_t length =
            std::max<std::size_t>(kRecordLength, static_cast<std::size_t>(skip) + 10 * (values.size() + 1));
        rt::write_internal(record, length, label_format(skip), values);
        WRTREC(nout, record[0]);
    }
}

}  // namespace

void G01AGF(std::span<const double> x, std::span<double> y, int n, std::span<int> isort, int nstepx, int nstepy,
            int& ifail) {
    if (n < 1) {
        ifail = ERREXIT(ifail, 1, "G01AGF", 0, {});
        return;
    }
    const auto need = static_cast<std::size_t>(n);
    if (x.size() < need) throw std::length_error("G01AGF: X holds fewer than N elements");
    if (y.size() < need) throw std::length_error("G01AGF: Y holds fewer than N elements");
    if (isort.size() < need) throw std::length_error("G01AGF: ISORT holds fewer than N elements");

    int status = 0;
    M01DAF(y, 1, n, "D", isort, status);
    status = 0;
    M01CAF(y, 1, n, "D", status);
    status = 0;
    M01ZAF(isort, 1, n, status);

    double ymax = y[0], ymin = y[need - 1];
    double xmin = x[0], xmax = x[0];
    for (std::size_t i = 1; i < need; ++i) {
        xmin = std::min(xmin, x[i]);
        xmax = std::max(xmax, x[i]);
    }
    if (ymax == ymin) {
        ymin -= 1.0;
        ymax += 1.0;
    }
    if (xmax == xmin) {
        xmin -= 1.0;
        xmax += 1.0;
    }

    Axis xa, ya;
    xa.nstep = std::clamp(nstepx, 10, 133);
    ya.nstep = std::max(nstepy, 10);
    AXSCAL(xmin, xmax, xa.nstep, xa.start, xa.step, xa.ndigl, xa.ndec);
    step_below(xa, xmin);
    AXSCAL(ymin, ymax, ya.nstep, ya.start, ya.step, ya.ndigl, ya.ndec);
    step_below(ya, ymin);
    PLTWRT(x, y, xa, ya, n, isort);
    ifail = 0;
}

}  // namespace orv::num1
