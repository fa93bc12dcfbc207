#include "runtime/large_pages.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace orv::rt {

namespace {

constexpr const char* kVariable = "GLIBC_TUNABLES";
constexpr const char* kName = "glibc.malloc.hugetlb";
constexpr const char* kSetting = "glibc.malloc.hugetlb=1";

}  // namespace

std::optional<std::string> tunables_with_huge_pages(const char* current) {
    if (current == nullptr || *current == '\0') return std::string(kSetting);
    // Tunables are NAME=VALUE items separated by colons.
    const std::string value(current);
    const std::size_t name_length = std::strlen(kName);
    for (std::size_t start = 0; start <= value.size();) {
        std::size_t end = value.find(':', start);
        if (end == std::string::npos) end = value.size();
        if (value.compare(start, name_length, kName) == 0 &&
            (start + name_length == end || value[start + name_length] == '=')) {
            return std::nullopt;
        }
        start = end + 1;
    }
    return value + ":" + kSetting;
}

void restart_with_huge_pages(char** argv) {
#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const char* current = std::getenv(kVariable);
    const std::optional<std::string> tunables = tunables_with_huge_pages(current);
    if (!tunables || argv == nullptr || argv[0] == nullptr) return;
    const std::optional<std::string> previous = current ? std::optional<std::string>(current) : std::nullopt;
    if (::setenv(kVariable, tunables->c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // Not started again: go on as we are, with the environment as it was.
    if (previous) {
        ::setenv(kVariable, previous->c_str(), 1);
    } else {
        ::unsetenv(kVariable);
    }
#else
    (void)argv;
#endif
}

}  // namespace orv::rt
