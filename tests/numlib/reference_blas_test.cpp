// The build links the reference BLAS and LAPACK into the program itself, so
// no shared BLAS that the system's alternatives select can serve a call.
#include <dlfcn.h>
#include <link.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"

namespace {

std::vector<std::string> loaded_objects() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            static_cast<std::vector<std::string>*>(data)->emplace_back(info->dlpi_name ? info->dlpi_name : "");
            return 0;
        },
        &names);
    return names;
}

std::string object_of(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return "";
    return std::filesystem::weakly_canonical(info.dli_fname).string();
}

TEST(ReferenceBlasTest, BlasAndLapackAreInTheProgramAndNoSharedOneIsLoaded) {
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    EXPECT_EQ(object_of(reinterpret_cast<const void*>(&ddot_)), self);
    EXPECT_EQ(object_of(reinterpret_cast<const void*>(&dgemm_)), self);
    EXPECT_EQ(object_of(reinterpret_cast<const void*>(&dsyevd_)), self);
    for (const std::string& name : loaded_objects()) {
        for (const char* lib : {"libblas", "liblapack", "openblas", "blis", "mkl", "atlas"})
            EXPECT_EQ(name.find(lib), std::string::npos) << name;
    }
    // The reference ddot_ sums in order: 1e16 + 1 - 1e16 loses the 1.
    const double x[3] = {1e16, 1.0, -1e16}, y[3] = {1.0, 1.0, 1.0};
    const int n = 3, inc = 1;
    EXPECT_EQ(ddot_(&n, x, &inc, y, &inc), 0.0);
}

}  // namespace
