// Whether the engine's window can be shown, and the program that shows it.
//
// The window is a program of its own beside the engine's terminal program:
// the same engine linked with Qt (orvcalc-window beside orvcalc).  The
// terminal program does not load Qt, whose libraries alone take longer to
// load than a small job takes to run; asked for its window, it starts the
// window program in its place.
#pragma once

#include <string>

namespace orv::proc {

// True when a window can be shown: a display, or a Qt platform chosen
// through QT_QPA_PLATFORM.
bool window_possible();

// Replaces the process by the program NAME in the folder of the running
// program, with the same arguments (ARGV[0] included, so that the window
// keeps the program's name) and environment.  Returns only when that
// program cannot be started, with the reason.
std::string run_beside(const char* name, char** argv);

}  // namespace orv::proc
