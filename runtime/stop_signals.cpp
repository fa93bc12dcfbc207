#include "runtime/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

#include "runtime/units.h"

namespace orv::rt {

namespace {

// The transfer under way when the signal comes is given this long to end; a
// write to a pipe that nobody reads may not end at all.
constexpr std::chrono::milliseconds kTransferWait{2000};

std::atomic<bool> leaving{false};  // the destructor's wake-up, not a stop

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void* watch(void*) {
    const sigset_t set = stop_set();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    if (leaving.load()) return nullptr;
    stop_from_outside("by signal " + std::to_string(signal) + " (" + ::strsignal(signal) + ")");
}

}  // namespace

void stop_from_outside(std::string_view cause) {
    const bool written = flush_all_units_and_hold(kTransferWait);
    std::string line = "\nStop - Program terminated ";
    line += cause;
    if (!written) line += "; output pending in a blocked transfer was lost";
    line += "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
    ::_exit(1);
}

StopSignals::StopSignals() {
    const sigset_t set = stop_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    leaving.store(false);
    started_ = pthread_create(&watcher_, nullptr, watch, nullptr) == 0;
}

StopSignals::~StopSignals() {
    if (started_) {
        leaving.store(true);
        pthread_kill(watcher_, SIGTERM);
        pthread_join(watcher_, nullptr);
    }
    // The signals stay blocked: one that comes now, as the process ends, must
    // not kill it with a status of its own.
}

}  // namespace orv::rt
