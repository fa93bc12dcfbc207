// The stop path of a program built on the run-time.
//
// Every way out of a run goes through here: the normal end, a Stop, and every
// failure that nobody handled (IoError, FormatError, exhausted memory, any
// other exception).  Each is reported on the window unit, every unit is
// flushed and closed, so that each file ends where the run stopped, and the
// host is told the exit status.  The process is never ended from inside.
#pragma once

#include <functional>
#include <string_view>

namespace orv::rt {

// Runs `body` and returns the process's exit status: 0 for the normal end,
// the stop's status for a Stop, 1 for a failure.
int run_program(const std::function<void()>& body);

// Ends the process from a thread other than the computing one, as a stop
// from outside (a signal, the window closed during the run): every unit's
// pending output is written (the transfer under way is given a moment to
// end), "Stop - Program terminated " and CAUSE go to standard error, and the
// process exits with status 1, so the stop never looks like success.
[[noreturn]] void stop_from_outside(std::string_view cause);

}  // namespace orv::rt
