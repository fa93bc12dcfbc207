#include "numlib/routines2/dfmt90.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"

namespace orv::num2 {

namespace {

const std::string kNoDescriptor(10, ' ');

// INT of a double, saturated far beyond any count of digits that a field
// can hold (so that arithmetic on it cannot overflow); NaN gives 0.
long long trunc_int(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<long long>(std::clamp(v, -1.0e9, 1.0e9));
}

std::string fixed_descriptor(int w, long long d) {
    static const rt::Format f = rt::parse_format("('(0PF',I2,'.',I2,')')");
    std::vector<std::string> rec(1);
    rt::write_internal(rec, 10, f, w, static_cast<int>(d));
    return rec[0];
}

std::string exponent_descriptor(int w, int d) {
    static const rt::Format f = rt::parse_format("('(1PD',I2,'.',I2,')')");
    std::vector<std::string> rec(1);
    rt::write_internal(rec, 10, f, w, d);
    return rec[0];
}

std::string integer_descriptor(int w) {
    static const rt::Format f = rt::parse_format("('(I',I2,')')");
    std::vector<std::string> rec(1);
    rt::write_internal(rec, 10, f, w);
    return rec[0];  // the internal record pads it with five blanks
}

// Largest 1-based index read by a column walk of an NRA x NCA matrix with
// leading dimension LDA under ITRING; 0 when nothing is read.
long long last_index(int nra, int nca, int lda, int itring) {
    long long last = 0;
    for (int j = 1; j <= nca; ++j) {
        int first = 0, rows = 0;
        ROWRNG(itring, 1, nra, j, first, rows);
        if (rows > 0) last = std::max(last, static_cast<long long>(j - 1) * lda + first + rows - 1);
    }
    return last;
}

// Number of decimals that VALUE, written with the fixed descriptor of width W
// and D decimals, really needs: D less its trailing zeros.  A field of
// asterisks needs all D.
int decimals_needed(double value, int w, int d) {
    std::vector<std::string> rec(1);
    rt::write_internal(rec, static_cast<std::size_t>(w), rt::parse_format(fixed_descriptor(w, d)), value);
    const std::string& text = rec[0];
    const std::size_t point = text.find('.');
    if (point == std::string::npos) return d;
    int zeros = 0;
    for (std::size_t i = text.size(); i > point + 1 && text[i - 1] == '0'; --i) ++zeros;
    return std::max(0, d - zeros);
}

// Lowers the decimals of a fixed descriptor to the fewest that show every
// entry's digits.
std::string FMTDEC(const std::string& fmt, int nra, int nca, std::span<const double> a, int lda, int itring) {
    int w = 0, d = 0;
    FMTWID(fmt, 1, "", "", w);
    FMTWID(fmt, 0, ".", ")", d);
    int need = 0;
    for (int j = 1; j <= nca; ++j) {
        int first = 0, rows = 0;
        ROWRNG(itring, 1, nra, j, first, rows);
        for (int i = first; i < first + rows; ++i) {
            const double v = a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * lda];
            if (!std::isnan(v)) need = std::max(need, decimals_needed(v, w, d));
        }
    }
    return fixed_descriptor(w, need);
}

// TEXT right-aligned in a field of W columns at the start of 40 blanks.
std::string right_aligned(std::string_view text, int w) {
    std::string out(40, ' ');
    const int width = std::clamp(w, 0, 40);
    const std::size_t at =
        width >= static_cast<int>(text.size()) ? static_cast<std::size_t>(width) - text.size() : 0;
    out.replace(at, text.size(), text);
    return out;
}

}  // namespace

void ROWRNG(int itring, int irow1, int nra, int j, int& ifirst, int& nrows) {
    long long first = irow1;
    long long last = nra;
    switch (itring) {
        case 1: last = std::min(nra, j); break;
        case 2: last = std::min<long long>(nra, static_cast<long long>(j) - 1); break;
        case -1: first = std::max(irow1, j); break;
        case -2: first = std::max<long long>(irow1, static_cast<long long>(j) + 1); break;
        default: break;
    }
    ifirst = static_cast<int>(std::min<long long>(first, INT_MAX));
    nrows = static_cast<int>(std::max<long long>(0, last - first + 1));
}

void INTFIT(int n, std::span<const double> x, int nwidth, int& iflag) {
    if (n > 0 && x.size() < static_cast<std::size_t>(n)) throw std::length_error("INTFIT: X is shorter than N");
    const double below = -std::pow(10.0, nwidth - 1);
    const double above = std::pow(10.0, nwidth);
    iflag = 1;
    for (int i = 0; i < n; ++i) {
        const double v = x[static_cast<std::size_t>(i)];
        if (std::isnan(v)) continue;
        if (v != std::trunc(v) || std::fabs(v) > 2147483647.0 || !(v > below && v < above)) {
            iflag = 0;
            return;
        }
    }
}

