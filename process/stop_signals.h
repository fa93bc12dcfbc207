// SIGINT and SIGTERM taken by a thread of their own.
//
// The signals are not handled in a signal handler, where almost nothing may
// be done safely: they are blocked in every thread and taken by a watcher
// thread, which calls the program's stop with the signal as its cause.  The
// engine's stop (rt::stop_from_outside, runtime/program.h) writes every
// unit's pending output and ends the process with status 1, so that a run
// stopped from outside ends as every other stop does.
#pragma once

#include <pthread.h>

#include <string_view>

namespace orv::proc {

class StopSignals {
public:
    // Blocks SIGINT and SIGTERM in the calling thread, and so in every thread
    // it starts from now on, and starts the watcher, which calls STOP with
    // "by signal N (name)" when one comes; STOP ends the process.  Make it
    // first in main, before any other thread exists.
    explicit StopSignals(void (*stop)(std::string_view cause));
    // Stops the watcher; the signals stay blocked until the process ends.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    pthread_t watcher_{};
    bool started_ = false;
};

}  // namespace orv::proc
