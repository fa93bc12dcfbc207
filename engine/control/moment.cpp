#include "engine/control/moment.h"

#include <cstddef>

#include "engine/common/units.h"
#include "runtime/host.h"
#include "runtime/list_io.h"

namespace orv::engine {

void moment(std::span<const double> X, int N, double& VAR) {
    if (N < 2) {
        rt::write_list(LUCON, "n must be at least 2 in subroutine moment");
        rt::host().pause();
    }
    const auto n = static_cast<std::size_t>(N > 0 ? N : 0);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += X[i];
    const double mean = sum / N;
    double s = 0.0;
    double ss = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = X[i] - mean;
        s += d;
        ss += d * d;
    }
    VAR = (ss - s * s / N) / (N - 1);
}

}  // namespace orv::engine
