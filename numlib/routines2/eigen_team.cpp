#include "numlib/routines2/eigen_team.h"

#include <algorithm>
#include <cmath>

#include "process/thread_policy.h"

namespace orv::num2 {
int eigen_threads() { return proc::thread_count(proc::setting(proc::Setting::kEigenThreads)); }

int eigen_parallel_order() {
    const int order = proc::setting(proc::Setting::kEigenOrder);
    return order > 0 ? order : proc::policy::kEigenOrder;
}

int eigen_blocked_order() {
    const int order = proc::setting(proc::Setting::kEigenOrder);
    return order > 0 ? order : proc::policy::kEigenBlockedOrder;
}

int eigen_team_size(int n, int min_share) { return eigen_team_size(n, min_share, proc::policy::kEigenOrder); }

int eigen_team_size(int n, int min_share, int default_order) {
    const int set = proc::setting(proc::Setting::kEigenOrder);
    const int order = set > 0 ? set : default_order;
    // A parallel order set below the share (for tests) lowers the share too.
    return n < order ? 1 : proc::team_size(eigen_threads(), n, std::min(min_share, order));
}

namespace team {

int Team::parts(std::int64_t work, std::int64_t min_work) const {
    if (size() == 1) return 1;
    return static_cast<int>(std::clamp<std::int64_t>(work / std::max<std::int64_t>(min_work, 1), 1, 2 * size()));
}

bool Pace::alone() const { return phase == kProbeAlone || (phase == kStretch && stretch_alone); }

void Pace::record(double seconds) {
    ++runs;
    if (phase == kProbeAlone) {
        alone_seconds += seconds;
        if (runs == kWindow) {
            phase = kProbeTeam;
            runs = 0;
        }
    } else if (phase == kProbeTeam) {
        team_seconds += seconds;
        if (runs == kWindow) {
            stretch_alone = team_seconds > kGain * alone_seconds;
            phase = kStretch;
            runs = 0;
            alone_seconds = team_seconds = 0.0;
        }
    } else if (runs == kStretchRuns) {
        phase = kProbeAlone;
        runs = 0;
    }
}

Range part(int first, int last, int t, int threads, bool triangle) {
    const int len = last - first + 1;
    if (len <= 0 || threads <= 1) return t == 0 ? Range{first, last} : Range{first, first - 1};
    auto bound = [&](int k) -> int {  // indices in parts 0 .. k-1
        if (k <= 0) return 0;
        if (k >= threads) return len;
        const double share = static_cast<double>(k) / threads;
        const double b = triangle ? len * (1.0 - std::sqrt(1.0 - share)) : len * share;
        return std::clamp(static_cast<int>(b + 0.5), 0, len);
    };
    return {first + bound(t), first + bound(t + 1) - 1};
}

}  // namespace team
}  // namespace orv::num2
