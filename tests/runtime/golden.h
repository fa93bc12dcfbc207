// Where the reference outputs made with gfortran (scripts/golden/) live.
#pragma once

#include <string>

namespace orv::rt::testing {

inline std::string golden_path(const std::string& name) {
    return std::string(ORV_TEST_DATA_DIR) + "/runtime/golden/" + name;
}

}  // namespace orv::rt::testing
