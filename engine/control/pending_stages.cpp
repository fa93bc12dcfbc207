// Stages whose numerics are not part of this build yet.  Each ends the run
// with a message that names it, so a job that needs one fails plainly
// instead of producing a partial report that looks complete.
#include <string>

#include "engine/control/stages.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"

namespace orv::engine {

namespace {

[[noreturn]] void unavailable(const char* stage) {
    rt::write(6, "(T30,A,/,/)", std::string("FATAL ERROR: ") + stage + " is not available in this version");
    throw rt::Stop{"", 1};
}

}  // namespace

void TRPSTG(JOBSET&, RUNDATA&) { unavailable("The triplet test"); }

}  // namespace orv::engine
