// Replays the committed fuzz corpus (tests/fuzz/corpus/<target>/) through
// the fuzz entry points, so that every input the fuzzers found interesting,
// and every crash once found, runs in each test build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_job.h"
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

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void replay(const std::string& target, void (*entry)(const std::uint8_t*, std::size_t)) {
    std::vector<fs::path> files = corpus(target);
    // The corpus is committed: an empty one means it went missing.
    ASSERT_GE(files.size(), 20u) << "corpus of " << target << " is missing";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::string bytes = bytes_of(file);
        EXPECT_NO_THROW(entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
}

TEST(FuzzCorpus, Format) { replay("format", fuzz_format); }
TEST(FuzzCorpus, FormattedInput) { replay("formatted_input", fuzz_formatted_input); }
TEST(FuzzCorpus, ListInput) { replay("list_input", fuzz_list_input); }

// Whole jobs: each one's faults are listed rather than ending the test
// program.  The corpus must reach the engine, not stop at the caps, and
// most of the repository's own jobs (the seeds, named after their files)
// must run to their end.
TEST(FuzzCorpus, Job) {
    std::vector<fs::path> files = corpus("job");
    ASSERT_GE(files.size(), 20u) << "corpus of job is missing";
    std::size_t ran = 0, seeds = 0, seeds_finished = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const orv::fuzz::JobOutcome outcome = orv::fuzz::run_job(bytes_of(file));
        for (const std::string& fault : outcome.faults) ADD_FAILURE() << fault;
        ran += outcome.ran;
        const std::string name = file.filename().string();
        if (name.starts_with("tests_") || name.starts_with("examples_")) {
            ++seeds;
            seeds_finished += outcome.ran && outcome.status == 0;
        }
    }
    EXPECT_GE(ran * 10, files.size() * 9);
    EXPECT_GE(seeds, 50u);
    EXPECT_GE(seeds_finished * 4, seeds * 3);
}

}  // namespace
}  // namespace orv::rt::fuzz
