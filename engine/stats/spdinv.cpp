#include "engine/stats/spdinv.h"

#include "numlib/routines2/dlinds.h"
#include "numlib/routines2/dlinds_pure.h"
#include "numlib/routines2/erset.h"

namespace orv::engine {

void SPDINV(std::span<const double> A, int N, std::span<double> AINV) {
    num2::ERSET(0, 1, 0);
    num2::DLINDS(N, A, N, AINV, N);
}

void SPDINC(std::span<const double> A, int N, std::span<double> AINV) {
    num2::ERSET(0, 0, 0);
    num2::DLINDS(N, A, N, AINV, N);
    if (num2::LSTERR() == 2 && !AINV.empty()) AINV[0] = SPDINC_FAILED;
    num2::ERSET(0, 0, 0);
}

void SPDINC_PURE(std::span<const double> A, int N, std::span<double> AINV) {
    if (!num2::DLINDS_PURE(N, A, N, AINV, N)) AINV[0] = SPDINC_FAILED;
}

}  // namespace orv::engine