void DI1MAX(int n, std::span<const double> x, int incx, int& imax) {
    if (n >= 1 && incx >= 1 &&
        x.size() < static_cast<std::size_t>(1 + static_cast<long long>(n - 1) * incx))
        throw std::length_error("DI1MAX: X is shorter than N and INCX require");
    ErrorLevel frame("DI1MAX");
    int icode = 1;
    CHKIRG(n, "N", 0, -1, icode);
    CHKIRG(incx, "INCX", 1, -1, icode);
    if (N1RCD(0) != 0) {
        return;
    }
    imax = 0;
    double big = 0.0;
    for (int i = 1; i <= n; ++i) {
        const double v = x[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(incx)];
        if (std::isnan(v)) continue;
        if (imax == 0 || std::fabs(v) > big) {
            imax = i;
            big = std::fabs(v);
        }
    }
}

std::string DFMTX(double value, int nwidth, int nsig) {
    ErrorLevel frame("DFMTX");
    int icode = 1;
    CHKIRG(nwidth, "NWIDTH", 3, 40, icode);
    CHKIRG(nsig, "NSIG", 1, -1, icode);
    if (N1RCD(0) == 0) CHKORD(nsig, "NSIG", nwidth - 2, "NWIDTH-2", icode);
    if (N1RCD(0) != 0) {
        return kNoDescriptor;
    }

    const int d = static_cast<int>(std::min<long long>(nsig, trunc_int(0.05 - std::log10(DMACH(4)))));
    bool exponent = false;
    long long dec = 0;
    if (std::isnan(value)) {
        exponent = nwidth >= 7;
    } else {
        const double a = std::fabs(value);
        if (nwidth >= 7 && ((a > 0.0 && a < 0.001) || a >= 1.0e7)) {
            exponent = true;
        } else if (a == 0.0) {
            dec = d;
        } else {
            long long ip = 0;
            if (a < 1.0) {
                ip = 1;
                const double l = -std::log10(a);
                const long long k = trunc_int(l);
                dec = d + k;
                if (l == std::trunc(l)) {
                    --dec;
                } else {
                    // Rounding may carry the value into the next decade.
                    const double t = std::log10(a + 0.5 * std::pow(10.0, static_cast<double>(-dec)));
                    if (t > 0.0 || trunc_int(-t) < k) --dec;
                }
            } else {
                const long long k = trunc_int(std::log10(a));
                ip = k + 1;
                dec = d - ip;
                if (dec > 0 && trunc_int(std::log10(a + 0.5 * std::pow(10.0, static_cast<double>(-dec)))) > k) {
                    --dec;
                    ++ip;
                }
            }
            dec = std::max(dec, 0LL);
            if (dec == 0 && ip + 2 < nwidth) dec = 1;
            // Too wide: the exponent form where it fits, else fewer decimals
            // (and then fewer integer digits, which only asterisks can show).
            if (dec + ip + 2 > nwidth) {
                if (nwidth >= 7)
                    exponent = true;
                else
                    dec = std::max(0LL, nwidth - ip - 2);
            }
        }
    }
    const std::string result =
        exponent ? exponent_descriptor(nwidth, std::min(nwidth - 7, d - 1)) : fixed_descriptor(nwidth, dec);
    return result;
}

