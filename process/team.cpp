#include "process/team.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace orv::rt {
namespace {

constexpr std::uint64_t kPartsMask = 0xffff;

std::uint64_t run_word(std::uint64_t id, std::uint32_t mode, int parts) {
    return id << 32 | std::uint64_t{mode} << 16 | static_cast<std::uint64_t>(parts);
}

// The helper that tests hold up, and for how long.
std::atomic<int> delayed_helper{0};
std::atomic<int> helper_delay_us{0};

void handshake(int helper) {
    if (delayed_helper.load(std::memory_order_relaxed) != helper) return;
    const int us = helper_delay_us.load(std::memory_order_relaxed);
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

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
Team::Part::Part(Mode mode, int part, int parts) {
    running = {static_cast<int>(mode), part, parts};
}
Team::Part::~Part() { running = {}; }
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

Team::Team(int threads) : claims_(new std::atomic<std::uint64_t>[kMaxParts]) {
    for (int k = 0; k < kMaxParts; ++k) claims_[k].store(0, std::memory_order_relaxed);
    const int helpers = std::min(threads, kMaxParts / 2) - 1;
    if (helpers <= 0) return;
    threads_.reset(new std::thread[static_cast<std::size_t>(helpers)]);
    helpers_ = helpers;
    for (int h = 0; h < helpers; ++h) {
        try {
            threads_[h] = std::thread([this, h] { serve(h + 1); });
        } catch (const std::system_error&) {
            if (h == 0) {
                helpers_ = 0;
                return;
            }
            started_.fetch_add(kIncomplete, std::memory_order_release);
            break;
        }
    }
}

Team::~Team() {
    if (helpers_ == 0) return;
    closing_.store(true, std::memory_order_relaxed);
    const std::uint64_t id = (word_.load(std::memory_order_relaxed) >> 32) + 1;
    publish(word_, run_word(id, 0, 0));
    // Helper H's thread object is written by helper H before it ends.
    for (int h = 0; h < helpers_; ++h) {
        if (threads_[h].joinable()) threads_[h].join();
    }
}

bool Team::all_started() {
    const int started = await(started_, [this](int v) { return v >= helpers_; });
    return started < kIncomplete;
}

void Team::start(Mode mode, int parts, void (*body)(void*, int, int), void* context) {
    body_ = body;
    context_ = context;
    done_.store(0, std::memory_order_relaxed);
    const std::uint64_t id = (word_.load(std::memory_order_relaxed) >> 32) + 1;
    publish(word_, run_word(id, static_cast<std::uint32_t>(mode), parts));
    if (mode == Mode::kOpen) {
        {
            const Part part(mode, 0, parts);
            body(context, 0, parts);
        }
        // The work is done: the parts not claimed yet are closed to their
        // helpers, which stay out.
        int closed = 1;
        for (int k = 1; k < parts; ++k) closed += claim(k, id) ? 1 : 0;
        if (done_.fetch_add(closed, std::memory_order_acq_rel) + closed == parts) return;
    } else {
        work_on(id, mode, parts, 0);
    }
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

void Team::work_on(std::uint64_t id, Mode mode, int parts, int index) {
    auto take = [&](int k) {
        if (index > 0) handshake(index);
        if (!claim(k, id)) return;
        {
            const Part part(mode, k, parts);
            body_(context_, k, parts);
        }
        if (index > 0) handshake(index);
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

void Team::serve(int index) {
    started_.fetch_add(1, std::memory_order_release);
    started_.notify_all();
    // Runs from the first on: the word still holds the id before it, or a
    // later one, which the loop then sees.
    std::uint64_t seen = 0;
    for (;;) {
        const std::uint64_t word = await(word_, [seen](std::uint64_t w) { return w >> 32 != seen; });
        seen = word >> 32;
        if (closing_.load(std::memory_order_relaxed)) return;
        handshake(index);
        const auto mode = static_cast<Mode>((word >> 16) & 0xffff);
        const int parts = static_cast<int>(word & kPartsMask);
        if (mode != Mode::kOpen) {
            work_on(seen, mode, parts, index);
            continue;
        }
        // Its own index only, unless the caller has closed the run.
        handshake(index);
        if (!claim(index, seen)) continue;
        {
            const Part part(mode, index, parts);
            body_(context_, index, parts);
        }
        handshake(index);
        end_part(parts);
    }
}

}  // namespace orv::rt
