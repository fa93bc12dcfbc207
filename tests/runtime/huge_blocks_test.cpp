// Large blocks of operator new in huge pages, in a program linked with the
// replacement (as orvcalc is): aligned, backed by huge pages once touched
// where the system allows them, and the standard behaviour when memory runs
// out.
#include "runtime/huge_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace orv::rt {
namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;

// The system's transparent huge page mode: "always", "madvise" or "never".
std::string huge_page_mode() {
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    std::getline(in, line);
    const std::size_t open = line.find('['), close = line.find(']');
    return open == std::string::npos || close == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
}

// Kilobytes in huge pages of the mapping that holds ADDRESS.
long huge_kilobytes_at(const void* address) {
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
        } else if (inside && line.rfind("AnonHugePages:", 0) == 0) {
            return std::stol(line.substr(14));
        }
    }
    return -1;
}

TEST(HugeBlocks, LargeBlocksStartOnAHugePageAndAreBackedByHugePages) {
    if (!huge_blocks_in_use()) GTEST_SKIP() << "the sanitizer's operator new";
    std::vector<std::unique_ptr<double[]>> blocks;
    for (std::size_t bytes : {kHugeBlock, 3 * kHugeBlock + 8, std::size_t{32} << 20}) {
        blocks.emplace_back(new double[bytes / sizeof(double)]);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back().get()) % kHugePage, 0u) << bytes;
    }
    // Blocks below the threshold are the C library's own; they still work.
    std::unique_ptr<double[]> small(new double[1000]);
    small[999] = 1.0;
    EXPECT_EQ(small[999], 1.0);

    const std::string mode = huge_page_mode();
    if (mode != "always" && mode != "madvise") GTEST_SKIP() << "transparent huge pages: " << mode;
    const std::size_t count = (std::size_t{32} << 20) / sizeof(double);
    double* big = blocks.back().get();
    for (std::size_t i = 0; i < count; i += 512) big[i] = static_cast<double>(i);
    EXPECT_GT(huge_kilobytes_at(big), 0) << "a touched 32 MiB block in huge pages";
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
}  // namespace orv::rt
