#include "numlib/routines2/dvhstp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"

namespace orv::num2 {

namespace {

// INT of a count, saturated to the integer range; NaN gives 0.
int int_part(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(std::trunc(v), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

void write_text(int unit, const std::string& text) {
    static const rt::Format f = rt::parse_format("(A)");
    rt::write(unit, f, text);
}

// The class-number format: BASE with the field count written right-aligned
// into the three blanks before its "I".
rt::Format class_format(std::string base, int count) {
    static const rt::Format i3 = rt::parse_format("(I3)");
    std::vector<std::string> digits(1);
    rt::write_internal(digits, 3, i3, count);
    base.replace(base.find('I') - 3, 3, digits[0]);
    return rt::parse_format(base);
}

}  // namespace

void DVHSTP(int nbar, std::span<const double> frq, int isp, std::string_view title) {
    ErrorLevel frame("DVHSTP");
    if (isp != 0 && isp != 1 && isp != 4) {
        MSGINT(1, isp);
        E1MES(3, 1,
              "The spacing between the histogram bars must be 0, 1, or 4.  ISP = %(I1).  A value of zero is "
              "being substituted.");
        isp = 0;
    }
    if (nbar < 1) {
        MSGINT(1, nbar);
        E1MES(5, 2, "The number of bars to be printed must be positive.  NBAR = %(I1).");
        return;
    }
    if (frq.size() < static_cast<std::size_t>(nbar)) {
        frame.pop();
        throw std::length_error("DVHSTP: FRQ is shorter than NBAR");
    }
    int nb = nbar;
    long long wb = static_cast<long long>(isp + 1) * nbar;
    if (wb < 1 || wb > 100) {
        nb = 100 / (isp + 1);
        MSGINT(1, isp + 1);
        MSGINT(2, nbar);
        MSGINT(3, nb);
        E1MES(3, 3,
              "The spacing between the bars plus one (ISP+1=%(I1)) times the number of bars (NBAR=%(I2)) is "
              "less than 1 or greater than 100.  The width of the histogram is set to 100 and %(I3) bars will "
              "be printed.");
        wb = 100;
    }
    const int tw = static_cast<int>(wb) + 14;

    const std::span<const double> counts = frq.first(static_cast<std::size_t>(nbar));
    double fmax = counts[0], fmin = counts[0];
    int negatives = 0, first_negative = 0;
    for (int i = 1; i <= nbar; ++i) {
        const double f = counts[static_cast<std::size_t>(i - 1)];
        fmax = std::max(fmax, f);
        fmin = std::min(fmin, f);
        if (f < 0.0 && negatives++ == 0) first_negative = i;
    }
    if (negatives > 0) {
        MSGINT(1, negatives);
        MSGINT(2, first_negative);
        MSGDBL(1, counts[static_cast<std::size_t>(first_negative - 1)]);
        E1MES(5, 4,
              "The vector FRQ contains %(I1) negative number(s).  All elements of this vector must be "
              "nonnegative. FRQ(%(I2)) = %(D1) is the FIRST negative element.");
        return;
    }
    if (fmax < 1.0) {
        MSGDBL(1, fmax);
        E1MES(3, 5,
              "The maximum value in the vector of frequencies (FRQ) is less than 1.0.  MAX(FRQ) = %(D1).  The "
              "body of the histogram will be blank.");
        return;
    }

    int nout = 0;
    UMACH(2, nout);
    write_text(nout, "1");
    const std::size_t last = title.find_last_not_of(' ');
    int lt = last == std::string_view::npos ? 0 : static_cast<int>(last + 1);
    if (lt > tw) {
        MSGINT(1, lt);
        MSGINT(2, tw);
        E1MES(3, 6,
              "Length of TITLE = %(I1).  The width of the histogram = %(I2).  Title is too long and some "
              "characters have been truncated.");
        lt = tw;
    }
    if (lt >= 1)
        write_text(nout, " " + std::string(static_cast<std::size_t>(std::max(0, tw / 2 - lt / 2 + 1)), ' ') +
                             std::string(title.substr(0, static_cast<std::size_t>(lt))));
    std::string rule = "Frequency" + std::string(static_cast<std::size_t>(tw), '-');
    write_text(nout, "  " + rule.substr(0, static_cast<std::size_t>(tw)));

    // Scale step: one count per row unless the counts spread over more than
    // 50; the top level is raised by FMAX's remainder when it is not a
    // multiple of the step.
    double s = std::trunc(0.02 * fmax + 0.98001);
    if (s == 0.0 || fmax - fmin <= 50.0) s = 1.0;
    const int is = std::max(1, int_part(s));
    if (int_part(fmax) % is != 0) fmax += std::fmod(fmax, s);

    static const rt::Format body = rt::parse_format("(2X,I4,2X,A)");
    std::string row(static_cast<std::size_t>(wb) + 6, ' ');
    row.front() = '*';
    row.back() = '*';
    const int low = int_part(fmin);
    for (double level = fmax;;) {
        const int il = int_part(level);
        for (int b = 1; b <= nb; ++b)
            if (counts[static_cast<std::size_t>(b - 1)] >= il)
                row[static_cast<std::size_t>(isp + 2 + (b - 1) * (isp + 1))] = 'I';
        rt::write(nout, body, il, row);
        if (il <= low) break;
        level -= s;
        if (!(level >= 1.0)) break;
    }
    write_text(nout, "  " + std::string(static_cast<std::size_t>(tw), '-'));

    // Class numbers, each ending in the column of its bar.
    std::vector<int> numbers;
    std::string base;
    if (isp == 0 && nb == 1) {
        static const rt::Format one = rt::parse_format("('  Class   ',I1)");
        rt::write(nout, one, 1);
    } else {
        if (isp == 0 && nb <= 9) {
            base = "('  Class   ',   I2)";
            for (int i = 1; i <= nb / 2; ++i) numbers.push_back(2 * i);
        } else if (isp == 0) {
            base = "('  Class   ',   I5)";
            for (int i = 1; i <= nb / 5; ++i) numbers.push_back(5 * i);
        } else if (isp == 1 && nb <= 9) {
            base = "('  Class   ',   I2)";
            for (int i = 1; i <= nb; ++i) numbers.push_back(i);
        } else if (isp == 1) {
            base = "('  Class   ',   I10)";
            for (int i = 1; i <= nb / 5; ++i) numbers.push_back(5 * i);
        } else {
            base = "('  Class   ',   I5)";
            for (int i = 1; i <= nb; ++i) numbers.push_back(i);
        }
        rt::write(nout, class_format(base, static_cast<int>(numbers.size())), numbers);
    }
}

}  // namespace orv::num2
