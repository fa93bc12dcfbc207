// The huge-page setting of the C library: how it joins the user's tunables,
// and the program started once more in place with it.
#include "runtime/large_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "support/files.h"

namespace orv::rt {
namespace {

TEST(LargePages, SettingJoinsTheUsersTunablesUnlessTheyNameIt) {
    EXPECT_EQ(tunables_with_huge_pages(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(tunables_with_huge_pages(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.arena_max=2"), "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    // The user's own value stands, first, last or alone.
    EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2"), std::nullopt);
    EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.hugetlb=1:glibc.malloc.arena_max=2"), std::nullopt);
    // A longer name that starts the same is another tunable.
    EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.hugetlbx=0"), "glibc.malloc.hugetlbx=0:glibc.malloc.hugetlb=1");
}

// Run only as the program started again by the test below: writes what it
// finds in its environment.
TEST(LargePages, StartedAgainWritesItsTunables) {
    const char* out = std::getenv("ORV_LARGE_PAGES_OUT");
    if (out == nullptr) GTEST_SKIP() << "runs only when started again";
    std::ofstream(out) << (std::getenv("GLIBC_TUNABLES") ? std::getenv("GLIBC_TUNABLES") : "(unset)") << "\n"
                       << getpid() << "\n";
}

TEST(LargePages, ProgramStartsAgainInPlaceWithTheSetting) {
#if defined(ORV_SANITIZED) || !defined(__GLIBC__)
    GTEST_SKIP() << "the sanitizers' allocators take no tunables";
#else
    orv::testing::TempDir dir("orv_large_pages");
    const std::string out = (dir / "tunables.txt").string();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("ORV_LARGE_PAGES_OUT", out.c_str(), 1);
        ::setenv("GLIBC_TUNABLES", "glibc.malloc.arena_max=4", 1);
        std::string self = "large_pages_test", filter = "--gtest_filter=LargePages.StartedAgainWritesItsTunables";
        char* argv[] = {self.data(), filter.data(), nullptr};
        restart_with_huge_pages(argv);
        _exit(99);  // not started again
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream in(out);
    std::string tunables, pid;
    std::getline(in, tunables);
    std::getline(in, pid);
    EXPECT_EQ(tunables, "glibc.malloc.arena_max=4:glibc.malloc.hugetlb=1");
    EXPECT_EQ(pid, std::to_string(child)) << "started again in place";
#endif
}

}  // namespace
}  // namespace orv::rt
