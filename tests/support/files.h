// Files for tests: reading and writing them whole, the lines, numbers and
// fixed-width fields of texts, a temporary folder, running a program in a
// folder, and golden files that ORV_UPDATE_GOLDEN=1 in the environment
// rewrites from the current program instead of comparing (for a deliberate
// change, reviewed with git diff).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orv::testing {

namespace fs = std::filesystem;

// The file's bytes; empty when it cannot be read.
inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The lines of TEXT without their line ends.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The numbers of TEXT, read one after another as far as they go.
inline std::vector<double> numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> out;
    for (double v; in >> v;) out.push_back(v);
    return out;
}

inline bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// TEXT cut or filled with blanks to WIDTH characters, as a job's fixed-width
// fields hold it.
inline std::string padded(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

inline bool updating_golden() { return std::getenv("ORV_UPDATE_GOLDEN") != nullptr; }

// TEXT against the golden file GOLDEN, byte for byte; under
// ORV_UPDATE_GOLDEN the golden file is written instead.
inline void expect_golden(const fs::path& golden, const std::string& text) {
    if (updating_golden()) {
        fs::create_directories(golden.parent_path());
        write_file(golden, text);
        return;
    }
    ASSERT_TRUE(fs::exists(golden)) << golden;
    EXPECT_EQ(text, read_file(golden)) << golden;
}

// The file MADE, which must exist, against the golden file GOLDEN.
inline void expect_golden_file(const fs::path& golden, const fs::path& made) {
    ASSERT_TRUE(fs::exists(made)) << made;
    expect_golden(golden, read_file(made));
}

// Texts by name, as a golden folder holds them.
using Outputs = std::map<std::string, std::string>;

// OUTPUTS against the golden folder FOLDER: the same names and, for each,
// the same bytes.  Under ORV_UPDATE_GOLDEN the folder is made anew from
// them.
inline void expect_golden_folder(const fs::path& folder, const Outputs& outputs) {
    if (updating_golden()) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& [name, text] : outputs) write_file(folder / name, text);
        return;
    }
    Outputs want;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder)) want[entry.path().filename()] = read_file(entry.path());
    ASSERT_FALSE(want.empty()) << "no golden files in " << folder;
    std::set<std::string> got_names, want_names;
    for (const auto& item : outputs) got_names.insert(item.first);
    for (const auto& item : want) want_names.insert(item.first);
    EXPECT_EQ(got_names, want_names) << folder;
    for (const auto& [name, text] : want) {
        const auto it = outputs.find(name);
        if (it != outputs.end()) {
            EXPECT_EQ(it->second, text) << folder << ": " << name;
        }
    }
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "orv_test") {
        std::string name = "/tmp/" + std::string(prefix) + "_XXXXXX";
        if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
        path_ = name;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    operator const fs::path&() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }
    std::string string() const { return path_.string(); }

private:
    fs::path path_;
};

// Runs PROGRAM with ARGS (already quoted for the shell) in the folder DIR,
// standard input from INPUT, standard output and error into WINDOW; returns
// the exit status, -1 when the program did not exit.
inline int run_program(const fs::path& dir, const fs::path& program, const std::string& args,
                       const fs::path& window, const fs::path& input = "/dev/null") {
    const std::string command = "cd '" + dir.string() + "' && '" + program.string() + "' " + args + " < '" +
                                input.string() + "' > '" + window.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace orv::testing
