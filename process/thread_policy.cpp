#include "process/thread_policy.h"

#include <sched.h>

#include <array>
#include <atomic>
#include <thread>

namespace orv::proc {

namespace {

std::array<std::atomic<int>, kSettings> settings{};

}  // namespace

void set(Setting s, int value) { settings[static_cast<std::size_t>(s)].store(std::max(value, 0)); }

int setting(Setting s) { return settings[static_cast<std::size_t>(s)].load(); }

int usable_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace orv::proc
