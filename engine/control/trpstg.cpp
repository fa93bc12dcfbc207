// The triplet test stage (model TRP): every triplet of the job's dichotomous
// items through the one-factor fit of mvntrp.h, one report line each, the
// count of suspicious triplets per variable, and the .mvn file.
//
// Triplets are fitted on all cores a block at a time and committed in
// triplet order by the calling thread: the window line, the report line,
// the counts and the statistic's field of the .mvn record.  So the report
// and .mvn are the same whatever the number of threads, and no table grows
// with the number of triplets: the statistics go to .mvn as they are
// committed.
#include <algorithm>
#include <atomic>
#include <bit>
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
#include "numlib/routines2/dnordf.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"
#include "runtime/records.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// Responses of each variable as bits (1 for a response of 1), 64 subjects a
// word, with the count of ones and the threshold Phi^-1(ones / N).
struct Indicators {
    std::size_t words = 0;
    std::vector<std::uint64_t> bits;  // `words` per variable
    std::vector<std::int64_t> ones;
    std::vector<double> tau;
};

// A value as a short text for a message: G15.7 without its blanks.
std::string value_text(double value) {
    static const rt::Format g = rt::parse_format("(G15.7)");
    std::string text = rt::format_records(g, value);
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? text : text.substr(first, last - first + 1);
}

Indicators indicators(const JOBSET& job, const RUNDATA& run) {
    const auto nsubj = static_cast<std::size_t>(job.NSUBJ);
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    Indicators items;
    items.words = (nsubj + 63) / 64;
    items.bits.assign(items.words * nvar, 0);
    items.ones.assign(nvar, 0);
    items.tau.assign(nvar, 0.0);
    for (std::size_t v = 0; v < nvar; ++v) {
        const double* column = run.X.data() + v * nsubj;
        std::uint64_t* bits = &items.bits[v * items.words];
        std::int64_t ones = 0;
        for (std::size_t w = 0; w < items.words; ++w) {
            const std::size_t first = w * 64;
            const std::size_t n = std::min<std::size_t>(64, nsubj - first);
            std::uint64_t word = 0;
            for (std::size_t b = 0; b < n; ++b) word |= static_cast<std::uint64_t>(column[first + b] == 1.0) << b;
            bits[w] = word;
            ones += std::popcount(word);
        }
        items.ones[v] = ones;
        // Thresholds once per variable, here on the calling thread, where
        // the library's error stack may be used.
        items.tau[v] = num2::DNORIN(static_cast<double>(ones) / static_cast<double>(job.NSUBJ));
    }
    return items;
}

// Subjects with response 1 on both or all three items.
struct Joint {
    std::int64_t ij = 0, ik = 0, jk = 0, ijk = 0;
};

__attribute__((always_inline)) inline Joint count_joint(const Indicators& items, int i, int j, int k) {
    const std::uint64_t* a = &items.bits[static_cast<std::size_t>(i - 1) * items.words];
    const std::uint64_t* b = &items.bits[static_cast<std::size_t>(j - 1) * items.words];
    const std::uint64_t* c = &items.bits[static_cast<std::size_t>(k - 1) * items.words];
    Joint n;
    for (std::size_t w = 0; w < items.words; ++w) {
        const std::uint64_t ab = a[w] & b[w];
        n.ij += std::popcount(ab);
        n.ik += std::popcount(a[w] & c[w]);
        n.jk += std::popcount(b[w] & c[w]);
        n.ijk += std::popcount(ab & c[w]);
    }
    return n;
}

// The same, built with the processor's population-count instruction.
__attribute__((target("popcnt"))) Joint count_joint_popcnt(const Indicators& items, int i, int j, int k) {
    return count_joint(items, i, j, k);
}

// The version is chosen by a plain test rather than by the loader (an
// indirect function), whose resolver runs before a sanitizer's run-time is
// ready and so keeps an instrumented program from starting.
Joint joint_ones(const Indicators& items, int i, int j, int k) {
    static const bool popcnt = __builtin_cpu_supports("popcnt");
    return popcnt ? count_joint_popcnt(items, i, j, k) : count_joint(items, i, j, k);
}

