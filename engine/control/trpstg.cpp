// The triplet test stage (model TRP): every triplet of the job's dichotomous
// items through the one-factor fit of mvntrp.h (its counts from the packed
// items of packed_triplets.h), one report line each, the count of
// suspicious triplets per variable, and the .mvn file.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/codsel.h"
#include "engine/control/stages.h"
#include "engine/stats/mvntrp.h"
#include "engine/stats/packed_triplets.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"
#include "runtime/ordered_writer.h"
#include "runtime/records.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// A value as a short text for a message: G15.7 without its blanks.
std::string value_text(double value) {
    static const rt::Format g = rt::parse_format("(G15.7)");
    std::string text = rt::format_records(g, value);
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? text : text.substr(first, last - first + 1);
}

}  // namespace

void TRPJOB(const JOBSET& job) {
    if (!is_word(job.DATTYP, "RAW")) {
        FATAL("FATAL ERROR: Input type " + trimmed(job.DATTYP) + " cannot be used with model " +
              trimmed(job.MODTYP) + " on >MODEL: line");
    }
    if (job.NVAR < 3) FATAL("FATAL ERROR: The triplet test needs at least 3 variables on >DATA: line");
}

void TRPDAT(const JOBSET& job, const RUNDATA& run) {
    static const rt::Format no_variance = rt::parse_format("(T30,A21,I4,A16,///)");
    const auto nsubj = static_cast<std::size_t>(job.NSUBJ);
    for (int v = 0; v < job.NVAR; ++v) {
        const double* column = run.X.data() + static_cast<std::size_t>(v) * nsubj;
        for (std::size_t s = 0; s < nsubj; ++s) {
            if (column[s] != 0.0 && column[s] != 1.0) {
                FATAL("FATAL ERROR: Variable " + std::to_string(v + 1) + " has the response " +
                      value_text(column[s]) + " for subject " + std::to_string(s + 1) +
                      "; the triplet test takes only 0 and 1");
            }
        }
    }
    for (int v = 0; v < job.NVAR; ++v) {
        const double* column = run.X.data() + static_cast<std::size_t>(v) * nsubj;
        const auto ones = std::count(column, column + nsubj, 1.0);
        if (ones == 0 || ones == static_cast<std::ptrdiff_t>(nsubj)) {
            rt::write(LUCON, no_variance, "FATAL ERROR: VARIABLE", v + 1, " HAS NO VARIANCE");
            throw rt::Stop{"", 1};
        }
    }
}

void TRPSTG(JOBSET& job, RUNDATA& run, int THREADS) {
    static const rt::Format head =
        rt::parse_format("(/,/,\"0==============Triplet Test of Multivariate Normality============0\",/)");
    static const rt::Format columns = rt::parse_format("(\"   Triplet    LR Chi-Square\",/)");
    static const rt::Format progress =
        rt::parse_format("(\"+\",T30,\"Computing Triplet Test for variables \",I3,1X,I3,1X,I3)");
    static const rt::Format line = rt::parse_format("(3(I3,1X),2X,F10.4,A2)");
    static const rt::Format tested = rt::parse_format("(/,\"Number of triplets tested = \",I8)");
    static const rt::Format summary = rt::parse_format(
        "(/,\"Variable         # of times                    % of times \",/,"
        "\"            in a suspicious triplet       in a suspicious triplet\",/,"
        "\"                                               (1.00 = 1%)            \",/,"
        "\"--------   ------------------------       ------------------------\")");
    static const rt::Format row = rt::parse_format("(I3,13X,I8,23X,F8.2)");
    static const rt::Format mvn_record = rt::parse_format("(9999(F9.3,2X))");

    const int nvar = job.NVAR;
    rt::write(LURPT, head);
    rt::write(LURPT, columns);

    // T = C(NVAR, 3), each division exact.
    const std::int64_t triplets = triplet_count(nvar);

    // Thresholds once per variable, here on the calling thread, where the
    // library's error stack may be used.
    const PackedItems items = pack_items(run.X, job.NSUBJ, nvar);
    std::vector<std::int64_t> suspicious(static_cast<std::size_t>(nvar), 0);
    rt::write_list(LUCON);

    // The first .mvn record is one statement, fed as the triplets are
    // committed; format reversion starts a new record after 9999 values.
    const bool mvn = CODSEL(job, "MVN");
    rt::UnitSink mvn_sink(LUMVN);
    std::unique_ptr<rt::FormattedOutput> statistics;
    if (mvn) {
        OPNMAT(LUMVN, job.JOBDIR, job.JOBBAS, "mvn");
        statistics = std::make_unique<rt::FormattedOutput>(mvn_sink, mvn_record);
    }

    // Rounds of triplets: the ordered writer fits them on all threads and
    // writes their report lines in triplet order; then the calling thread
    // writes their window lines, counts them and feeds the .mvn record.  So
    // the report and .mvn are the same whatever the number of threads, and
    // no table grows with the number of triplets.
    const int threads = proc::policy::triplets(THREADS, triplets);
    proc::WorkerPool pool(threads > 1 ? threads : 0);
    const std::size_t round = 4096 * static_cast<std::size_t>(threads);
    std::vector<int> triplet(3 * round);
    std::vector<double> g2(round);
    NXKSUB_KEPT kept;
    int more = 0;
    int current[3] = {0, 0, 0};  // the last triplet made
    for (std::int64_t made = 0; made < triplets;) {
        const auto size = static_cast<std::size_t>(std::min<std::int64_t>(triplets - made, static_cast<std::int64_t>(round)));
        for (std::size_t t = 0; t < size; ++t) {
            NXKSUB(nvar, 3, current, more, kept);
            more = 1;
            std::copy_n(current, 3, &triplet[3 * t]);
        }
        made += static_cast<std::int64_t>(size);
        rt::write_in_order(pool, LURPT, size, [&](std::size_t t, rt::HeldRecords& held) {
            const int i = triplet[3 * t], j = triplet[3 * t + 1], k = triplet[3 * t + 2];
            g2[t] = triplet_g2(items, run.R, nvar, i, j, k);
            rt::write(held, line, i, j, k, g2[t], mvn_mark(g2[t]));
        });
        for (std::size_t t = 0; t < size; ++t) {
            const int i = triplet[3 * t], j = triplet[3 * t + 1], k = triplet[3 * t + 2];
            rt::write(LUCON, progress, i, j, k);
            if (g2[t] >= MVN_SUSPECT) {
                ++suspicious[static_cast<std::size_t>(i - 1)];
                ++suspicious[static_cast<std::size_t>(j - 1)];
                ++suspicious[static_cast<std::size_t>(k - 1)];
            }
            if (statistics) *statistics << g2[t];
        }
    }

    rt::write(LURPT, tested, static_cast<long long>(triplets));
    rt::write(LURPT, summary);
    std::vector<double> percent(static_cast<std::size_t>(nvar));
    const double per_variable = 3.0 * static_cast<double>(triplets) / static_cast<double>(nvar);
    for (int v = 1; v <= nvar; ++v) {
        const std::int64_t count = suspicious[static_cast<std::size_t>(v - 1)];
        percent[static_cast<std::size_t>(v - 1)] = 100.0 * static_cast<double>(count) / per_variable;
        rt::write(LURPT, row, v, static_cast<long long>(count), percent[static_cast<std::size_t>(v - 1)]);
    }
    if (statistics) {
        statistics->finish();
        statistics.reset();
        rt::write(LUMVN, mvn_record, percent);
        rt::close_unit(LUMVN);
    }
}

}  // namespace orv::engine
