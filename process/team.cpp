#include "process/team.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace orv::proc {
namespace {

constexpr std::uint64_t kPartsMask = 0xffff;

std::uint64_t run_word(std::uint64_t id, std::uint32_t mode, int parts) {
    return id << 32 | std::uint64_t{mode} << 16 | static_cast<std::uint64_t>(parts);
}

// What tests set for the teams made next: the helper held up and for how
// long, and the first helper whose start fails.
std::atomic<int> delayed_helper{0};
std::atomic<int> helper_delay_us{0};
std::atomic<int> failing_start{0};

#if ORV_TEAM_CHECKS
// The part this thread runs: -1 outside a run.
struct Running {
    int mode = 0;
    int part = -1;
    int parts = 0;
};
thread_local Running running;

[[noreturn]] void broken_rule(const char* what, int part, int on) {
    std::fprintf(stderr, "team: part %d %s part %d\n", part, what, on);
    std::fflush(stderr);
    std::abort();
}
#endif

}  // namespace

#if ORV_TEAM_CHECKS
Team::Part::Part(Mode mode, int part, int parts) : outer{running.mode, running.part, running.parts} {
    running = {static_cast<int>(mode), part, parts};
}
Team::Part::~Part() { running = {outer[0], outer[1], outer[2]}; }
#endif

void Team::wait_for(int on, const std::atomic<int>& flag, int value) {
#if ORV_TEAM_CHECKS
    const Running r = running;
    if (r.part < 0) broken_rule("(none: outside a run) waits on", r.part, on);
    if (on < 0 || on >= r.parts || on == r.part) broken_rule("waits on", r.part, on);
    if (r.mode == static_cast<int>(Mode::kParts) && on > r.part) broken_rule("of a run waits on the later", r.part, on);
    if (r.mode == static_cast<int>(Mode::kOpen)) broken_rule("of an open run waits on", r.part, on);
#else
    (void)on;
#endif
    await(flag, [value](int v) { return v >= value; });
}

void Team::set_helper_delay(int helper, std::chrono::microseconds delay) {
    delayed_helper.store(helper, std::memory_order_relaxed);
    helper_delay_us.store(static_cast<int>(std::max<std::int64_t>(delay.count(), 0)), std::memory_order_relaxed);
}

void Team::set_failing_start(int helper) { failing_start.store(std::max(helper, 0), std::memory_order_relaxed); }

Team::Team(int threads) : claims_(new std::atomic<std::uint64_t>[kMaxParts]) {
    for (int k = 0; k < kMaxParts; ++k) claims_[k].store(0, std::memory_order_relaxed);
    const int helpers = std::min(threads, kMaxParts / 2) - 1;
    if (helpers <= 0) return;
    delay_ = std::chrono::microseconds(helper_delay_us.load(std::memory_order_relaxed));
    delayed_ = delay_.count() > 0 ? delayed_helper.load(std::memory_order_relaxed) : 0;
    const int failing = failing_start.load(std::memory_order_relaxed);
    threads_.reset(new std::thread[static_cast<std::size_t>(helpers)]);
    // The helpers read the team's size only once they have seen a run,
    // which is published after the count below is final.
    for (int h = 0; h < helpers; ++h) {
        try {
            if (failing > 0 && h + 1 >= failing) throw std::system_error(EAGAIN, std::generic_category());
            if (h + 1 == delayed_) {
                threads_[h] = std::thread([this, h] { serve<true>(h + 1); });
            } else {
                threads_[h] = std::thread([this, h] { serve<false>(h + 1); });
            }
        } catch (const std::system_error&) {
            break;  // the team goes on with the helpers it has
        }
        helpers_ = h + 1;
    }
}

Team::~Team() {
    if (helpers_ == 0) return;
    closing_.store(true, std::memory_order_relaxed);
    publish(word_, run_word(id_ + 1, 0, 0));
    for (int h = 0; h < helpers_; ++h) threads_[h].join();
}

void Team::begin(Mode mode, int parts, void (*body)(void*, int, int), void* context) {
    body_ = body;
    context_ = context;
    done_.store(0, std::memory_order_relaxed);
    ++id_;
    mode_ = mode;
    parts_ = parts;
    publish(word_, run_word(id_, static_cast<std::uint32_t>(mode), parts));
}

void Team::finish() {
    work_on<false>(id_, mode_, parts_, 0);
    const int parts = parts_;
    await(done_, [parts](int v) { return v == parts; });
}

void Team::close_open() {
    // The work is done: the parts not claimed yet are closed to their
    // helpers, which stay out.
    int closed = 1;
    for (int k = 1; k < parts_; ++k) closed += claim(k, id_) ? 1 : 0;
    const int parts = parts_;
    if (done_.fetch_add(closed, std::memory_order_acq_rel) + closed == parts) return;
    await(done_, [parts](int v) { return v == parts; });
}

bool Team::claim(int k, std::uint64_t id) {
    std::atomic<std::uint64_t>& c = claims_[k];
    std::uint64_t v = c.load(std::memory_order_relaxed);
    while (v < id) {
        if (c.compare_exchange_weak(v, id, std::memory_order_acq_rel, std::memory_order_relaxed)) return true;
    }
    return false;
}

void Team::handshake() const { std::this_thread::sleep_for(delay_); }

template <bool Delayed>
void Team::work_on(std::uint64_t id, Mode mode, int parts, int index) {
    auto take = [&](int k) {
        if constexpr (Delayed) handshake();
        if (!claim(k, id)) return;
        {
            const Part part(mode, k, parts);
            body_(context_, k, parts);
        }
        if constexpr (Delayed) handshake();
        end_part(parts);
    };
    const int n = size();
    for (int k = index; k < parts; k += n) take(k);
    for (int k = 0; k < parts; ++k) {
        if (k % n != index) take(k);
    }
}

void Team::end_part(int parts) {
    if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == parts) done_.notify_all();
}

template <bool Delayed>
void Team::serve(int index) {
    // Runs from the first on: the word still holds the id before it, or a
    // later one, which the loop then sees.
    std::uint64_t seen = 0;
    for (;;) {
        const std::uint64_t word = await(word_, [seen](std::uint64_t w) { return w >> 32 != seen; });
        seen = word >> 32;
        if (closing_.load(std::memory_order_relaxed)) return;
        if constexpr (Delayed) handshake();
        const auto mode = static_cast<Mode>((word >> 16) & 0xffff);
        const int parts = static_cast<int>(word & kPartsMask);
        if (mode != Mode::kOpen) {
            work_on<Delayed>(seen, mode, parts, index);
            continue;
        }
        // Its own index only, unless the caller has closed the run or the
        // run has fewer threads.
        if (index >= parts) continue;
        if constexpr (Delayed) handshake();
        if (!claim(index, seen)) continue;
        {
            const Part part(mode, index, parts);
            body_(context_, index, parts);
        }
        if constexpr (Delayed) handshake();
        end_part(parts);
    }
}

}  // namespace orv::proc
