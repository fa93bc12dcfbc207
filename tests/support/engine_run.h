// Runs the real engine program on files in a fresh temporary folder, for
// end-to-end tests: exit status, window text and the files it leaves.
// Tests that use it define ORVCALC_PATH (tests/engine/CMakeLists.txt).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orv::testing {

class EngineRun : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orv_engine_run_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A file of the run's folder.
    std::filesystem::path at(const std::string& name) const { return dir_ / name; }

    static void put(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string get(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Runs orvcalc in the run's folder on the command file `job` (a name in
    // the folder), standard input empty; returns the exit status (-1 when
    // the program did not exit) and keeps the window text in window_.
    int run(const std::string& job) {
        const std::string command = "cd '" + dir_.string() + "' && '" + ORVCALC_PATH + "' '" + job +
                                    "' < /dev/null > '" + (dir_ / ".window").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        window_ = get(dir_ / ".window");
        std::filesystem::remove(dir_ / ".window");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::filesystem::path dir_;
    std::string window_;
};

}  // namespace orv::testing
