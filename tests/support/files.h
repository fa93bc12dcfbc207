// Files for tests: reading and writing them whole, a temporary folder, and
// golden files that ORV_UPDATE_GOLDEN=1 in the environment rewrites from the
// current program instead of comparing (for a deliberate change, reviewed
// with git diff).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace orv::test {

namespace fs = std::filesystem;

inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
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
    fs::path operator/(const fs::path& name) const { return path_ / name; }

private:
    fs::path path_;
};

}  // namespace orv::test
