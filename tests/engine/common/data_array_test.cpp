// Storage of the large arrays: a failed allocation stops the run naming the
// array.
#include "engine/common/data_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "runtime/io_error.h"

namespace orv::engine {
namespace {

TEST(DataArrayTest, AnArrayThatCannotBeHadStopsTheRunNamingIt) {
#ifdef ORV_SANITIZED
    GTEST_SKIP() << "the sanitizer's allocator ends the run on a request of this size";
#endif
    std::vector<std::uint64_t> v;
    const std::size_t huge = std::numeric_limits<std::size_t>::max() / 16;
    try {
        zeros(v, huge, "the test array T");
        FAIL() << "no stop";
    } catch (const rt::Stop& stop) {
        EXPECT_EQ(stop.message,
                  "Out of memory: no memory for the test array T (" + std::to_string(huge) + " values of 8 bytes)");
        EXPECT_EQ(stop.exit_status, 1);
    }
    DataArray w;
    EXPECT_THROW(zeros(w, huge, "W"), rt::Stop);
}

}  // namespace
}  // namespace orv::engine
