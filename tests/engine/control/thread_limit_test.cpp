// The real program as an ordinary user whose processes and threads are
// limited (ulimit -u 2, 3, 5 and 9, as shared servers set it): a
// principal-axes job of 400 items with an oblique rotation, a tetrachoric
// job and a triplet job end as on one CPU, every file byte for byte the
// same, however few of their threads could start.  Runs as root, which
// makes the user if it is missing; skips otherwise.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/cpus.h"
#include "support/factor_matrix.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;
using orv::testing::write_file;

constexpr const char* kUser = "orvlimit";

// A job: its command file and the data it names.
struct Job {
    std::string name;
    std::string command;
    void (*write_data)(const fs::path& dir);
};

// Dichotomous scores of NITEMS items of one latent trait, subject number
// first: format (F5.0,1X,<NITEMS>F1.0).
void write_scores(const fs::path& path, int nitems, int nsubj) {
    std::uint64_t state = 77;
    auto uniform = [&state] {
        state = 6364136223846793005ull * state + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    std::string text;
    for (int s = 1; s <= nsubj; ++s) {
        const double trait = uniform() + uniform() + uniform() - 1.5;
        char head[8];
        std::snprintf(head, sizeof head, "%5d ", s);
        text += head;
        for (int i = 0; i < nitems; ++i) {
            const double difficulty = -0.9 + 1.8 * i / nitems;
            text += trait + 0.8 * (uniform() - 0.5) > difficulty ? '1' : '0';
        }
        text += '\n';
    }
    write_file(path, text);
}

const std::vector<Job>& jobs() {
    static const std::vector<Job> all = {
        {"pfa400",
         ">TITLE: Principal axes of 400 items, Oblimin\n"
         ">DATA: r400.cor 400 1000\n"
         ">OUTFILE: pfa400.out SHORT\n"
         ">METRIC: CO COR NOSMOOTH\n"
         ">MODEL: PFA 8 NOLABELS NOSORT\n"
         ">ROTATE: OBLIMIN 0.0\n"
         ">SCORE: NONE\n"
         ">PLOT: NONE\n"
         ">TECHNICAL: .0001 200 .0001 200 F .2 SMC 130 T\n"
         ">OUTPUT: 3 EIG FAC PHI\n"
         ">FORMAT: (400F10.6)\n",
         [](const fs::path& dir) { ASSERT_TRUE(orv::testing::write_factor_matrix(dir / "r400.cor", 400, 8)); }},
        {"tet",
         ">TITLE: Tetrachoric correlations of 40 items\n"
         ">DATA: scores.dat 40 1500\n"
         ">OUTFILE: tet.out LONG\n"
         ">METRIC: DI RAW SM\n"
         ">MODEL: CMT 2 NOLABELS NOSORT\n"
         ">ROTATE: NONE\n"
         ">SCORE: NOSCORE\n"
         ">PLOT: NONE\n"
         ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 130 T\n"
         ">OUTPUT: 2 COR EIG\n"
         ">FORMAT: (F5.0,1X,40F1.0)\n",
         [](const fs::path& dir) { write_scores(dir / "scores.dat", 40, 1500); }},
        {"trp",
         ">TITLE: Triplets of 24 items\n"
         ">DATA: scores.dat 24 800\n"
         ">OUTFILE: trp.out LONG\n"
         ">METRIC: DI RAW SM\n"
         ">MODEL: TRP 0 NOLABELS NOSORT\n"
         ">ROTATE: NONE\n"
         ">SCORE: NONE\n"
         ">PLOT: NONE\n"
         ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 130 T\n"
         ">OUTPUT: 2 COR MVN\n"
         ">FORMAT: (F5.0,1X,24F1.0)\n",
         [](const fs::path& dir) { write_scores(dir / "scores.dat", 24, 800); }},
    };
    return all;
}

// The user's ids, made with useradd when it is missing; false when there
// is no such user and none can be made.
bool limited_user(uid_t& uid, gid_t& gid) {
    const passwd* pw = ::getpwnam(kUser);
    if (pw == nullptr) {
        const std::string add = std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") + kUser +
                                " > /dev/null 2>&1";
        if (std::system(add.c_str()) != 0) return false;
        pw = ::getpwnam(kUser);
        if (pw == nullptr) return false;
    }
    uid = pw->pw_uid;
    gid = pw->pw_gid;
    return true;
}

// Runs orvcalc on JOB in DIR as UID and GID with at most LIMIT processes and
// threads of that user (0: as the test itself runs), the window text in
// DIR/window.txt; the exit status, -1 when it did not exit.
int run_limited(const fs::path& dir, const std::string& job, uid_t uid, gid_t gid, int limit) {
    const std::string window = (dir / "window.txt").string();
    const std::string program = ORVCALC_PATH;
    // The leak check of a sanitizer build starts a thread of its own at the
    // end, which the limit would refuse.
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "ASAN_OPTIONS=detect_leaks=0"};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = "orvcalc", arg1 = job;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    const int out = ::open(window.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        if (limit > 0) {
            const rlimit nproc{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setrlimit(RLIMIT_NPROC, &nproc) != 0 ||
                ::setuid(uid) != 0)
                ::_exit(125);
        }
        ::execve(program.c_str(), argv, envp.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(in);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> files_of(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) files[entry.path().filename()] = read_file(entry.path());
    return files;
}

TEST(ThreadLimit, JobsGiveTheFilesOfOneCpuHoweverFewThreadsCanStart) {
    if (::geteuid() != 0) GTEST_SKIP() << "runs the program as another user, which needs root";
    uid_t uid = 0;
    gid_t gid = 0;
    if (!limited_user(uid, gid)) GTEST_SKIP() << "no user " << kUser << " and none can be made";
    const orv::testing::TempDir tmp("orv_nproc");
    ::chmod(tmp.path().c_str(), 0755);
    for (const Job& job : jobs()) {
        SCOPED_TRACE(job.name);
        const fs::path one = tmp / (job.name + "_one");
        fs::create_directories(one);
        write_file(one / (job.name + ".in"), job.command);
        job.write_data(one);
        {
            const orv::testing::OneCpu pinned;
            ASSERT_EQ(run_limited(one, job.name + ".in", 0, 0, 0), 0) << read_file(one / "window.txt");
        }
        const auto want = files_of(one);
        ASSERT_GT(want.size(), 4u);
        for (const int limit : {2, 3, 5, 9}) {
            SCOPED_TRACE("ulimit -u " + std::to_string(limit));
            const fs::path dir = tmp / (job.name + "_" + std::to_string(limit));
            fs::create_directories(dir);
            write_file(dir / (job.name + ".in"), job.command);
            job.write_data(dir);
            ASSERT_EQ(::chown(dir.c_str(), uid, gid), 0);
            EXPECT_EQ(run_limited(dir, job.name + ".in", uid, gid, limit), 0) << read_file(dir / "window.txt");
            const auto got = files_of(dir);
            ASSERT_EQ(got.size(), want.size());
            for (const auto& [name, text] : want) {
                const auto it = got.find(name);
                ASSERT_NE(it, got.end()) << name;
                EXPECT_TRUE(it->second == text) << name << " differs";
            }
        }
    }
}

}  // namespace
