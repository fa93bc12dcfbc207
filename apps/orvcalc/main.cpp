// orvcalc: the analysis engine on the terminal.  It does not load Qt; asked
// for its window (ORVCALC_HOST=window, as the front end starts it), it
// starts the window program ORV_WINDOW_PROGRAM (orvcalc-window, the same
// engine with its window) in its place, and runs on the terminal when that
// cannot be done.
#include <cstdio>
#include <string>
#include <vector>

#include "engine_start.h"
#include "process/stop_signals.h"
#include "process/window_choice.h"

namespace {

// Empty in a build without the window.
constexpr const char* kWindowProgram = ORV_WINDOW_PROGRAM;

}  // namespace

int main(int argc, char** argv) {
    const orv::app::WindowWish wish = orv::app::window_wish();
    if (wish.window && *kWindowProgram == '\0') {
        std::fputs("orvcalc: built without its window; the run goes on in the terminal\n", stderr);
    } else if (wish.window) {
        // Before any thread starts, as the window program expects.
        const std::string reason = orv::proc::run_beside(kWindowProgram, argv);
        std::fprintf(stderr, "orvcalc: its window could not be started (%s); the run goes on in the terminal\n",
                     reason.c_str());
    }
    // Before any thread starts: SIGINT and SIGTERM end the run with every
    // file written up to where it stopped.
    orv::proc::StopSignals stop_signals(orv::rt::stop_from_outside);
    return orv::app::run_on_terminal(std::vector<std::string>(argv + 1, argv + argc), wish);
}
