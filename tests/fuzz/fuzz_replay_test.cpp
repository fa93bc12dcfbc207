// Replays the committed fuzz corpus (tests/fuzz/corpus/<target>/) through
// the fuzz entry points, so that every input the fuzzers found interesting,
// and every crash once found, runs in each test build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace orv::rt::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> corpus(const std::string& target) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(ORV_FUZZ_CORPUS_DIR) / target))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

void replay(const std::string& target, void (*entry)(const std::uint8_t*, std::size_t)) {
    std::vector<fs::path> files = corpus(target);
    // The corpus is committed: an empty one means it went missing.
    ASSERT_GE(files.size(), 20u) << "corpus of " << target << " is missing";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NO_THROW(entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
}

TEST(FuzzCorpus, Format) { replay("format", fuzz_format); }
TEST(FuzzCorpus, FormattedInput) { replay("formatted_input", fuzz_formatted_input); }
TEST(FuzzCorpus, ListInput) { replay("list_input", fuzz_list_input); }

}  // namespace
}  // namespace orv::rt::fuzz
