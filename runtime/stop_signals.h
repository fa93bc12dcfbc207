// A run stopped from outside (SIGINT, SIGTERM) ends as every other stop of
// the run does: each file ends where the run stopped, and the process exits
// with status 1, so the stop never looks like success.
//
// The signals are not handled in a signal handler, where almost nothing may
// be done safely: they are blocked in every thread and taken by a watcher
// thread of their own, which writes every unit's pending output under the
// run-time's transfer lock and then ends the process.
#pragma once

#include <pthread.h>

#include <string_view>

namespace orv::rt {

// Ends the process from a thread other than the computing one, as a stop
// from outside: every unit's pending output is written (the transfer under
// way is given a moment to end), "Stop - Program terminated " and CAUSE go
// to standard error, and the process exits with status 1.
[[noreturn]] void stop_from_outside(std::string_view cause);

class StopSignals {
public:
    // Blocks SIGINT and SIGTERM in the calling thread, and so in every thread
    // it starts from now on, and starts the watcher.  Make it first in main,
    // before any other thread exists.
    StopSignals();
    // Stops the watcher; the signals stay blocked until the process ends.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    pthread_t watcher_{};
    bool started_ = false;
};

}  // namespace orv::rt
