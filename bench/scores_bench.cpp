// Factor score benchmark (not a test); bench/scores_bench.sh drives it.
//
//   orv_scores_bench make DIR   writes DIR/scores.dat (100,000 subjects x 200
//                               items on 10 factors) and DIR/scores.in
//                               (PFA 10, Varimax, regression scores)
//   orv_scores_bench run JOB    runs the engine on JOB as orvcalc does and
//                               prints, from the times at which the window
//                               records came, the whole run, the raw-data
//                               read ("Reading Data" to "Computing
//                               correlations") and the score stage with its
//                               .fsc file ("Computing factor scores" to
//                               "Finished"), in seconds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control/orvcalc.h"
#include "runtime/program.h"
#include "runtime/terminal_host.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSubjects = 100000;
constexpr int kItems = 200;
constexpr int kFactors = 10;

// The terminal host, noting when each window record came.
class TimingHost : public orv::rt::TerminalHost {
public:
    using TerminalHost::TerminalHost;
    void write_record(std::string_view record) override {
        std::string_view text = record.empty() ? record : record.substr(1);
        const auto first = text.find_first_not_of(' ');
        text = first == std::string_view::npos ? std::string_view() : text.substr(first);
        const auto last = text.find_last_not_of(' ');
        if (!text.empty()) seen.emplace(std::string(text.substr(0, last + 1)), Clock::now());
        TerminalHost::write_record(record);
    }
    std::map<std::string, Clock::time_point> seen;  // first time of each text
};

// Exact 64-bit generator; Irwin-Hall deviates.
struct Generator {
    std::uint64_t state;
    double uniform() {
        state = 6364136223846793005ULL * state + 1442695040888963407ULL;
        return static_cast<double>(state >> 32) / 4294967296.0;
    }
    double normal() {
        double s = 0.0;
        for (int k = 0; k < 12; ++k) s += uniform();
        return s - 6.0;
    }
};

int make(const std::string& dir) {
    std::FILE* data = std::fopen((dir + "/scores.dat").c_str(), "w");
    if (data == nullptr) return 1;
    Generator g{20261209};
    std::vector<char> line;
    double f[kFactors];
    for (int s = 1; s <= kSubjects; ++s) {
        for (double& v : f) v = g.normal();
        std::fprintf(data, "%7d", s);
        for (int j = 0; j < kItems; ++j) {
            const double load = 0.55 + 0.02 * (j % 11);
            const double v = 50.0 + 10.0 * (load * f[j % kFactors] + 0.7 * g.normal());
            std::fprintf(data, "%6.2f", std::clamp(v, 0.0, 99.99));
        }
        std::fputc('\n', data);
    }
    std::fclose(data);
    std::ofstream job(dir + "/scores.in");
    job << ">TITLE: Score benchmark, 100000 subjects, 200 items, 10 factors\n"
        << ">DATA: scores.dat " << kItems << " " << kSubjects << "\n"
        << ">OUTFILE: scores.out SHORT\n"
        << ">METRIC: CO RAW NOSMOOTH\n"
        << ">MODEL: PFA " << kFactors << " NOLABELS NOSORT\n"
        << ">ROTATE: VARIMAX\n"
        << ">SCORE: REG\n"
        << ">PLOT: NONE\n"
        << ">TECHNICAL: .0001 200 .0001 200 F .2 SMC 130 F\n"
        << ">FORMAT: (F7.0," << kItems << "F6.2)\n";
    return job ? 0 : 1;
}

int run(const std::string& job) {
    TimingHost host(std::vector<std::string>{job});
    orv::rt::set_host(&host);
    const Clock::time_point start = Clock::now();
    const int status = orv::rt::run_program(orv::engine::ORVCALC);
    const Clock::time_point end = Clock::now();
    orv::rt::set_host(nullptr);
    auto at = [&](const char* text) {
        const auto it = host.seen.find(text);
        if (it == host.seen.end()) {
            std::fprintf(stderr, "no window record \"%s\"\n", text);
            return end;
        }
        return it->second;
    };
    auto seconds = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };
    std::fprintf(stderr, "%.3f %.3f %.3f\n", seconds(start, end), seconds(at("Reading Data"), at("Computing correlations")),
                 seconds(at("Computing factor scores"), at("Finished")));
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "make") return make(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "run") return run(argv[2]);
    std::fprintf(stderr, "usage: orv_scores_bench make DIR | run JOB\n");
    return 2;
}
