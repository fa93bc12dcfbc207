#include "numlib/routines1/m01caf.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01_detail.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace {

// Sections shorter than this are left to the final insertion pass.
constexpr int kShort = 16;

// Wichmann-Hill generator for the random pivots of lopsided segments.  The
// seeds are reset on every call so that a sort always makes the same swaps.
class PivotGenerator {
public:
    double next() {
        s1_ = 171 * (s1_ % 177) - 2 * (s1_ / 177);
        if (s1_ < 0) s1_ += 30269;
        s2_ = 172 * (s2_ % 176) - 35 * (s2_ / 176);
        if (s2_ < 0) s2_ += 30307;
        s3_ = 170 * (s3_ % 178) - 63 * (s3_ / 178);
        if (s3_ < 0) s3_ += 30323;
        const double sum = s1_ / 30269.0 + s2_ / 30307.0 + s3_ / 30323.0;
        return sum - std::trunc(sum);
    }

private:
    int s1_ = 15223, s2_ = 17795, s3_ = 28707;
};

struct Segment {
    int left, right;
    bool random_pivot;
};

}  // namespace

namespace m01 {

std::vector<std::string> range_records(int m1, int m2) {
    static const rt::Format format = rt::parse_format("(A,/,A,I16,A,I16)");
    std::vector<std::string> records(2);
    rt::write_internal(records, 80, format, " ** On entry, one or more of the following parameter values is illegal",
                       "    M1 =", m1, "  M2 =", m2);
    return records;
}

int check_section(int m1, int m2, std::string_view order, int& descending, std::vector<std::string>& records) {
    if (m2 < m1 || m2 < 1 || m1 < 1) {
        records = range_records(m1, m2);
        return 1;
    }
    const char c = order.empty() ? ' ' : order[0];
    if (c == 'A' || c == 'a' || c == 'D' || c == 'd') {
        descending = c == 'D' || c == 'd';
        return 0;
    }
    static const rt::Format format = rt::parse_format("(A,A)");
    records.assign(1, std::string());
    rt::write_internal(records, 80, format, " ** On entry, ORDER has an illegal value: ORDER = ",
                       std::string(order.substr(0, 1)));
    return 2;
}

void check_length(std::size_t size, int m2, const char* routine, const char* argument) {
    if (size < static_cast<std::size_t>(m2))
        throw std::length_error(std::string(routine) + ": " + argument + " holds fewer than M2 elements");
}

}  // namespace m01

void M01CAF(std::span<double> rv, int m1, int m2, std::string_view order, int& ifail) {
    int descending = 0;
    std::vector<std::string> records;
    const int ierror = m01::check_section(m1, m2, order, descending, records);
    if (ierror != 0) {
        ifail = ERREXIT(ifail, ierror, "M01CAF", static_cast<int>(records.size()), records);
        return;
    }
    m01::check_length(rv.size(), m2, "M01CAF", "RV");
    ifail = 0;
    if (m1 == m2) return;

    auto at = [&](int i) -> double& { return rv[static_cast<std::size_t>(i - 1)]; };
    auto swap = [&](int i, int j) { std::swap(at(i), at(j)); };
    auto less = [](double a, double b) { return m01::less(a, b); };

    // Quicksort phase: leaves every element inside a segment of fewer than
    // kShort elements that holds exactly the values belonging there.  The
    // smaller part is always taken next, so the pending stack stays below
    // log2(M2 - M1 + 1) entries, well inside its 40.
    if (m2 - m1 + 1 >= kShort) {
        PivotGenerator generator;
        std::array<Segment, 40> stack{};
        int depth = 0;
        Segment seg{m1, m2, false};
        for (;;) {
            const int l = seg.left, r = seg.right;
            if (seg.random_pivot) {
                const int k = l + static_cast<int>((r - l) * generator.next());
                swap(l, k);
                swap(l + r - k, r);
            }
            // Median of three: RV(L) <= T <= RV(R) afterwards, which keeps
            // both scans below inside the segment.
            if (less(at(r), at(l))) swap(l, r);
            const int m = l + (r - l) / 2;
            if (less(at(m), at(l)))
                swap(m, l);
            else if (less(at(r), at(m)))
                swap(m, r);
            const double t = at(m);
            int i = l, j = r;
            for (;;) {
                do ++i; while (less(at(i), t));
                do --j; while (less(t, at(j)));
                if (j <= i) break;
                swap(i, j);
            }
            const Segment low{l, i - 1, false}, high{j + 1, r, false};
            const int nlow = i - l, nhigh = r - j;
            Segment larger = nlow > nhigh ? low : high;
            const Segment smaller = nlow > nhigh ? high : low;
            const int nlarger = std::max(nlow, nhigh), nsmaller = std::min(nlow, nhigh);
            larger.random_pivot = nlarger > 5 * nsmaller + 25;
            if (nsmaller >= kShort) {
                stack[static_cast<std::size_t>(depth++)] = larger;
                seg = smaller;
            } else if (nlarger >= kShort) {
                seg = larger;
            } else if (depth > 0) {
                seg = stack[static_cast<std::size_t>(--depth)];
            } else {
                break;
            }
        }
    }

    // Final pass: straight insertion.
    for (int k = m1 + 1; k <= m2; ++k) {
        const double v = at(k);
        int i = k;
        while (i > m1 && less(v, at(i - 1))) {
            at(i) = at(i - 1);
            --i;
        }
        at(i) = v;
    }

    if (descending)
        for (int i = m1, j = m2; i < j; ++i, --j) swap(i, j);
}

}  // namespace orv::num1
