// Runs the real engine program on files in a fresh temporary folder, for
// end-to-end tests: exit status, window text and the files it leaves.
// Tests that use it define ORVCALC_PATH (tests/engine/CMakeLists.txt).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/files.h"

namespace orv::testing {

class EngineRun : public ::testing::Test {
protected:
    // A file of the run's folder.
    std::filesystem::path at(const std::string& name) const { return dir_ / name; }

    static void put(const std::filesystem::path& path, const std::string& text) { write_file(path, text); }
    static std::string get(const std::filesystem::path& path) { return read_file(path); }

    // Runs orvcalc in the run's folder on the command file `job` (a name in
    // the folder), standard input empty; returns the exit status (-1 when
    // the program did not exit) and keeps the window text in window_.  With
    // `seconds`, a run still going after that long is killed and returns
    // 137.
    int run(const std::string& job, int seconds = 0) {
        const std::string quoted = "'" + job + "'";
        const int status =
            seconds > 0 ? run_program(dir_, "timeout",
                                      "-s KILL " + std::to_string(seconds) + " '" + ORVCALC_PATH + "' " + quoted,
                                      dir_ / ".window")
                        : run_program(dir_, ORVCALC_PATH, quoted, dir_ / ".window");
        window_ = get(dir_ / ".window");
        std::filesystem::remove(dir_ / ".window");
        return status;
    }

    TempDir dir_{"orv_engine_run"};
    std::string window_;
};

// Whole jobs of one folder of test jobs (JOBS: command files and their
// data), each run by the full path of its command file from another
// working folder.  A run gives what a golden folder holds: "status",
// "window", "report" (the report, named without a folder, lands in the
// working folder), "work:NAME" for any other file there, and every file
// made beside the command file.
class JobFolderRun {
public:
    explicit JobFolderRun(const std::filesystem::path& jobs) : source_(jobs) {
        std::filesystem::create_directories(jobs_dir());
        std::filesystem::create_directories(dir_ / "work");
        for (const auto& entry : std::filesystem::directory_iterator(source_))
            if (entry.path().extension() != ".in")
                std::filesystem::copy_file(entry.path(), jobs_dir() / entry.path().filename());
    }
    std::filesystem::path jobs_dir() const { return dir_ / "jobs"; }

    Outputs run(const std::string& job) {
        std::set<std::string> inputs;
        for (const auto& entry : std::filesystem::directory_iterator(jobs_dir())) inputs.insert(entry.path().filename());
        std::filesystem::copy_file(source_ / (job + ".in"), jobs_dir() / (job + ".in"));
        inputs.insert(job + ".in");
        const int status =
            run_program(dir_ / "work", ORVCALC_PATH, "'" + (jobs_dir() / (job + ".in")).string() + "'", dir_ / "window");
        Outputs out;
        out["status"] = std::to_string(status) + "\n";
        out["window"] = read_file(dir_ / "window");
        for (const auto& entry : std::filesystem::directory_iterator(dir_ / "work"))
            out[entry.path().filename() == job + ".out" ? "report" : "work:" + entry.path().filename().string()] =
                read_file(entry.path());
        for (const auto& entry : std::filesystem::directory_iterator(jobs_dir()))
            if (!inputs.count(entry.path().filename())) out[entry.path().filename()] = read_file(entry.path());
        return out;
    }

private:
    std::filesystem::path source_;
    TempDir dir_{"orv_jobs"};
};

}  // namespace orv::testing