// The statistic of the triplet (i, j, k) from its pattern counts.
double triplet_g2(const Indicators& items, const JOBSET& job, const RUNDATA& run, int i, int j, int k) {
    const Joint n = joint_ones(items, i, j, k);
    const std::int64_t ni = items.ones[static_cast<std::size_t>(i - 1)];
    const std::int64_t nj = items.ones[static_cast<std::size_t>(j - 1)];
    const std::int64_t nk = items.ones[static_cast<std::size_t>(k - 1)];
    const std::int64_t counts[8] = {
        n.ijk,                                                   // 1 1 1
        n.ik - n.ijk,                                            // 1 0 1
        n.ij - n.ijk,                                            // 1 1 0
        ni - n.ij - n.ik + n.ijk,                                // 1 0 0
        n.jk - n.ijk,                                            // 0 1 1
        nk - n.ik - n.jk + n.ijk,                                // 0 0 1
        nj - n.ij - n.jk + n.ijk,                                // 0 1 0
        job.NSUBJ - ni - nj - nk + n.ij + n.ik + n.jk - n.ijk,  // 0 0 0
    };
    int o[8];
    for (int p = 0; p < 8; ++p) o[p] = static_cast<int>(counts[p]);
    const double tau[3] = {items.tau[static_cast<std::size_t>(i - 1)], items.tau[static_cast<std::size_t>(j - 1)],
                           items.tau[static_cast<std::size_t>(k - 1)]};
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    auto r = [&](int a, int b) {
        return run.R[static_cast<std::size_t>(a - 1) + static_cast<std::size_t>(b - 1) * nvar];
    };
    return mvn_fit(o, job.NSUBJ, tau, r(i, j), r(i, k), r(j, k)).g2;
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

    TRPJOB(job);
    TRPDAT(job, run);
    const int nvar = job.NVAR;
    rt::write(LURPT, head);
    rt::write(LURPT, columns);

    // T = C(NVAR, 3), each division exact.
    const std::int64_t triplets = triplet_count(nvar);

    const Indicators items = indicators(job, run);
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

    // Blocks of triplets in two buffers: while the helpers fit the next
    // block, the calling thread commits the current one, then joins them.
    const int threads = rt::policy::triplets(THREADS, triplets);
    rt::WorkerPool pool(threads - 1);
    const std::size_t block = 256 * static_cast<std::size_t>(threads);
    struct Block {
        std::vector<int> triplet;
        std::vector<double> g2;
        std::size_t size = 0;
        std::atomic<std::size_t> next{0};  // the next triplet to fit
    };
    Block blocks[2];
    for (Block& b : blocks) {
        b.triplet.resize(3 * block);
        b.g2.resize(block);
    }
    NXKSUB_KEPT kept;
    int more = 0;
    int current[3] = {0, 0, 0};  // the last triplet made
    std::int64_t made = 0;
    auto fill = [&](Block& b) {
        b.size = static_cast<std::size_t>(std::min<std::int64_t>(triplets - made, static_cast<std::int64_t>(block)));
        for (std::size_t t = 0; t < b.size; ++t) {
            NXKSUB(nvar, 3, current, more, kept);
            more = 1;
            std::copy_n(current, 3, &b.triplet[3 * t]);
        }
        made += static_cast<std::int64_t>(b.size);
        b.next = 0;
    };
    auto fit = [&](Block& b) {
        for (std::size_t t; (t = b.next.fetch_add(1)) < b.size;)
            b.g2[t] = triplet_g2(items, job, run, b.triplet[3 * t], b.triplet[3 * t + 1], b.triplet[3 * t + 2]);
    };
    auto commit = [&](const Block& b) {
        for (std::size_t t = 0; t < b.size; ++t) {
            const int i = b.triplet[3 * t], j = b.triplet[3 * t + 1], k = b.triplet[3 * t + 2];
            const double g = b.g2[t];
            rt::write(LUCON, progress, i, j, k);
            rt::write(LURPT, line, i, j, k, g, mvn_mark(g));
            if (g >= MVN_SUSPECT) {
                ++suspicious[static_cast<std::size_t>(i - 1)];
                ++suspicious[static_cast<std::size_t>(j - 1)];
                ++suspicious[static_cast<std::size_t>(k - 1)];
            }
            if (statistics) *statistics << g;
        }
    };
    // Fits block B on the helpers and, once BEFORE has run, on this thread.
    auto fit_while = [&](Block& b, auto before) {
        const bool helped = pool.helpers() > 0 && b.size > 1;
        if (helped) pool.start(pool.helpers(), [&](int) { fit(b); });
        try {
            before();
            fit(b);
        } catch (...) {
            b.next = b.size;
            if (helped) pool.wait();
            throw;
        }
        if (helped) pool.wait();
    };
    fill(blocks[0]);
    fit_while(blocks[0], [] {});
    for (int cur = 0; blocks[cur].size > 0; cur ^= 1) {
        Block& next = blocks[cur ^ 1];
        fill(next);
        fit_while(next, [&] { commit(blocks[cur]); });
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
