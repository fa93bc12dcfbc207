// orvcalc-window: the analysis engine in its own window on Qt, as orvcalc
// starts it when the front end asks for the window; on the terminal when
// no display can show the window.
#include <filesystem>
#include <string>
#include <vector>

#include "engine_start.h"
#include "process/stop_signals.h"
#include "window/window_host.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const orv::app::WindowWish wish = orv::app::window_wish();
    // Before any thread starts: SIGINT and SIGTERM end the run with every
    // file written up to where it stopped.
    orv::proc::StopSignals stop_signals(orv::rt::stop_from_outside);
    if (wish.window)
        return orv::win::run_in_window(std::filesystem::path(argv[0]).stem().string(), std::move(arguments),
                                      orv::app::run_engine);
    return orv::app::run_on_terminal(std::move(arguments), wish);
}
