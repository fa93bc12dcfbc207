// The stages around factor extraction that are not eigen routines, on one
// thread and on all usable CPUs in the same run (not a test): reading a
// correlation file (RDCOR), the reproduced matrix L L' and the model fit
// (FITSTG, SHORT report, and LONG with the .rsd file).  Each time is the
// best of several calls; the reports and matrices of the two thread counts
// are checked byte for byte.
// Usage: orv_fit_bench [NVAR [NFAC [REPS]]]   (default 1000 10 5)
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "best_time.h"
#include "engine/common/units.h"
#include "engine/control/fitstg.h"
#include "engine/control/rdcor.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01_rank.h"
#include "process/parallel.h"
#include "runtime/host.h"
#include "runtime/terminal_host.h"
#include "runtime/units.h"
#include "process/thread_policy.h"

namespace {

namespace fs = std::filesystem;
using namespace orv;
using orv::bench::best_seconds;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

int main(int argc, char** argv) {
    const int nvar = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int nfac = argc > 2 ? std::atoi(argv[2]) : 10;
    const int reps = argc > 3 ? std::atoi(argv[3]) : 5;
    if (nvar < 2 || nfac < 1 || nfac > nvar || reps < 1) {
        std::fprintf(stderr, "usage: %s [NVAR >= 2 [NFAC [REPS]]]\n", argv[0]);
        return 2;
    }
    const auto n = static_cast<std::size_t>(nvar);
    const auto f = static_cast<std::size_t>(nfac);
    const int all = proc::usable_cpus();
    const fs::path dir = fs::temp_directory_path() / ("orv_fitbench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::FILE* devnull = std::fopen("/dev/null", "w");
    auto host = std::make_unique<rt::TerminalHost>(std::vector<std::string>{}, stdin, devnull, false);
    rt::set_host(host.get());

    // Loadings of bench/make_factor_matrix.py's kind; R0 = L L' with a unit
    // diagonal, R with the communalities on it, written as the job's file.
    std::uint64_t state = 20293;
    auto uniform = [&state] {
        state = 6364136223846793005ull * state + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    std::vector<double> L(n * f);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < f; ++k) L[i + n * k] = 0.2 * uniform() - 0.1;
        L[i + n * (i % f)] = 0.45 + 0.35 * uniform();
    }
    // The file's six decimals leave residuals of the size the benchmark
    // job's fit meets.
    engine::RUNDATA fitted;
    engine::reproduce(L, nvar, nfac, fitted.RHAT, 1);
    {
        std::ofstream cor(dir / "r.cor");
        char field[32];
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                std::snprintf(field, sizeof field, " %9.6f", i == j ? 1.0 : fitted.RHAT[i + n * j]);
                cor << field;
            }
            cor << '\n';
        }
    }
    engine::RDCOR("CO", (dir / "r.cor").string(), nvar, fitted.R0, 1);
    rt::close_unit(engine::LUDAT);
    fitted.R = fitted.R0;
    for (std::size_t i = 0; i < n; ++i) fitted.R[i + n * i] = fitted.RHAT[i + n * i];
    fitted.NPASS = 5;

    struct Stage {
        const char* name;
        double seconds[2];
        std::string output[2];
    };
    std::vector<Stage> stages;
    const int counts[2] = {1, all};

    {
        Stage s{"RDCOR (read the correlation file)", {}, {}};
        for (int c = 0; c < 2; ++c) {
            std::vector<double> r;
            s.seconds[c] = best_seconds(
                reps, [&] { engine::RDCOR("CO", (dir / "r.cor").string(), nvar, r, counts[c]); });
            rt::close_unit(engine::LUDAT);
            s.output[c].assign(reinterpret_cast<const char*>(r.data()), r.size() * sizeof(double));
        }
        stages.push_back(s);
    }
    {
        Stage s{"reproduce (RHAT = L L')", {}, {}};
        for (int c = 0; c < 2; ++c) {
            std::vector<double> rhat;
            s.seconds[c] = best_seconds(
                reps, [&] { engine::reproduce(L, nvar, nfac, rhat, counts[c]); });
            s.output[c].assign(reinterpret_cast<const char*>(rhat.data()), rhat.size() * sizeof(double));
        }
        stages.push_back(s);
    }
    for (const char* verbos : {"SHORT", "LONG "}) {
        Stage s{verbos[0] == 'S' ? "FITSTG, SHORT report" : "FITSTG, LONG report and .rsd file", {}, {}};
        for (int c = 0; c < 2; ++c) {
            engine::JOBSET job;
            job.NVAR = nvar;
            job.NFAC = nfac;
            job.VERBOS = verbos;
            job.PAGEWIDTH = 130;
            job.OUTPUT = "T";
            job.OUTCOD[0] = "RSD";
            job.JOBDIR = dir.string() + "/";
            job.JOBBAS = "fit.job        ";
            engine::RUNDATA run;
            orv::proc::set(orv::proc::Setting::kRankThreads, counts[c]);
            s.seconds[c] = best_seconds(
                reps,
                [&] {
                    run = fitted;
                    rt::open_unit_or_fail(engine::LURPT, (dir / "fit.out").string(),
                                          {rt::OpenStatus::Replace, false});
                    int unit = engine::LURPT;
                    num1::ADVUNIT(1, unit);
                },
                [&] {
                    engine::FITSTG(job, run, counts[c]);
                    rt::close_unit(engine::LURPT);
                });
            s.output[c] = slurp(dir / "fit.out") + (verbos[0] == 'L' ? slurp(dir / "fit.rsd") : "");
        }
        orv::proc::set(orv::proc::Setting::kRankThreads, 0);
        stages.push_back(s);
    }

    bool same = true;
    std::printf("%d x %d, best of %d\n%-40s %10s %10s %8s\n", nvar, nfac, reps, "stage", "1 thread", "threads",
                "ratio");
    for (const Stage& s : stages) {
        std::printf("%-40s %8.1f ms %7.1f ms %8.2f  (%d threads)%s\n", s.name, s.seconds[0] * 1e3,
                    s.seconds[1] * 1e3, s.seconds[0] / s.seconds[1], all,
                    s.output[0] == s.output[1] ? "" : "  OUTPUT DIFFERS");
        same = same && s.output[0] == s.output[1];
    }
    rt::set_host(nullptr);
    host.reset();  // its last words go to the file
    std::fclose(devnull);
    fs::remove_all(dir);
    return same ? 0 : 1;
}
