// The stop path of a program built on the run-time.
//
// Every way out of a run goes through here: the normal end, a Stop, and every
// failure that nobody handled (IoError, FormatError, exhausted memory, any
// other exception).  Each is reported on the window unit, every unit is
// flushed and closed, so that each file ends where the run stopped, and the
// host is told the exit status.  The process is never ended from inside.
#pragma once

#include <functional>

namespace orv::rt {

// Runs `body` and returns the process's exit status: 0 for the normal end,
// the stop's status for a Stop, 1 for a failure.
int run_program(const std::function<void()>& body);

}  // namespace orv::rt
