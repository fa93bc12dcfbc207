#include "engine/stats/library_status.h"

#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"

namespace orv::engine {

namespace {

// Error types of numerical routines II that end a run.
constexpr int kFatal = 4;
constexpr int kTerminal = 5;
constexpr int kImmediateFatal = 7;

}  // namespace

void stop_on_library_error() {
    // The level just below the engine's own holds the type that the routine
    // it called ended with, until the next call pushes its name there.
    const int type = num2::N1RTY(1);
    if (type == kFatal || type == kTerminal || type == kImmediateFatal) throw rt::Stop{"", 1};
}

}  // namespace orv::engine
