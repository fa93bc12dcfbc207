// ROT jobs through the real program: the report, the .fac and the .phi file
// of the Varimax, weighted Varimax and Promax stages, byte for byte, under
// SORT and NOSORT with LABELS and NOLABELS.  The jobs rotate from the given
// orientation (RNDSTRTS F), so every run is reproducible.
//
// ORV_UPDATE_GOLDEN=1 in the environment rewrites the golden files from the
// current program instead of comparing (for a deliberate change, reviewed
// with git diff).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

const fs::path kJobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "rotation";
const fs::path kGolden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "rotation";

class RotationReport : public ::testing::TestWithParam<std::string> {
protected:
    // Runs the job in its own folder; returns the exit status.
    int run(const std::string& name) {
        fs::copy_file(kJobs / (name + ".in"), dir_ / (name + ".in"));
        fs::copy_file(kJobs / "rot_loadings.dat", dir_ / "rot_loadings.dat");
        return orv::testing::run_program(dir_, ORVCALC_PATH, "'" + name + ".in'", dir_ / "window.txt");
    }

    void compare(const fs::path& made, const std::string& golden) {
        orv::testing::expect_golden_file(kGolden / golden, made);
    }

    orv::testing::TempDir dir_{"orv_rotrpt"};
};

TEST_P(RotationReport, MatchesGolden) {
    const std::string name = GetParam();
    ASSERT_EQ(run(name), 0) << read_file(dir_ / "window.txt");
    EXPECT_NE(read_file(dir_ / "window.txt").find(std::string(28, ' ') + "Finished\n"), std::string::npos);
    compare(dir_ / "rot.out", name + ".out");
    // Matrix files are named from the first 15 characters of the command
    // file's name, which hold no ".": its first 8 characters and ".fac".
    const std::string base = name.substr(0, 8);
    compare(dir_ / (base + ".fac"), name + ".fac");
    if (name.find("promax") != std::string::npos)
        compare(dir_ / (base + ".phi"), name + ".phi");
    else
        EXPECT_FALSE(fs::exists(dir_ / (base + ".phi")));
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, RotationReport,
    ::testing::Values("rot_varimax_sort_labels", "rot_varimax_sort_nolabels", "rot_varimax_nosort_labels",
                      "rot_varimax_nosort_nolabels", "rot_wvarimax_sort_labels", "rot_wvarimax_sort_nolabels",
                      "rot_wvarimax_nosort_labels", "rot_wvarimax_nosort_nolabels", "rot_promax_sort_labels",
                      "rot_promax_sort_nolabels", "rot_promax_nosort_labels", "rot_promax_nosort_nolabels"),
    [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// The .fac files of a sorted and an unsorted Promax job hold the same rows:
// the target is built from the Varimax loadings in item order.
TEST(RotationFiles, PromaxRowsDoNotDependOnTheSortOption) {
    auto rows = [](const std::string& name) {
        std::istringstream in(read_file(kGolden / (name + ".fac")));
        std::multiset<std::string> set;
        std::string line;
        while (std::getline(in, line)) set.insert(line.substr(4));
        return set;
    };
    const auto sorted = rows("rot_promax_sort_labels");
    EXPECT_EQ(sorted.size(), 10u);
    EXPECT_EQ(sorted, rows("rot_promax_nosort_nolabels"));
    EXPECT_EQ(read_file(kGolden / "rot_promax_sort_labels.phi"), read_file(kGolden / "rot_promax_nosort_nolabels.phi"));
}

}  // namespace
