#include "numlib/routines1/g01alf.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01_rank.h"
#include "numlib/routines1/m01daf.h"
#include "numlib/routines1/m01zaf.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

void G01ALF(int n, std::span<const double> x, std::span<int> iwrk, std::span<double> res, int& ifail) {
    if (n < 5) {
        static const rt::Format format = rt::parse_format("(1X,'** On entry N.lt.5 : N = ',I16)");
        std::vector<std::string> rec(1);
        rt::write_internal(rec, 80, format, n);
        ifail = ERREXIT(ifail, 1, "G01ALF", 1, rec);
        return;
    }
    const auto size = static_cast<std::size_t>(n);
    if (x.size() < size) throw std::length_error("G01ALF: array X is shorter than N");
    if (iwrk.size() < size) throw std::length_error("G01ALF: array IWRK is shorter than N");
    if (res.size() < 5) throw std::length_error("G01ALF: array RES is shorter than 5");

    // The ranks of the values, turned into the order in which to visit them;
    // long samples get that order from sorted keys at once.
    if (n >= m01::key_rank_size()) {
        m01::key_rank(x.first(size), false, 1, m01::Output::kOrder, iwrk.first(size), m01::key_rank_threads(size));
    } else {
        int status = 0;
        M01DAF(x, 1, n, "A", iwrk, status);
        status = 0;
        M01ZAF(iwrk, 1, n, status);
    }
    auto sorted = [&](int k) { return x[static_cast<std::size_t>(iwrk[static_cast<std::size_t>(k - 1)] - 1)]; };

    const int h = (n + 1) / 2;
    const double median = n % 2 == 1 ? sorted(h) : (sorted(h) + sorted(h + 1)) * 0.5;
    const int q = (h + 1) / 2;
    double lower, upper;
    if (h % 2 == 0) {
        lower = (sorted(q) + sorted(q + 1)) * 0.5;
        upper = (sorted(n - q) + sorted(n - q + 1)) * 0.5;
    } else {
        lower = sorted(q);
        upper = sorted(n - q + 1);
    }
    res[0] = sorted(1);
    res[1] = lower;
    res[2] = median;
    res[3] = upper;
    res[4] = sorted(n);
    ifail = ERREXIT(ifail, 0, "G01ALF", 0, {});
}

}  // namespace orv::num1
