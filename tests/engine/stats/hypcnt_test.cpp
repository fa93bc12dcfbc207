// HYPCNT: the band includes its edges, the count and fraction in their
// fields, asterisks when every loading lies in the band.
#include "engine/stats/hypcnt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "runtime/units.h"
#include "support/files.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

TEST(Hypcnt, CountsLoadingsWithinTheBandEdgesIncluded) {
    const orv::testing::TempDir dir("hypcnt_test");
    const fs::path file = dir / "report.out";
    rt::open_unit_or_fail(LURPT, file.string(), {rt::OpenStatus::Replace, false});

    // Ten variables, two factors, column-major.
    const std::vector<double> l{
        0.1, -0.1, 0.05, 0.7, -0.6, 0.5, 0.45, 0.8, -0.9, 0.3,  // 3 inside 0.1 (two at the edge)
        0.0, 0.0, 0.0, -0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};     // all inside: F3.2 overflows
    struct Case {
        int j;
        double width;
    };
    for (const Case c : {Case{1, 0.1}, Case{2, 0.1}, Case{1, 0.0}, Case{2, 0.0}, Case{1, 0.5}, Case{1, 0.45}})
        HYPCNT(l, 10, 2, c.j, LURPT, c.width);
    // 1000 variables: the count needs three columns.
    std::vector<double> big(1000, 0.2);
    big[0] = 0.9;
    HYPCNT(big, 1000, 1, 1, LURPT, 0.2);
    rt::close_unit(LURPT);

    EXPECT_EQ(orv::testing::read_file(file),
              "Hyperplane Count (%) for Factor  1 =   3 (.30)\n"
              "Hyperplane Count (%) for Factor  2 =  10 (***)\n"
              "Hyperplane Count (%) for Factor  1 =   0 (.00)\n"
              "Hyperplane Count (%) for Factor  2 =  10 (***)\n"
              "Hyperplane Count (%) for Factor  1 =   6 (.60)\n"
              "Hyperplane Count (%) for Factor  1 =   5 (.50)\n"
              "Hyperplane Count (%) for Factor  1 = 999 (***)\n");
}

}  // namespace
}  // namespace orv::engine
