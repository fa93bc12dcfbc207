#include "engine/control/rdload.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
#include "engine/stats/library_status.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines2/devesf.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// One unit in the last decimal that V is written with (V's shortest
// decimal form), at most 0.001 (a whole number is no rounding of 1), with
// room for the rounding of the comparison.
double last_decimal(double v) {
    char text[400];
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr;
    const std::string_view digits(text, static_cast<std::size_t>(end - text));
    const std::size_t point = digits.find('.');
    const std::size_t decimals = point == std::string_view::npos ? 0 : digits.size() - point - 1;
    return 1.01 * std::pow(10.0, -static_cast<double>(std::max<std::size_t>(decimals, 3)));
}

// The factor correlations must form a correlation matrix, to the precision
// the file writes them with: 1 on the diagonal within one unit of the
// entry's last decimal, symmetric within one unit of the last decimal of
// the more precise of the two entries (never more than 0.001 either way),
// every entry between -1 and 1.  Else the run stops naming the entry.
void require_correlations(const std::vector<double>& phi, std::size_t nfac, const std::string& file) {
    auto entry = [&](std::size_t i, std::size_t k) {
        return "Entry (" + std::to_string(i + 1) + "," + std::to_string(k + 1) + ") of factor correlation file " +
               file + " is " + number_text(phi[i + k * nfac]);
    };
    for (std::size_t i = 0; i < nfac; ++i) {
        const double d = phi[i + i * nfac];
        if (!(std::abs(d - 1.0) <= last_decimal(d)))
            FATAL("FATAL ERROR: " + entry(i, i) + ": a correlation matrix has 1 on its diagonal");
    }
    for (std::size_t i = 0; i < nfac; ++i) {
        for (std::size_t k = 0; k < nfac; ++k) {
            const double v = phi[i + k * nfac];
            if (i != k && !(std::abs(v) <= 1.0))
                FATAL("FATAL ERROR: " + entry(i, k) + ": correlations lie between -1 and 1");
            const double w = phi[k + i * nfac];
            if (k > i && !(std::abs(v - w) <= std::min(last_decimal(v), last_decimal(w))))
                FATAL("FATAL ERROR: " + entry(i, k) + " and entry (" + std::to_string(k + 1) + "," +
                      std::to_string(i + 1) + ") is " + number_text(w) + ": a correlation matrix is symmetric");
        }
    }
}

}  // namespace

void RDLOAD(const std::string& DATFIL, const std::string& DATFMT, const std::string& DATTYP,
            const std::string& PHIFIL, int NVAR, int NFAC, std::vector<double>& L,
            std::vector<double>& PHI, std::vector<double>& COMM, std::vector<double>& FACSS) {
    static const rt::Format pattern_missing = rt::parse_format("(/,T27,A42,/,T30,A,/,/)");
    static const rt::Format phi_missing = rt::parse_format("(/,T27,A47,/,T30,A,/,/)");
    static const rt::Format phi_indefinite = rt::parse_format("(T30,A64,/,/)");

    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    const std::size_t nfac = static_cast<std::size_t>(std::max(NFAC, 0));

    open_input(LUDAT, trimmed(DATFIL), pattern_missing, "FATAL ERROR! Factor Pattern file not found");
    int report = LURPT;
    num1::ADVUNIT(1, report);

    L.assign(nvar * nfac, 0.0);
    if (nvar > 0) {
        const rt::Format format = rt::parse_unit_format(LUDAT, trimmed(DATFMT));
        rt::UnitSource unit(LUDAT);
        CountingSource source(unit);
        for (std::size_t i = 0; i < nvar; ++i) {
            rt::FormattedInput in(source, format);
            for (std::size_t k = 0; k < nfac; ++k) {
                in >> L[i + k * nvar];
                const double value = L[i + k * nvar];
                if (!std::isfinite(value)) stop_not_finite(rt::unit_file_name(LUDAT), source.records(), value);
                // The rotations sum fourth powers of the loadings over the
                // variables (the Varimax criterion): a loading whose sum
                // would overflow is no loading.
                const double square = value * value;
                if (!std::isfinite(square * square * static_cast<double>(nvar)))
                    stop_too_large(rt::unit_file_name(LUDAT), source.records(), value,
                                   "the sums of fourth powers of the loadings overflow");
            }
            in.finish();
        }
    }

    PHI.clear();
    if (DATTYP.substr(0, 4) == "FLD2") {
        open_input(LUPHIN, trimmed(PHIFIL), phi_missing, "FATAL ERROR! Factor correlation file not found");
        PHI.assign(nfac * nfac, 0.0);
        rt::UnitSource unit(LUPHIN);
        CountingSource source(unit);
        for (std::size_t i = 0; i < nfac; ++i) {
            rt::ListInput in(source);
            for (std::size_t k = 0; k < nfac; ++k) {
                in >> PHI[i + k * nfac];
                if (!std::isfinite(PHI[i + k * nfac]))
                    stop_not_finite(rt::unit_file_name(LUPHIN), source.records(), PHI[i + k * nfac]);
            }
            in.finish();
        }
        require_correlations(PHI, nfac, rt::unit_file_name(LUPHIN));

        if (nfac > 0) {
            std::vector<double> eval(nfac, 0.0);
            std::vector<double> evec(nfac * nfac, 0.0);
            std::vector<double> a = PHI;  // PHI stays as read
            const int n = static_cast<int>(nfac);
            num2::DEVESF(n, n, a, n, false, eval, evec, n);
            stop_on_library_error();
            if (std::any_of(eval.begin(), eval.end(), [](double e) { return e < 0.0; }))
                FATAL(phi_indefinite, "FATAL ERROR! Factor correlation matrix has a negative eigenvalue");

            // L := L V Lambda^(1/2): column k of the result is L v_k sqrt(lambda_k).
            std::vector<double> lv(nvar * nfac, 0.0);
            for (std::size_t k = 0; k < nfac; ++k) {
                const double scale = std::sqrt(eval[k]);
                for (std::size_t m = 0; m < nfac; ++m) {
                    const double v = evec[m + k * nfac];
                    for (std::size_t i = 0; i < nvar; ++i) lv[i + k * nvar] += L[i + m * nvar] * v;
                }
                for (std::size_t i = 0; i < nvar; ++i) lv[i + k * nvar] *= scale;
            }
            L.swap(lv);
        }
    }

    COMM.assign(nvar, 0.0);
    FACSS.assign(nfac, 0.0);
    for (std::size_t k = 0; k < nfac; ++k) {
        for (std::size_t i = 0; i < nvar; ++i) {
            const double sq = L[i + k * nvar] * L[i + k * nvar];
            COMM[i] += sq;
            FACSS[k] += sq;
        }
    }
}

}  // namespace orv::engine
