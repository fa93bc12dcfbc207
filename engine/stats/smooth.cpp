#include "engine/stats/smooth.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/common/trace.h"
#include "numlib/routines1/f02faf.h"
#include "numlib/routines1/m01caf.h"

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
        if (w[i] >= kSmoothThreshold) ++kept;
    }
    float sum = 0.0f;
    for (std::size_t i = 0; i < kept; ++i) sum = static_cast<float>(static_cast<double>(sum) + w[i]);
    for (std::size_t i = 0; i < kept; ++i) w[i] = (static_cast<double>(kept) / static_cast<double>(sum)) * w[i];
    for (std::size_t i = kept; i < n; ++i) w[i] = kSmoothFloor;

    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t m = 0; m < n; ++m) t[m + n * j] = v[j + n * m];
    }
    for (std::size_t m = 0; m < n; ++m) {
        for (std::size_t i = 0; i < n; ++i) v[i + n * m] = v[i + n * m] * w[m];
    }

    // RS = V diag(W) V', each element summed in single precision, the kept
    // eigenpairs first.
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) {
            float s = 0.0f;
            for (std::size_t m = 0; m < n; ++m)
                s = static_cast<float>(static_cast<double>(s) + v[i + n * m] * t[m + n * j]);
            RS[i + n * j] = static_cast<double>(s);
        }
    }

    // Every eigenvalue is at least the floor, so every diagonal element is
    // positive.
    for (std::size_t i = 0; i < n; ++i) d[i] = 1.0 / std::sqrt(RS[i + n * i]);
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) RS[i + n * j] = RS[i + n * j] * d[i] * d[j];
    }
}

}  // namespace orv::engine
