// A run stopped from outside by SIGTERM or SIGINT ends with exit status 1
// and leaves a report that ends where the run stopped: what was written
// before the signal is in the file, though it was still held in the unit's
// buffer when the signal came.
// CTest label: threads
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/engine_run.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

class StopSignal : public orv::testing::EngineRun {
protected:
    // Starts orvcalc on `job` in the run's folder with its window on a pipe.
    void start(const std::string& job) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        const std::string script = "cd '" + dir_.string() + "' && exec '" + ORVCALC_PATH + "' '" + job + "'";
        const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
        ASSERT_EQ(posix_spawn(&pid_, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }

    // Reads the window until it shows `text`; false after `limit`.
    bool wait_for(const std::string& text, std::chrono::seconds limit) {
        const auto end = Clock::now() + limit;
        while (window_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return false;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
            char buf[4096];
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return false;
            window_.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }

    // The exit status once the program has ended, -1 when it did not exit by
    // itself within `limit` (it is then killed).
    int finish(std::chrono::seconds limit) {
        const auto end = Clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > end) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                pid_ = 0;
                ::close(out_);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = 0;
        wait_for("\x01", std::chrono::seconds(1));  // the rest of the window, up to its end
        ::close(out_);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A run left behind by a failed assertion is ended here.
    void TearDown() override {
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        EngineRun::TearDown();
    }

    pid_t pid_ = 0;
    int out_ = -1;
};

TEST_F(StopSignal, InterruptedRunLeavesTheReportWrittenSoFar) {
    put(at("data.dat"), " 1 1 2 4\n 2 2 2 3\n 3 3 4 1\n 4 4 3 2\n 5 5 5 1\n 6 2 1 5\n");
    // A criterion below zero is never met: the communality iteration runs
    // for the whole of its (huge) pass limit, after the report head, the
    // correlations and the eigenvalue plot have been written.
    put(at("job.in"),
        ">TITLE: a long extraction\n>DATA: data.dat 3 6\n>OUTFILE: run.out LONG\n>METRIC: CO RAW NS\n"
        ">MODEL: PFA 1 NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n"
        ">TECHNICAL: -1 2000000000 0.0001 200 T 0.2 ONE 130 F\n>FORMAT: (F2.0,3F2.0)\n");
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        window_.clear();
        std::filesystem::remove(at("run.out"));
        start("job.in");
        ASSERT_TRUE(wait_for("Performing factor analysis", std::chrono::seconds(60))) << window_;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(::kill(pid_, signal), 0);
        EXPECT_EQ(finish(std::chrono::seconds(20)), 1) << window_;
        EXPECT_NE(window_.find("Stop - Program terminated by signal " + std::to_string(signal)), std::string::npos)
            << window_;

        const std::string report = get(at("run.out"));
        EXPECT_NE(report.find("COMMAND LISTING"), std::string::npos);
        EXPECT_NE(report.find("Eigenvalues of Initial Correlation Matrix"), std::string::npos);
        // It ends with the last record of the eigenvalue plot, whole.
        ASSERT_FALSE(report.empty());
        EXPECT_EQ(report.back(), '\n');
        const std::size_t last = report.find_last_not_of('\n');
        ASSERT_NE(last, std::string::npos);
        const std::size_t line = report.rfind('\n', last) + 1;
        EXPECT_NE(report.substr(line, last + 1 - line).find("1.200     1.600"), std::string::npos) << report;
        EXPECT_EQ(report.find("Failed to Converge"), std::string::npos);
    }
}

// A run that waits for data from a pipe holds no lock while it waits, so the
// stop writes the files at once instead of giving up on a blocked transfer.
TEST_F(StopSignal, RunWaitingForItsDataStopsAtOnce) {
    ASSERT_EQ(::mkfifo(at("data.pipe").c_str(), 0600), 0);
    // Held open for reading and writing here, so the engine's open does not
    // wait for a writer and its reads wait for more data.
    const int pipe = ::open(at("data.pipe").c_str(), O_RDWR);
    ASSERT_GE(pipe, 0);
    const std::string first = " 1 1 2 4\n";
    ASSERT_EQ(::write(pipe, first.data(), first.size()), static_cast<ssize_t>(first.size()));
    put(at("job.in"),
        ">TITLE: data from a pipe\n>DATA: data.pipe 3 6\n>OUTFILE: run.out LONG\n>METRIC: CO RAW NS\n"
        ">MODEL: PFA 1 NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n>FORMAT: (F2.0,3F2.0)\n");
    start("job.in");
    // The window holds its last line back; the banner shows the run has begun.
    ASSERT_TRUE(wait_for("Orvalis 2.0", std::chrono::seconds(60))) << window_;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(::kill(pid_, SIGTERM), 0);
    EXPECT_EQ(finish(std::chrono::seconds(20)), 1) << window_;
    // Nothing was lost to a blocked transfer: the line says so otherwise.
    EXPECT_NE(window_.find("Stop - Program terminated by signal 15 (Terminated)\n"), std::string::npos) << window_;
    EXPECT_TRUE(std::filesystem::exists(at("run.out")));
    ::close(pipe);
}

}  // namespace
