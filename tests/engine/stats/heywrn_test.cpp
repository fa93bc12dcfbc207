// HEYWRN: a warning record exactly for communalities above 1.00000001.
#include "engine/stats/heywrn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "runtime/units.h"
#include "support/files.h"

namespace orv::engine {
namespace {

std::string run(const std::vector<double>& comm) {
    const std::string path = ::testing::TempDir() + "heywrn_test.out";
    rt::open_unit_or_fail(LURPT, path, {rt::OpenStatus::Replace, false});
    HEYWRN(comm, static_cast<int>(comm.size()), LURPT);
    rt::close_unit(LURPT);
    return orv::testing::read_file(path);
}

std::string line(const char* number) {
    return std::string("\n          ****WARNING !!! HEYWOOD CASE FOR VARIABLE  ") + number + " ****\n";
}

TEST(Heywrn, WarnsStrictlyAboveTheLimit) {
    EXPECT_EQ(HEYWOOD_LIMIT, 1.00000001);
    EXPECT_EQ(run({0.5, 1.0, 1.00000001, 0.99}), "");
    EXPECT_EQ(run({0.5, 1.0, 1.00000001, 1.0000001, 0.3, 1.7}), line("   4") + line("   6"));
    // The next double above the limit already counts.
    EXPECT_EQ(run({std::nextafter(1.00000001, 2.0)}), line("   1"));
    std::vector<double> many(1000, 0.2);
    many[999] = 1.01;
    EXPECT_EQ(run(many), line("1000"));
}

}  // namespace
}  // namespace orv::engine
