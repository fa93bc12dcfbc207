#include "numlib/routines2/dplotp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
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
    if (N1RCD(0) != 0) {
        return;
    }
    int nf = nfun;
    if (nfun > 10) {
        raise_value(7, 3, nfun,
                    "NFUN = %(I1).  Number of functions to be plotted (NFUN) must be greater than zero and less "
                    "than eleven.  Only the first ten functions are plotted.");
        nf = 10;
    }

    // The points k = 1..npts sit at offsets (k-1)*INC of X and of each column.
    const long long npts = (static_cast<long long>(ndata) - 1) / inc + 1;
    const long long last = (npts - 1) * inc;  // 0-based offset of the last point
    if (x.size() <= static_cast<std::size_t>(last) ||
        a.size() <= static_cast<std::size_t>(last + static_cast<long long>(nf - 1) * lda)) {
        frame.pop();
        throw std::length_error("DPLOTP: X or A is shorter than NDATA, NFUN, LDA and INC require");
    }
    auto xv = [&](long long k) { return x[static_cast<std::size_t>((k - 1) * inc)]; };
    auto av = [&](long long k, int j) {
        return a[static_cast<std::size_t>((k - 1) * inc + static_cast<long long>(j - 1) * lda)];
    };
    const double e = 10.0 * DMACH(4);

    // x range and ticks.
    double xmin = range[0], xmax = range[1];
    if (!(range[0] < range[1])) {
        xmin = xmax = xv(1);
        for (long long k = 2; k <= npts; ++k) {
            xmin = std::min(xmin, xv(k));
            xmax = std::max(xmax, xv(k));
        }
        if (xmin == xmax) {
            xmin -= 1.0;
            xmax += 1.0;
        }
    }
    Axis ax;
    double first = 0.0;
    int nx = 0, ndec = 0;
    DSSFMT(xmin, xmax, (pw - 20) / 15 + 1, 1, first, ax.step, nx, ndec);
    if (N1RCD(1) != 0) {
        return;
    }
    xmin = std::min(xmin, first);
    xmax = std::max(xmax, first + (nx - 1) * ax.step);
    ax.ticks.push_back(first);
    for (int i = 1; i < nx; ++i) ax.ticks.push_back(ax.ticks.back() + ax.step);
    ax.tol = ax.step * e;

    // y range and ticks, stored from the top.
    double ymin = range[2], ymax = range[3];
    if (!(range[2] < range[3])) {
        ymin = ymax = av(1, 1);
        for (long long k = 1; k <= npts; ++k)
            for (int j = 1; j <= nf; ++j) {
                ymin = std::min(ymin, av(k, j));
                ymax = std::max(ymax, av(k, j));
            }
        if (ymin == ymax) {
            ymin -= 1.0;
            ymax += 1.0;
        }
    }
    Axis ay;
    int ny = 0;
    DSSFMT(ymin, ymax, (pl - 7) / 5 + 1, 1, first, ay.step, ny, ndec);
    if (N1RCD(1) != 0) {
        return;
    }
    ymin = std::min(ymin, first);
    ymax = std::max(ymax, first + (ny - 1) * ay.step);
    ay.ticks.push_back(first + (ny - 1) * ay.step);
    for (int i = 1; i < ny; ++i) ay.ticks.push_back(ay.ticks.back() - ay.step);
    ay.tol = e;

    const std::string ydesc = DF1T90(ny, ay.ticks, 10);
    if (N1RCD(1) != 0) {
        return;
    }

    // Grid: column 1 stands for XMIN, row 1 for YMAX.
    ax.per_step = trunc_int((pw - 20) * ax.step / (xmax - xmin));
    ay.per_step = trunc_int((pl - 8) * ay.step / (ymax - ymin));
    double d = ax.ticks[0] - xmin;
    if (d < 0.0 || std::fabs(d) <= ax.tol) d = 0.0;
    ax.first = nint(static_cast<double>(ax.per_step) * d / ax.step + 1.0);
    d = ymax - ay.ticks[0];
    if (d < 0.0 || std::fabs(d) <= e) d = 0.0;
    ay.first = nint(static_cast<double>(ay.per_step) * d / ay.step + 1.0);

    const long long zero_col = column_of(ax, 0.0, e);
    const long long zero_row = row_of(ay, 0.0, e);

    // Plot size.  Data that are numbers always give a plot inside the page;
    // the clamps only keep values that are not numbers from running off it.
    long long wp = ax.first + (nx - 1) * ax.per_step +
                   nint(static_cast<double>(ax.per_step) * (xmax - ax.ticks.back()) / ax.step);
    long long hp = ay.first + (ny - 1) * ay.per_step +
                   nint(static_cast<double>(ay.per_step) * (ay.ticks.back() - ymin) / ay.step);
    wp = std::clamp<long long>(wp, 1, pw);
    hp = std::clamp<long long>(hp, 1, pl);
    const int width = static_cast<int>(wp);
    const int height = static_cast<int>(hp);

    // Head.
    write_text(nout, "1");
    const int lt = title_length(title, width, 8,
                                "Length of TITLE = %(I1).  The width of the plot is %(I2).  Title is too long and "
                                "some characters have been truncated.");
    if (lt < 1) {
        write_text(nout, " ");
    } else {
        write_text(nout, " " + std::string(static_cast<std::size_t>(std::max(0, width / 2 - lt / 2 + 13)), ' ') +
                             std::string(title.substr(0, static_cast<std::size_t>(lt))));
        write_text(nout, "");
        write_text(nout, "");
    }

    // y title, one character per row from row YS down.
    const int ly = title_length(ytitle, height, 9,
                                "Length of YTITLE = %(I1).  The length of the plot is %(I2).   Y title is too long "
                                "and some characters have been truncated.");
    const int ys = height / 2 - ly / 2 + 1;

    // Column of every point, row of every value.
    std::vector<long long> cols(static_cast<std::size_t>(npts));
    std::vector<long long> rows(static_cast<std::size_t>(npts) * static_cast<std::size_t>(nf));
    for (long long k = 1; k <= npts; ++k) {
        cols[static_cast<std::size_t>(k - 1)] = column_of(ax, xv(k), ax.tol);
        for (int j = 1; j <= nf; ++j)
            rows[static_cast<std::size_t>((k - 1) * nf + (j - 1))] = row_of(ay, av(k, j), e);
    }
    auto sym = [&](int j) {
        return static_cast<std::size_t>(j) <= symbol.size() ? symbol[static_cast<std::size_t>(j - 1)] : ' ';
    };

    static const rt::Format plain = rt::parse_format("(14X,A)");
    static const rt::Format labelled = rt::parse_format("(3X,A,1X,A)");
    static const rt::Format titled = rt::parse_format("(1X,A1,12X,A)");
    static const rt::Format both = rt::parse_format("(1X,A1,1X,A,1X,A)");
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
            if (zero_col > 1 && zero_col < width) cell(zero_col) = 'I';
        }
        if (zero_row > 1 && zero_row < height && r == zero_row)
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

    // x scale values, each centred under its tick column; the first may
    // reach into the left margin.
    const std::string xdesc = DF1T90(nx, ax.ticks, 10);
    if (N1RCD(1) != 0) {
        return;
    }
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

    // x title.
    const int lx = title_length(xtitle, width, 10,
                                "Length of XTITLE = %(I1).  The width of the plot is %(I2).  X title is too long "
                                "and some characters have been truncated.");
    if (lx >= 1) {
        write_text(nout, "");
        write_text(nout, "");
        write_text(nout, " " + std::string(static_cast<std::size_t>(std::max(0, width / 2 - lx / 2 + 13)), ' ') +
                             std::string(xtitle.substr(0, static_cast<std::size_t>(lx))));
    }
}

}  // namespace orv::num2
