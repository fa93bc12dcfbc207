#include "engine/stats/smooth.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/common/fatal.h"
#include "engine/common/trace.h"
#include "engine/common/units.h"
#include "numlib/routines1/f02faf.h"
#include "numlib/routines1/m01caf.h"
#include "runtime/formatted_io.h"

namespace orv::engine {

void REVCOL(std::span<const double> A, int N, std::span<double> B) {
    const std::size_t n = static_cast<std::size_t>(N < 0 ? 0 : N);
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t i = 0; i < n; ++i) B[i + n * k] = A[i + n * (n - 1 - k)];
    }
}

void SMOOTH(std::span<double> R, int N, std::span<double> RS) {
    const std::size_t n = static_cast<std::size_t>(N < 0 ? 0 : N);
    std::vector<double> w(n), work(3 * n), e(n * n), v(n * n), t(n * n), d(n);

    // Eigenvalues in ascending order, eigenvectors over R.
    int ifail = 0;
    num1::F02FAF("V", "U", N, R, N, w, work, 3 * N, ifail);
    TRACE(ifail, 0);
    for (std::size_t k = 0; k < n * n; ++k) e[k] = R[k];

    // Descending eigenvalues; reversing the columns keeps each eigenvector
    // with its eigenvalue.
    ifail = 0;
    num1::M01CAF(w, 1, N, "D", ifail);
    REVCOL(e, N, v);

    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (w[i] >= 0.005) ++kept;
    }
    float sum = 0.0f;
    for (std::size_t i = 0; i < kept; ++i) sum = static_cast<float>(static_cast<double>(sum) + w[i]);
    for (std::size_t i = 0; i < kept; ++i) w[i] = (static_cast<double>(kept) / static_cast<double>(sum)) * w[i];

    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t m = 0; m < n; ++m) t[m + n * j] = v[j + n * m];
    }
    for (std::size_t m = 0; m < kept; ++m) {
        for (std::size_t i = 0; i < n; ++i) v[i + n * m] = v[i + n * m] * w[m];
    }

    // RS = V_K diag(W_K) V_K', each element summed in single precision.
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) {
            float s = 0.0f;
            for (std::size_t m = 0; m < kept; ++m) s = static_cast<float>(static_cast<double>(s) + v[i + n * m] * t[m + n * j]);
            RS[i + n * j] = static_cast<double>(s);
        }
    }

    // A variable with nothing left on the kept eigenvectors has no scale.
    for (std::size_t i = 0; i < n; ++i) {
        if (!(RS[i + n * i] > 0.0)) {
            static const rt::Format layout = rt::parse_format("(T30,A,I4,A/T30,A,///)");
            FATAL(layout, "FATAL ERROR: SMOOTHING LEAVES VARIABLE", static_cast<int>(i + 1), " WITHOUT VARIANCE",
                  "(NO WEIGHT ON ANY EIGENVALUE OF AT LEAST 0.005)");
        }
        d[i] = 1.0 / std::sqrt(RS[i + n * i]);
    }
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) RS[i + n * j] = RS[i + n * j] * d[i] * d[j];
    }
}

}  // namespace orv::engine
