// The sorted item listing: the item texts grouped by factor in the order of
// the sorted loading table, each with the sign and value of its loading.
#include <cmath>
#include <cstddef>
#include <numeric>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "engine/control/stages.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"

namespace orv::engine {

namespace {

// Steps of the walk over rows and factors; a listing ends there at the
// latest.
constexpr int kMaxSteps = 99999;

bool rotated(const JOBSET& job) { return job.NFAC >= 2 && (orthogonal_rotation(job) || oblique_rotation(job)); }

}  // namespace

void ITMSTG(JOBSET& job, RUNDATA& run) {
    if (job.ITMKEY != ">ITEMS:" || !is_word(job.SRTOPT, "SORT")) return;
    static const rt::Format heading = rt::parse_format("(\"FACTOR: \",I4)");
    static const rt::Format positive = rt::parse_format("(\"TRUE\",F8.3,\"  ITEM:\",1X,A200)");
    static const rt::Format other = rt::parse_format("(\"FALSE\",F8.3,\"  ITEM:\",1X,A200)");
    rt::write_list(LURPT);
    rt::write_list(LURPT);
    rt::write_list(LURPT, "SORTED ITEMS");
    rt::write_list(LURPT);

    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    const auto rows = static_cast<std::size_t>(nvar);
    // The sorted loadings and their item order from the rotation stage that
    // ran; without one, the unrotated loadings in item order.
    const std::vector<double>* P = &run.L;
    std::vector<int> order(rows);
    std::iota(order.begin(), order.end(), 1);
    if (rotated(job)) {
        P = orthogonal_rotation(job) ? &run.A : &run.P;
        order = run.ORDER;
    }
    auto p = [&](int i, int k) { return (*P)[static_cast<std::size_t>(i) + static_cast<std::size_t>(k) * rows]; };

    // A row stays with factor K while its absolute loading there is not
    // below the one on the next factor; the last factor takes every row
    // left, and no loading past it is read.
    int k = 0;
    int l = 0;
    bool head = true;
    for (int step = 0; step < kMaxSteps && l < nvar; ++step) {
        if (head) {
            rt::write(LURPT, heading, k + 1);
            head = false;
        }
        if (k == nfac - 1 || std::abs(p(l, k)) >= std::abs(p(l, k + 1))) {
            const double value = p(l, k);
            const std::string& text = job.ITMTXT[static_cast<std::size_t>(order[static_cast<std::size_t>(l)] - 1)];
            rt::write(LURPT, value > 0.0 ? positive : other, value, text);
            ++l;
        } else {
            rt::write_list(LURPT);
            rt::write_list(LURPT);
            ++k;
            head = true;
        }
    }
    rt::write_list(LURPT);
    rt::write_list(LURPT);
}

}  // namespace orv::engine
