// Large blocks of operator new in huge pages, in a program linked with the
// replacement (as orvcalc is): aligned, advised for huge pages, and the
// standard behaviour when memory runs out.
#include "process/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace orv::proc {
namespace {

// The VmFlags of the mapping that holds ADDRESS ("" when none is found).
std::string flags_at(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> begin >> dash >> end && dash == '-') {
            inside = begin <= at && at < end;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line.substr(8) + " ";
        }
    }
    return "";
}

TEST(HugeBlocks, LengthsRoundUpToWholeHugePages) {
    EXPECT_EQ(huge_length(1), kHugePage);
    EXPECT_EQ(huge_length(kHugePage), kHugePage);
    EXPECT_EQ(huge_length(kHugePage + 1), 2 * kHugePage);
    EXPECT_EQ(huge_length(std::numeric_limits<std::size_t>::max()), 0u);
}

TEST(HugeBlocks, LargeBlocksStartOnAHugePageAdvisedForHugePages) {
    if (!huge_blocks_in_use()) GTEST_SKIP() << "the sanitizer's operator new";
    std::vector<std::unique_ptr<double[]>> blocks;
    for (std::size_t bytes : {kLargeBlock, 3 * kLargeBlock + 8, std::size_t{32} << 20}) {
        blocks.emplace_back(new double[bytes / sizeof(double)]);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back().get()) % kHugePage, 0u) << bytes;
        // "hg": the range carries the advice, whatever memory the system
        // has free for huge pages at the moment.
        EXPECT_NE(flags_at(blocks.back().get()).find(" hg "), std::string::npos) << bytes;
    }
    // Blocks below the threshold are the C library's own; they still work.
    std::unique_ptr<double[]> small(new double[1000]);
    small[999] = 1.0;
    EXPECT_EQ(small[999], 1.0);
    double* big = blocks.back().get();
    const std::size_t count = (std::size_t{32} << 20) / sizeof(double);
    for (std::size_t i = 0; i < count; i += 512) big[i] = static_cast<double>(i);
    EXPECT_EQ(big[count - 512], static_cast<double>(count - 512));
}

TEST(HugeBlocks, NoMemoryGivesBadAllocOrNull) {
    // The sanitizer's own allocator ends the program on such a request.
    if (!huge_blocks_in_use()) GTEST_SKIP() << "the sanitizer's operator new";
    const std::size_t huge = std::numeric_limits<std::size_t>::max() / 2;
    EXPECT_THROW((void)::operator new(huge), std::bad_alloc);
    EXPECT_THROW((void)::operator new[](huge), std::bad_alloc);
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](huge, std::nothrow), nullptr);
    // A new handler is asked for room before the failure.
    static int calls = 0;
    calls = 0;
    std::set_new_handler([] {
        if (++calls == 3) std::set_new_handler(nullptr);
    });
    EXPECT_THROW((void)::operator new(huge), std::bad_alloc);
    EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace orv::proc