std::string DFMT90(int nra, int nca, std::span<const double> a, int lda, int itring, int nwidth, int nsig) {
    if (nra >= 0 && nca >= 1 && lda >= 1 && a.size() < static_cast<std::size_t>(last_index(nra, nca, lda, itring)))
        throw std::length_error("DFMT90: A is shorter than NRA, NCA and LDA require");
    ErrorLevel frame("DFMT90");
    int icode = 1;
    CHKIRG(nra, "NRA", 0, -1, icode);
    CHKIRG(lda, "LDA", 1, -1, icode);
    if (nca != 0 && lda >= 1)
        CHKORD(nra, "NRA", lda, "LDA", icode);
    else
        ++icode;
    CHKIRG(nca, "NCA", 0, -1, icode);
    CHKIRG(nwidth, "NWIDTH", 3, 40, icode);
    CHKORD(std::abs(nsig) - 2, "NSIG-2", nwidth, "NWIDTH", icode);
    if (N1RCD(0) != 0) {
        return kNoDescriptor;
    }

    auto column = [&](int j, int& first, int& rows) {
        ROWRNG(itring, 1, nra, j, first, rows);
        return a.subspan(static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lda) +
                         static_cast<std::size_t>(first - 1));
    };

    bool any = false;
    for (int j = 1; j <= nca && !any; ++j) {
        int first = 0, rows = 0;
        const auto col = column(j, first, rows);
        for (int i = 0; i < rows && !any; ++i) any = !std::isnan(col[static_cast<std::size_t>(i)]);
    }
    std::string result;
    if (!any) {
        result = DFMTX(std::nan(""), nwidth, std::abs(nsig));
    } else {
        bool whole = true;
        for (int j = 1; j <= nca && whole; ++j) {
            int first = 0, rows = 0;
            const auto col = column(j, first, rows);
            if (rows < 1) continue;
            int fits = 0;
            INTFIT(rows, col, nwidth, fits);
            whole = fits == 1;
        }
        if (whole) {
            result = integer_descriptor(nwidth);
        } else {
            double big = 0.0;
            for (int j = 1; j <= nca; ++j) {
                int first = 0, rows = 0;
                const auto col = column(j, first, rows);
                if (rows < 1) continue;
                int imax = 0;
                DI1MAX(rows, col, 1, imax);
                if (imax > 0) big = std::max(big, std::fabs(col[static_cast<std::size_t>(imax - 1)]));
            }
            result = DFMTX(big, nwidth, std::abs(nsig));
            if (nsig >= 0 && result.compare(0, 4, "(0PF") == 0) result = FMTDEC(result, nra, nca, a, lda, itring);
        }
    }
    return result;
}

std::string DF1T90(int n, std::span<const double> x, int nwidth) {
    if (n > 0 && x.size() < static_cast<std::size_t>(n)) throw std::length_error("DF1T90: X is shorter than N");
    ErrorLevel frame("DF1T90");
    int icode = 1;
    CHKIRG(n, "N", 0, -1, icode);
    CHKIRG(nwidth, "NWIDTH", 3, 40, icode);
    if (N1RCD(0) != 0) {
        return kNoDescriptor;
    }
    // Significant digits enough to tell the largest and the smallest apart.
    // Equal values (no spread) take the minimum of 3.
    long long nsig = 3;
    if (n >= 1) {
        const std::span<const double> v = x.first(static_cast<std::size_t>(n));
        const double xa = *std::max_element(v.begin(), v.end());
        const double xb = *std::min_element(v.begin(), v.end());
        const double r = std::fabs(xa - xb) / std::max(std::fabs(xa), std::fabs(xb));
        if (r > 0.0 && std::isfinite(r)) nsig = std::max(3LL, trunc_int(0.05 - std::log10(r)) + 3);
    }
    const std::string result =
        DFMT90(n, 1, x, std::max(n, 1), 0, nwidth, -static_cast<int>(std::min<long long>(nsig, 1000)));
    return result;
}

void FMTWID(std::string_view fmt, int iflag, std::string_view c1, std::string_view c2, int& iwidth) {
    iwidth = 0;
    std::size_t from = std::string_view::npos;
    std::size_t to = std::string_view::npos;
    if (iflag != 0) {
        for (char letter : std::string_view("VWFIGDE")) {
            from = fmt.find(letter);
            if (from != std::string_view::npos) break;
        }
        if (from == std::string_view::npos) return;
        ++from;
        to = fmt.find('.', from);
        if (to == std::string_view::npos) to = fmt.find(')', from);
    } else {
        if (c1.empty() || c2.empty()) return;
        from = fmt.find(c1[0]);
        if (from == std::string_view::npos) return;
        ++from;
        to = fmt.find(c2[0], from);
    }
    if (to == std::string_view::npos) to = fmt.size();
    CVTSI(fmt.substr(from, to - from), iwidth);
}

std::string FMTVAL(double value, std::string_view fmt) {
    if (std::isnan(value) || std::isinf(value)) {
        int option = 0;
        WROPT(4, option, 0);
        int w = 0;
        FMTWID(fmt, 1, "", "", w);
        if (std::isnan(value)) {
            if (option == 0) return std::string(40, '.');
            if (option == 2) return right_aligned("NaN", w);
            return std::string(40, ' ');
        }
        if (value > 0.0) return option < 2 ? std::string(40, '+') : right_aligned("Inf", w);
        if (option < 2) return std::string(40, '-');
        return right_aligned(w >= 4 ? "-Inf" : "Inf", w);
    }
    std::vector<std::string> rec(1);
    const rt::Format f = rt::parse_format(fmt);
    if (fmt.size() > 1 && fmt[1] == 'I') {
        if (std::fabs(value) > 2147483647.0) return std::string(40, '*');
        rt::write_internal(rec, 40, f, static_cast<int>(value));
    } else {
        rt::write_internal(rec, 40, f, value);
    }
    return rec[0];
}

}  // namespace orv::num2
