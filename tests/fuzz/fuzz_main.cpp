// libFuzzer entry of one target; ORV_FUZZ_ENTRY names its function.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orv::rt::fuzz::ORV_FUZZ_ENTRY(data, size);
    return 0;
}
