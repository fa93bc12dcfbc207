#include "engine/control/rdload.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/correlation_check.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
#include "engine/control/short_file.h"
#include "engine/stats/library_status.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines2/devesf.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"
#include "runtime/units.h"

namespace orv::engine {

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

    // The rows grow with what is read, so that a variable count the file
    // cannot meet takes no memory beyond what it holds; L is made once
    // every row is in.
    std::vector<double> rows;  // variable after variable, NFAC loadings each
    if (nvar > 0) {
        const rt::Format format = rt::parse_unit_format(LUDAT, trimmed(DATFMT));
        rt::UnitSource unit(LUDAT);
        CountingSource source(unit);
        for (std::size_t i = 0; i < nvar; ++i) {
            try {
                rt::FormattedInput in(source, format);
                for (std::size_t k = 0; k < nfac; ++k) {
                    double value = 0.0;
                    in >> value;
                    if (!std::isfinite(value)) stop_not_finite(rt::unit_file_name(LUDAT), source.records(), value);
                    // The rotations sum fourth powers of the loadings over
                    // the variables (the Varimax criterion): a loading whose
                    // sum would overflow is no loading.
                    const double square = value * value;
                    if (!std::isfinite(square * square * static_cast<double>(nvar)))
                        stop_too_large(rt::unit_file_name(LUDAT), source.records(), value,
                                       "the sums of fourth powers of the loadings overflow");
                    rows.push_back(value);
                }
                in.finish();
            } catch (const rt::IoError& e) {
                if (!end_of_file(e)) throw;
                stop_file_ends(rt::unit_file_name(LUDAT), source.records(),
                               held_for(i, "rows of the loading matrix", NVAR, "variables", ">DATA:"));
            }
        }
    }
    L.assign(nvar * nfac, 0.0);
    for (std::size_t i = 0; i < nvar; ++i)
        for (std::size_t k = 0; k < nfac; ++k) L[i + k * nvar] = rows[i * nfac + k];
    std::vector<double>().swap(rows);

    PHI.clear();
    if (DATTYP.substr(0, 4) == "FLD2") {
        open_input(LUPHIN, trimmed(PHIFIL), phi_missing, "FATAL ERROR! Factor correlation file not found");
        // Smaller than L, whose NFAC columns the loading file has filled.
        PHI.assign(nfac * nfac, 0.0);
        rt::UnitSource unit(LUPHIN);
        CountingSource source(unit);
        for (std::size_t i = 0; i < nfac; ++i) {
            try {
                rt::ListInput in(source);
                for (std::size_t k = 0; k < nfac; ++k) {
                    in >> PHI[i + k * nfac];
                    if (!std::isfinite(PHI[i + k * nfac]))
                        stop_not_finite(rt::unit_file_name(LUPHIN), source.records(), PHI[i + k * nfac]);
                }
                in.finish();
            } catch (const rt::IoError& e) {
                if (!end_of_file(e)) throw;
                stop_file_ends(rt::unit_file_name(LUPHIN), source.records(),
                               held_for(i, "rows of the factor correlation matrix", NFAC, "factors", ">MODEL:"));
            }
        }
        require_correlation_matrix(PHI, nfac, "factor correlation file " + rt::unit_file_name(LUPHIN));

        if (nfac > 0) {
            std::vector<double> eval(nfac, 0.0);
            std::vector<double> evec(nfac * nfac, 0.0);
            std::vector<double> a = PHI;  // PHI stays as read
            const int n = static_cast<int>(nfac);
            num2::DEVESF(n, n, a, n, false, eval, evec, n);
            stop_on_library_error();
            // Positive semidefinite within the rounding of the entries and
            // of the decomposition: an eigenvalue that rounding alone made
            // negative counts as 0.
            const double largest = *std::max_element(eval.begin(), eval.end());
            const double rounding = static_cast<double>(nfac) * std::max(largest, 1.0) * kFullPrecisionRounding;
            for (double& e : eval) {
                if (e < -rounding)
                    FATAL(phi_indefinite, "FATAL ERROR! Factor correlation matrix has a negative eigenvalue");
                e = std::max(e, 0.0);
            }

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
