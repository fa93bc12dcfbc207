#include "numlib/routines1/machine.h"

#include <bit>
#include <cstdint>

namespace orv::num1 {

double MCEPS() { return std::bit_cast<double>(std::uint64_t{0x3CA0000000000001}); }

}  // namespace orv::num1
