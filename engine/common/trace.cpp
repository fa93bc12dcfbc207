#include "engine/common/trace.h"

#include "engine/common/units.h"
#include "runtime/formatted_io.h"

namespace orv::engine {

void TRACE(int ifail, int line) {
    static const rt::Format format = rt::parse_format("(1X,A,I10)");
    if (ifail != 0) rt::write(LUCON, format, "Problem occured at line ", line);
}

}  // namespace orv::engine
