// Storage of the large arrays: zeros wherever a vector grows, and a failed
// allocation that names the array.
#include "engine/common/data_array.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <limits>
#include <vector>

#include "runtime/io_error.h"

namespace orv::engine {
namespace {

TEST(ZeroedAllocatorTest, EveryGrowthGivesZeros) {
    for (std::size_t n : {std::size_t{100}, std::size_t{1} << 18}) {  // heap and mapped
        SCOPED_TRACE(n);
        DataArray v;
        fresh(v, n);
        for (double x : v) ASSERT_EQ(x, 0.0);
        for (std::size_t k = 0; k < n; ++k) v[k] = -1.0 - static_cast<double>(k);
        v.resize(n / 2);
        v.resize(n);  // the dropped elements come back as zeros
        EXPECT_EQ(v[n / 2 - 1], -static_cast<double>(n / 2));
        for (std::size_t k = n / 2; k < n; ++k) ASSERT_EQ(v[k], 0.0) << k;
        v[n - 1] = -0.0;  // a negative zero is not left behind either
        v.pop_back();
        v.resize(n);
        EXPECT_FALSE(std::signbit(v[n - 1]));
    }
}

TEST(ZeroedAllocatorTest, AnArrayThatCannotBeHadStopsTheRunNamingIt) {
#ifdef ORV_SANITIZED
    GTEST_SKIP() << "the sanitizer's allocator ends the run on a request of this size";
#endif
    std::vector<std::uint64_t, ZeroedAllocator<std::uint64_t>> v;
    const std::size_t huge = std::numeric_limits<std::size_t>::max() / 16;
    try {
        fresh(v, huge, "the test array T");
        FAIL() << "no stop";
    } catch (const rt::Stop& stop) {
        EXPECT_EQ(stop.message,
                  "Out of memory: no memory for the test array T (" + std::to_string(huge) + " values of 8 bytes)");
        EXPECT_EQ(stop.exit_status, 1);
    }
    std::vector<double> w;
    EXPECT_THROW(zeros(w, huge, "W"), rt::Stop);
}

}  // namespace
}  // namespace orv::engine
