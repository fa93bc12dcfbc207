// End-to-end runs of the real engine on a folder of jobs and their data,
// compared with golden folders.  The folder is copied to <tmp>/jobs and the
// engine runs from <tmp>/work on <tmp>/jobs/<job>.in, so a report named
// without a folder lands in the working folder and the matrix and side files
// beside the command file.  Tests that use it define ORVCALC_PATH.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "support/files.h"

namespace orv::test {

// What a run leaves, by name: "status" (the exit status and a newline),
// "window", "report" (the job's .out), "work:<name>" for the other files of
// the working folder, and each file the run added beside the command file.
using JobOutputs = std::map<std::string, std::string>;

class JobFolder {
public:
    explicit JobFolder(const fs::path& jobs) : dir_("orv_jobs") {
        fs::create_directories(dir_ / "work");
        fs::copy(jobs, dir_ / "jobs");
    }

    // The copy of the jobs' folder, where the command files and their data
    // lie and the matrix and side files are written.
    fs::path jobs() const { return dir_ / "jobs"; }

    // Runs the job with standard input empty.
    JobOutputs run(const std::string& job) {
        std::set<std::string> inputs;
        for (const auto& entry : fs::directory_iterator(dir_ / "jobs")) inputs.insert(entry.path().filename());
        const std::string command = "cd '" + (dir_ / "work").string() + "' && '" + ORVCALC_PATH + "' '" +
                                    (dir_ / "jobs" / (job + ".in")).string() + "' < /dev/null > '" +
                                    (dir_ / "window").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        JobOutputs out;
        out["status"] = std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\n";
        out["window"] = read_file(dir_ / "window");
        for (const auto& entry : fs::directory_iterator(dir_ / "work"))
            out[entry.path().filename() == job + ".out" ? "report" : "work:" + entry.path().filename().string()] =
                read_file(entry.path());
        for (const auto& entry : fs::directory_iterator(dir_ / "jobs"))
            if (!inputs.count(entry.path().filename())) out[entry.path().filename()] = read_file(entry.path());
        return out;
    }

private:
    TempDir dir_;
};

// GOT against the golden FOLDER: the same names, each file byte for byte.
// Under ORV_UPDATE_GOLDEN the folder is written anew from GOT.
inline void expect_golden_outputs(const fs::path& folder, const JobOutputs& got) {
    if (updating_golden()) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& [name, text] : got) write_file(folder / name, text);
        return;
    }
    ASSERT_TRUE(fs::is_directory(folder)) << "no golden files in " << folder;
    std::set<std::string> want_names, got_names;
    for (const auto& entry : fs::directory_iterator(folder)) want_names.insert(entry.path().filename());
    for (const auto& item : got) got_names.insert(item.first);
    EXPECT_EQ(got_names, want_names) << folder;
    for (const auto& name : want_names) {
        const auto it = got.find(name);
        if (it != got.end()) {
            EXPECT_EQ(it->second, read_file(folder / name)) << folder << ": " << name;
        }
    }
}

}  // namespace orv::test
