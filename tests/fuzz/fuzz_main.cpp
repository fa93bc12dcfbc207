// libFuzzer entry of one target; ORV_FUZZ_ENTRY names its function.
#include <cstddef>
#include <cstdint>

#include "fuzz_job.h"
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ORV_FUZZ_ENTRY(data, size);
    return 0;
}
