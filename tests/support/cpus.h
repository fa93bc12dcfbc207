// The test's thread held to the first CPU it may use, for as long as the
// object lives: programs started from it meanwhile inherit the one CPU.
#pragma once

#include <sched.h>

#include <stdexcept>

namespace orv::testing {

class OneCpu {
public:
    OneCpu() {
        if (::sched_getaffinity(0, sizeof all_, &all_) != 0) throw std::runtime_error("cannot read the CPU affinity");
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int c = 0; c < CPU_SETSIZE; ++c)
            if (CPU_ISSET(c, &all_)) {
                CPU_SET(c, &one);
                break;
            }
        if (::sched_setaffinity(0, sizeof one, &one) != 0) throw std::runtime_error("cannot hold the test to one CPU");
    }
    ~OneCpu() { ::sched_setaffinity(0, sizeof all_, &all_); }
    OneCpu(const OneCpu&) = delete;
    OneCpu& operator=(const OneCpu&) = delete;

private:
    cpu_set_t all_;
};

}  // namespace orv::testing
