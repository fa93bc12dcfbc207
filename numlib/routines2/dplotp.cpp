#include "numlib/routines2/dplotp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/dfmt90.h"
#include "numlib/routines2/dssfmt.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"

namespace orv::num2 {

namespace {

// A position far off every page: where a value that is not a number goes.
constexpr long long kOffPage = LLONG_MIN / 4;

// NINT (half away from zero), saturated; NaN goes off the page.
long long nint(double v) {
    if (std::isnan(v)) return kOffPage;
    const double r = std::round(v);
    if (r >= 1.0e15) return 1000000000000000LL;
    if (r <= -1.0e15) return -1000000000000000LL;
    return static_cast<long long>(r);
}

// INT (toward zero), saturated; NaN gives 0.
long long trunc_int(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 1.0e15) return 1000000000000000LL;
    if (v <= -1.0e15) return -1000000000000000LL;
    return static_cast<long long>(v);
}

int trimmed_length(std::string_view text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? 0 : static_cast<int>(last + 1);
}

// The ticks of one axis and the grid built on them.
struct Axis {
    std::vector<double> ticks;  // x: left to right; y: top to bottom
    double step = 0.0;
    long long per_step = 0;  // columns (rows) per step
    long long first = 1;     // column (row) of tick 1
    double tol = 0.0;
};

// Column of X: ticks rising from the left.
long long column_of(const Axis& ax, double v, double tol) {
    const std::size_t n = ax.ticks.size();
    std::size_t i = 0;
    while (i < n && !(v < ax.ticks[i] || std::fabs(v - ax.ticks[i]) < tol)) ++i;
    const long long k = ax.per_step;
    if (i < n && std::fabs(v - ax.ticks[i]) < tol) return ax.first + static_cast<long long>(i) * k;
    if (i == 0) return ax.first - nint(static_cast<double>(k) * (ax.ticks[0] - v) / ax.step);
    return ax.first + static_cast<long long>(i - 1) * k +
           nint(static_cast<double>(k) * (v - ax.ticks[i - 1]) / ax.step);
}

// Row of Y: ticks falling from the top.
long long row_of(const Axis& ay, double v, double tol) {
    const std::size_t n = ay.ticks.size();
    std::size_t i = 0;
    while (i < n && !(ay.ticks[i] < v || std::fabs(v - ay.ticks[i]) < tol)) ++i;
    const long long k = ay.per_step;
    if (i < n && std::fabs(v - ay.ticks[i]) < tol) return ay.first + static_cast<long long>(i) * k;
    if (i == 0) return ay.first - nint(static_cast<double>(k) * (v - ay.ticks[0]) / ay.step);
    return ay.first + static_cast<long long>(i - 1) * k +
           nint(static_cast<double>(k) * (ay.ticks[i - 1] - v) / ay.step);
}

void write_text(int unit, const std::string& text) {
    static const rt::Format f = rt::parse_format("(A)");
    rt::write(unit, f, text);
}

void raise_value(int code, int type, int value, std::string_view text) {
    MSGINT(1, value);
    E1MES(type, code, text);
}

// The length of TEXT without trailing blanks, cut to ROOM with the warning
// CODE when it is longer.
int title_length(std::string_view text, int room, int code, std::string_view warning) {
    const int length = trimmed_length(text);
    if (length <= room) return length;
    MSGINT(1, length);
    MSGINT(2, room);
    E1MES(3, code, warning);
    return room;
}

// TEXT's first LENGTH characters centred over a plot WIDTH columns wide.
void write_centred(int unit, std::string_view text, int length, int width) {
    write_text(unit, " " + std::string(static_cast<std::size_t>(std::max(0, width / 2 - length / 2 + 13)), ' ') +
                         std::string(text.substr(0, static_cast<std::size_t>(length))));
}

// The page checks, codes 1 to 7: the number of functions to plot, 0 when
// the routine gives up.
int checked_functions(int pw, int pl, int ndata, int nfun, int lda, int inc) {
    if (pw < 40 || pw > 132)
        raise_value(1, 5, pw,
                    "Page width = %(I1).  Page width must be between 40 and 132.  Call routine PGOPT to set the "
                    "page width.");
    if (pl < 20 || pl > 120)
        raise_value(2, 5, pl,
                    "Page length = %(I1).  Page length must be between 20 and 120.  Call routine PGOPT to set "
                    "the page length.");
    if (ndata < 1)
        raise_value(3, 5, ndata, "NDATA = %(I1).  Length of the X vector (NDATA) must be greater than zero.");
    if (nfun < 1)
        raise_value(4, 5, nfun,
                    "NFUN = %(I1).  Number of functions to be plotted (NFUN) must be greater than zero and less "
                    "than eleven.");
    if (lda < 1)
        raise_value(5, 5, lda,
                    "LDA = %(I1).  Row dimension (LDA) of matrix of dependent variable values (A) must be "
                    "greater than zero.");
    if (inc < 1)
        raise_value(6, 5, inc,
                    "INC = %(I1).  Displacement between elements of the X vector (INC) must be greater than "
                    "zero.");
    if (N1RCD(0) != 0) return 0;
    if (nfun <= 10) return nfun;
    raise_value(7, 3, nfun,
                "NFUN = %(I1).  Number of functions to be plotted (NFUN) must be greater than zero and less "
                "than eleven.  Only the first ten functions are plotted.");
    return 10;
}

// The points k = 1..COUNT at offsets (k-1)*INC of X and of each column of A.
struct Points {
    std::span<const double> xs, as;
    int lda, inc, functions;
    long long count;
    double x(long long k) const { return xs[static_cast<std::size_t>((k - 1) * inc)]; }
    double a(long long k, int j) const {
        return as[static_cast<std::size_t>((k - 1) * inc + static_cast<long long>(j - 1) * lda)];
    }
};

// The scale of one axis: the range LO..HI, or when LO is not below HI that
// of the COUNT data values VALUE(0..COUNT-1) (moved 1.0 apart each way when
// they are all equal); DSSFMT's TICKS ticks, FIRST and STEP apart, on it;
// and the range widened to the ticks.  Empty after an error of DSSFMT.
struct Scale {
    double min, max, first, step;
    int ticks;
};

template <typename Value>
std::optional<Scale> axis_scale(double lo, double hi, long long count, Value value, int ticks) {
    Scale s{lo, hi, 0.0, 0.0, 0};
    if (!(lo < hi)) {
        s.min = s.max = value(0);
        for (long long i = 1; i < count; ++i) {
            s.min = std::min(s.min, value(i));
            s.max = std::max(s.max, value(i));
        }
        if (s.min == s.max) {
            s.min -= 1.0;
            s.max += 1.0;
        }
    }
    int ndec = 0;
    DSSFMT(s.min, s.max, ticks, 1, s.first, s.step, s.ticks, ndec);
    if (N1RCD(1) != 0) return std::nullopt;
    s.min = std::min(s.min, s.first);
    s.max = std::max(s.max, s.first + (s.ticks - 1) * s.step);
    return s;
}

// The x axis of scale S: ticks rising from the first by repeated addition
// of the step, tolerance the step times E.
Axis rising_axis(const Scale& s, double e) {
    Axis axis;
    axis.step = s.step;
    axis.ticks.push_back(s.first);
    for (int i = 1; i < s.ticks; ++i) axis.ticks.push_back(axis.ticks.back() + axis.step);
    axis.tol = axis.step * e;
    return axis;
}

// The y axis of scale S: ticks stored from the top, each the one above
// less the step, tolerance E.
Axis falling_axis(const Scale& s, double e) {
    Axis axis;
    axis.step = s.step;
    axis.ticks.push_back(s.first + (s.ticks - 1) * axis.step);
    for (int i = 1; i < s.ticks; ++i) axis.ticks.push_back(axis.ticks.back() - axis.step);
    axis.tol = e;
    return axis;
}

// The grid of AXIS over ROOM columns (rows) for the range of S: the
// columns per step and the column of tick 1, D (within the axis tolerance
// of 0, or below it, counting as 0) past the range's start.
void place_ticks(Axis& axis, const Scale& s, int room, double d) {
    axis.per_step = trunc_int(room * axis.step / (s.max - s.min));
    if (d < 0.0 || std::fabs(d) <= axis.tol) d = 0.0;
    axis.first = nint(static_cast<double>(axis.per_step) * d / axis.step + 1.0);
}

// The last column (row) of the plot along AXIS, BEYOND past its last tick.
long long plot_extent(const Axis& axis, double beyond) {
    return axis.first + static_cast<long long>(axis.ticks.size() - 1) * axis.per_step +
           nint(static_cast<double>(axis.per_step) * beyond / axis.step);
}

// The plot area: its axes, its size and its zero lines.
struct Frame {
    Axis x, y;
    int width = 0, height = 0;
    long long zero_col = 0, zero_row = 0;
};

// The "1" record and the title centred over the plot.
void write_head(int nout, std::string_view title, int width) {
    write_text(nout, "1");
    const int lt = title_length(title, width, 8,
                                "Length of TITLE = %(I1).  The width of the plot is %(I2).  Title is too long and "
                                "some characters have been truncated.");
    if (lt < 1) {
        write_text(nout, " ");
    } else {
        write_centred(nout, title, lt, width);
        write_text(nout, "");
        write_text(nout, "");
    }
}

// The y title down the left margin and the rows of the plot, each with its
// frame, zero lines, points and y scale value.
void write_rows(int nout, const Frame& f, const Points& pts, std::string_view symbol, std::string_view ytitle,
                const std::string& ydesc) {
    const int ly = title_length(ytitle, f.height, 9,
                                "Length of YTITLE = %(I1).  The length of the plot is %(I2).   Y title is too long "
                                "and some characters have been truncated.");
    const int ys = f.height / 2 - ly / 2 + 1;
    const Axis& ax = f.x;
    const Axis& ay = f.y;
    const int nx = static_cast<int>(ax.ticks.size()), ny = static_cast<int>(ay.ticks.size());
    const int nf = pts.functions;
    const long long npts = pts.count;

    // Column of every point, row of every value.
    std::vector<long long> cols(static_cast<std::size_t>(npts));
    std::vector<long long> rows(static_cast<std::size_t>(npts) * static_cast<std::size_t>(nf));
    for (long long k = 1; k <= npts; ++k) {
        cols[static_cast<std::size_t>(k - 1)] = column_of(ax, pts.x(k), ax.tol);
        for (int j = 1; j <= nf; ++j)
            rows[static_cast<std::size_t>((k - 1) * nf + (j - 1))] = row_of(ay, pts.a(k, j), ay.tol);
    }
    auto sym = [&](int j) {
        return static_cast<std::size_t>(j) <= symbol.size() ? symbol[static_cast<std::size_t>(j - 1)] : ' ';
    };

    static const rt::Format plain = rt::parse_format("(14X,A)");
    static const rt::Format labelled = rt::parse_format("(3X,A,1X,A)");
    static const rt::Format titled = rt::parse_format("(1X,A1,12X,A)");
    static const rt::Format both = rt::parse_format("(1X,A1,1X,A,1X,A)");
    const int width = f.width, height = f.height;
    for (int r = 1; r <= height; ++r) {
        std::string line(static_cast<std::size_t>(width), ' ');
        auto cell = [&](long long c) -> char& { return line[static_cast<std::size_t>(c - 1)]; };
        // Index of the y tick on this row, -1 for none.
        int tick = -1;
        for (int i = 0; i < ny && tick < 0; ++i)
            if (r == ay.first + i * ay.per_step) tick = i;
        if (r == 1 || r == height) {
            std::fill(line.begin(), line.end(), ':');
            for (int i = 0; i < nx; ++i) {
                const long long c = ax.first + i * ax.per_step;
                if (c >= 1 && c <= width) cell(c) = '+';
            }
        } else {
            cell(1) = cell(width) = tick >= 0 ? '+' : '.';
            if (f.zero_col > 1 && f.zero_col < width) cell(f.zero_col) = 'I';
        }
        if (f.zero_row > 1 && f.zero_row < height && r == f.zero_row)
            for (int c = 2; c < width; ++c) cell(c) = '-';
        for (long long k = 1; k <= npts; ++k) {
            const long long c = cols[static_cast<std::size_t>(k - 1)];
            if (c < 1 || c > width) continue;
            for (int j = 1; j <= nf; ++j) {
                if (rows[static_cast<std::size_t>((k - 1) * nf + (j - 1))] != r) continue;
                char& here = cell(c);
                if (j == 1) {
                    here = sym(1);
                } else if (here != 'M') {
                    bool earlier = false;
                    for (int i = 1; i < j && !earlier; ++i) earlier = here == sym(i);
                    here = earlier && here != sym(j) ? 'M' : sym(j);
                }
            }
        }
        const bool has_title = ly >= 1 && r >= ys && r <= ys + ly - 1;
        const std::string_view tchar = has_title ? ytitle.substr(static_cast<std::size_t>(r - ys), 1) : "";
        if (tick >= 0) {
            const std::string label = FMTVAL(ay.ticks[static_cast<std::size_t>(tick)], ydesc).substr(0, 10);
            if (has_title)
                rt::write(nout, both, tchar, label, line);
            else
                rt::write(nout, labelled, label, line);
        } else if (has_title) {
            rt::write(nout, titled, tchar, line);
        } else {
            rt::write(nout, plain, line);
        }
    }
}

// The x scale values, each centred under its tick column; the first may
// reach into the left margin.  False after an error of DF1T90.
bool write_x_scale(int nout, const Axis& ax) {
    const int nx = static_cast<int>(ax.ticks.size());
    const std::string xdesc = DF1T90(nx, ax.ticks, 10);
    if (N1RCD(1) != 0) return false;
    std::string scale;
    long long indent = 13, shift = 0, used = 0;
    for (int i = 0; i < nx; ++i) {
        const long long ci = ax.first + i * ax.per_step;
        const std::string text = FMTVAL(ax.ticks[static_cast<std::size_t>(i)], xdesc);
        const std::size_t p = text.find_first_not_of(' ');
        if (p == std::string::npos) continue;
        const std::string value = text.substr(p, static_cast<std::size_t>(trimmed_length(text)) - p);
        const long long n = static_cast<long long>(value.size());
        const long long h = n / 2;
        if (ci - h < 1) {
            indent -= h;
            shift = h;
        }
        const long long start = std::max(1LL, ci - h + shift);
        if (scale.size() < static_cast<std::size_t>(start + n - 1))
            scale.resize(static_cast<std::size_t>(start + n - 1), ' ');
        scale.replace(static_cast<std::size_t>(start - 1), value.size(), value);
        used = start + n - 1;
    }
    write_text(nout, " " + std::string(static_cast<std::size_t>(std::max(0LL, indent)), ' ') +
                         scale.substr(0, static_cast<std::size_t>(used)));
    return true;
}

// The x title centred under the plot, after two empty records; nothing for
// a blank one.
void write_x_title(int nout, std::string_view xtitle, int width) {
    const int lx = title_length(xtitle, width, 10,
                                "Length of XTITLE = %(I1).  The width of the plot is %(I2).  X title is too long "
                                "and some characters have been truncated.");
    if (lx >= 1) {
        write_text(nout, "");
        write_text(nout, "");
        write_centred(nout, xtitle, lx, width);
    }
}

}  // namespace

