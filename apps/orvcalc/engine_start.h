// What both engine programs, orvcalc and orvcalc-window, do around the run:
// whether the window is asked for (ORVCALC_HOST=window, as the front end
// starts the engine) and can be shown, and the run on the terminal.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/control/orvcalc.h"
#include "process/window_choice.h"
#include "runtime/host.h"
#include "runtime/program.h"
#include "runtime/terminal_host.h"

namespace orv::app {

inline int run_engine() { return rt::run_program(engine::ORVCALC); }

struct WindowWish {
    bool asked = false;   // ORVCALC_HOST=window
    bool window = false;  // asked, and a display to show it on
};

inline WindowWish window_wish() {
    const char* host = std::getenv("ORVCALC_HOST");
    WindowWish wish;
    wish.asked = host != nullptr && std::string_view(host) == "window";
    wish.window = wish.asked && proc::window_possible();
    return wish;
}

// The run on the terminal, saying first when a window was asked for and no
// display can show it.
inline int run_on_terminal(std::vector<std::string> arguments, WindowWish wish) {
    if (wish.asked && !wish.window)
        std::fputs("orvcalc: no display for the window; the run goes on in the terminal\n", stderr);
    rt::TerminalHost host(std::move(arguments));
    rt::set_host(&host);
    const int status = run_engine();
    rt::set_host(nullptr);
    return status;
}

}  // namespace orv::app
