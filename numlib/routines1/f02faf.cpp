#include "numlib/routines1/f02faf.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace {

constexpr const char* kName = "F02FAF";

char upper_first(std::string_view text) {
    if (text.empty()) return ' ';
    const char c = text.front();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

using numlib::matrix_extent;
using numlib::require_length;

}  // namespace

void F02FAF(std::string_view job, std::string_view uplo, int n, std::span<double> a, int lda, std::span<double> w,
            std::span<double> work, int lwork, int& ifail) {
    const char jobc = upper_first(job);
    const char uploc = upper_first(uplo);
    const int need_work = std::max(1, 3 * std::max(n, 0));

    int nerr = 0;
    if (jobc != 'V' && jobc != 'N') PARERRC(job.substr(0, 1), "JOB", ifail, nerr, kName);
    if (uploc != 'U' && uploc != 'L') PARERRC(uplo.substr(0, 1), "UPLO", ifail, nerr, kName);
    if (n < 0) PARERRI(n, "N", ifail, nerr, kName);
    if (lda < std::max(1, n)) PARERRI(lda, "LDA", ifail, nerr, kName);
    if (lwork < need_work) PARERRI(lwork, "LWORK", ifail, nerr, kName);

    std::vector<std::string> records(2);
    int nrec = 0;
    int ierror = 0;
    if (nerr != 0) {
        static const rt::Format f = rt::parse_format("(A,I2,A)");
        rt::write_internal(records, 80, f, " ** The input parameters contained ", nerr, " error(s)");
        nrec = 1;
        ierror = 1;
        ifail = ERREXIT(ifail, ierror, kName, nrec, records);
        return;
    }
    if (n == 0) {
        ifail = 0;
        return;
    }
    require_length(a.size(), matrix_extent(n, n, lda), kName, "A");
    require_length(w.size(), n, kName, "W");
    require_length(work.size(), lwork, kName, "WORK");

    const char uplo_arg[2] = {uploc, '\0'};
    const bool upper = uploc == 'U';
    auto at = [&](int i, int j) -> double& {
        return a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lda)];
    };

    // Bring the largest element into [1, sqrt(eps/safmin)] by a power of two.
    const double eps = 0x1.0p-53;
    const double safmin = 2.2250738585072014e-308;
    const double rmax = std::sqrt(eps / safmin);
    double dummy = 0.0;
    const double anrm = dlansy_("M", uplo_arg, &n, a.data(), &lda, &dummy, 1, 1);
    double sigma = 1.0;
    int flag = 0;
    SCLFAC(anrm, 1.0, rmax, sigma, flag);
    const bool scaled = flag == -1;
    if (scaled) {
        const int one = 1;
        for (int j = 1; j <= n; ++j) {
            const int first = upper ? 1 : j;
            const int count = upper ? j : n - j + 1;
            dscal_(&count, &sigma, &at(first, j), &one);
        }
    }

    // Tridiagonal form: diagonal into W, off-diagonal into WORK(1..N), the
    // reflectors' scalars into WORK(N+1..2N), the rest as workspace.
    double* e = work.data();
    double* tau = work.data() + n;
    double* rest = work.data() + 2 * n;
    const int lrest = lwork - 2 * n;
    int info = 0;
    dsytrd_(uplo_arg, &n, a.data(), &lda, w.data(), e, tau, rest, &lrest, &info, 1);
    if (jobc == 'N') {
        dsterf_(&n, w.data(), e, &info);
    } else {
        dorgtr_(uplo_arg, &n, a.data(), &lda, tau, rest, &lrest, &info, 1);
        dsteqr_("V", &n, w.data(), e, a.data(), &lda, work.data() + n, &info, 1);
    }

    if (info > 0) {
        static const rt::Format f = rt::parse_format("(A,/,A,I6,A)");
        rt::write_internal(records, 80, f, " ** The QR algorithm failed to converge:", " ** ", info,
                           " off-diagonal elements of the tridiagonal form have not converged");
        nrec = 2;
        ierror = 2;
    } else {
        const int one = 1;
        if (scaled) {
            const double back = 1.0 / sigma;
            dscal_(&n, &back, w.data(), &one);
        }
        if (jobc == 'V') {
            // The first element of largest absolute value decides the sign.
            const double minus = -1.0;
            for (int j = 1; j <= n; ++j) {
                const int imax = idamax_(&n, &at(1, j), &one);
                if (at(imax, j) < 0.0) dscal_(&n, &minus, &at(1, j), &one);
            }
        }
    }
    ifail = ERREXIT(ifail, ierror, kName, nrec, records);
}

}  // namespace orv::num1