void DPLOTP(int ndata, int nfun, std::span<const double> x, std::span<const double> a, int lda, int inc,
            std::span<const double> range, std::string_view symbol, std::string_view xtitle,
            std::string_view ytitle, std::string_view title) {
    if (range.size() < 4) throw std::length_error("DPLOTP: RANGE must hold 4 values");
    ErrorLevel frame("DPLOTP");
    int nout = 0, pw = 0, pl = 0;
    UMACH(2, nout);
    PGOPT(1, pw);
    PGOPT(2, pl);
    const int nf = checked_functions(pw, pl, ndata, nfun, lda, inc);
    if (nf == 0) {
        return;
    }

    const long long npts = (static_cast<long long>(ndata) - 1) / inc + 1;
    const long long last = (npts - 1) * inc;  // 0-based offset of the last point
    if (x.size() <= static_cast<std::size_t>(last) ||
        a.size() <= static_cast<std::size_t>(last + static_cast<long long>(nf - 1) * lda)) {
        frame.pop();
        throw std::length_error("DPLOTP: X or A is shorter than NDATA, NFUN, LDA and INC require");
    }
    const Points pts{x, a, lda, inc, nf, npts};
    const double e = 10.0 * DMACH(4);

    // x ticks rising from the left, y ticks stored from the top.
    const auto xs =
        axis_scale(range[0], range[1], npts, [&](long long i) { return pts.x(i + 1); }, (pw - 20) / 15 + 1);
    if (!xs) {
        return;
    }
    Frame f;
    f.x = rising_axis(*xs, e);

    const auto ys = axis_scale(
        range[2], range[3], npts * nf, [&](long long i) { return pts.a(i / nf + 1, static_cast<int>(i % nf) + 1); },
        (pl - 7) / 5 + 1);
    if (!ys) {
        return;
    }
    f.y = falling_axis(*ys, e);

    const std::string ydesc = DF1T90(ys->ticks, f.y.ticks, 10);
    if (N1RCD(1) != 0) {
        return;
    }

    // Grid: column 1 stands for XMIN, row 1 for YMAX.
    place_ticks(f.x, *xs, pw - 20, f.x.ticks[0] - xs->min);
    place_ticks(f.y, *ys, pl - 8, ys->max - f.y.ticks[0]);
    f.zero_col = column_of(f.x, 0.0, e);
    f.zero_row = row_of(f.y, 0.0, e);

    // Plot size.  Data that are numbers always give a plot inside the page;
    // the clamps only keep values that are not numbers from running off it.
    f.width = static_cast<int>(std::clamp<long long>(plot_extent(f.x, xs->max - f.x.ticks.back()), 1, pw));
    f.height = static_cast<int>(std::clamp<long long>(plot_extent(f.y, f.y.ticks.back() - ys->min), 1, pl));

    write_head(nout, title, f.width);
    write_rows(nout, f, pts, symbol, ytitle, ydesc);
    if (!write_x_scale(nout, f.x)) {
        return;
    }
    write_x_title(nout, xtitle, f.width);
}

}  // namespace orv::num2
