#include "process/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

namespace orv::proc {

namespace {

std::atomic<bool> leaving{false};  // the destructor's wake-up, not a stop
void (*stop_process)(std::string_view) = nullptr;

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
    stop_process("by signal " + std::to_string(signal) + " (" + ::strsignal(signal) + ")");
    return nullptr;
}

}  // namespace

StopSignals::StopSignals(void (*stop)(std::string_view cause)) {
    stop_process = stop;
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

}  // namespace orv::proc
