// orvcalc: the analysis engine.  It runs in its own window when the front
// end starts it (ORVCALC_HOST=window), on the terminal otherwise.  Built
// twice: orvcalc, without Qt, runs on the terminal and starts
// orvcalc-window in its place for the window; orvcalc-window
// (ORV_WINDOW_HOST) is the same engine with its window.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control/orvcalc.h"
#include "runtime/host.h"
#include "runtime/program.h"
#include "runtime/stop_signals.h"
#include "runtime/terminal_host.h"
#include "runtime/window_choice.h"
#ifdef ORV_WINDOW_HOST
#include "runtime/window_host.h"
#endif

namespace {

int run_engine() { return orv::rt::run_program(orv::engine::ORVCALC); }

bool window_asked() {
    const char* host = std::getenv("ORVCALC_HOST");
    return host != nullptr && std::string_view(host) == "window";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const bool asked = window_asked();
    const bool window = asked && orv::rt::window_possible();
#if defined(ORV_WINDOW_SIBLING)
    // Before any thread starts, as the window program expects.
    if (window) {
        const std::string reason = orv::rt::run_beside(ORV_WINDOW_SIBLING, argv);
        std::fprintf(stderr, "orvcalc: its window could not be started (%s); the run goes on in the terminal\n",
                     reason.c_str());
    }
#endif
    // Before any thread starts: SIGINT and SIGTERM end the run with every
    // file written up to where it stopped.
    orv::rt::StopSignals stop_signals;
#if defined(ORV_WINDOW_HOST)
    if (window)
        return orv::rt::run_in_window(std::filesystem::path(argv[0]).stem().string(), std::move(arguments),
                                      run_engine);
#elif !defined(ORV_WINDOW_SIBLING)
    if (window) std::fputs("orvcalc: built without its window; the run goes on in the terminal\n", stderr);
#endif
    if (asked && !window) std::fputs("orvcalc: no display for the window; the run goes on in the terminal\n", stderr);

    orv::rt::TerminalHost host(std::move(arguments));
    orv::rt::set_host(&host);
    const int status = run_engine();
    orv::rt::set_host(nullptr);
    return status;
}
