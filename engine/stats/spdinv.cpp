#include "engine/stats/spdinv.h"

#include "engine/stats/library_status.h"
#include "numlib/routines2/dlinds.h"
#include "numlib/routines2/dlinds_pure.h"
#include "numlib/routines2/erset.h"

namespace orv::engine {

void SPDINV(std::span<const double> A, int N, std::span<double> AINV) {
    num2::ERSET(0, 1, 0);
    stop_on_library_error();
    num2::DLINDS(N, A, N, AINV, N);
    stop_on_library_error();
}

void SPDINC(std::span<const double> A, int N, std::span<double> AINV) {
    num2::ERSET(0, 0, 0);
    stop_on_library_error();
    num2::DLINDS(N, A, N, AINV, N);
    // Not positive definite is the caller's to handle, through the mark.
    if (num2::LSTERR() == 2) {
        if (!AINV.empty()) AINV[0] = SPDINC_FAILED;
    } else {
        stop_on_library_error();
    }
    num2::ERSET(0, 0, 0);
    stop_on_library_error();
}

void SPDINC_PURE(std::span<const double> A, int N, std::span<double> AINV) {
    if (!num2::DLINDS_PURE(N, A, N, AINV, N)) AINV[0] = SPDINC_FAILED;
}

}  // namespace orv::engine
