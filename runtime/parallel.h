// Work spread over the cores: a loop whose iterations are independent, and
// output whose statements are formatted on all threads but reach their unit
// in statement order, so that files do not depend on the thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/formatted_io.h"
#include "runtime/records.h"
#include "runtime/thread_policy.h"
#include "runtime/units.h"

namespace orv::rt {

// Threads kept for the parallel work of one stage.  Starting a thread
// costs about a tenth of a millisecond on some machines, so a stage that
// runs many parallel loops starts its threads once.  A pool for THREADS
// threads has THREADS - 1 helpers; the calling thread is the last.
class WorkerPool {
public:
    explicit WorkerPool(int helpers);
    ~WorkerPool();  // waits for a task still running, then ends the helpers
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int helpers() const { return static_cast<int>(threads_.size()); }

    // Runs task(w) on the helpers w = 0 .. N-1 (N at most helpers()) while
    // the caller goes on; wait() returns when they are done and rethrows the
    // first exception a helper threw.  Each start is paired with a wait.
    void start(int n, std::function<void(int)> task);
    void wait();

private:
    void serve(int index);

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::function<void(int)> task_;
    std::uint64_t generation_ = 0;  // one more at each start
    int active_ = 0;                // helpers given the current task
    int running_ = 0;               // of those, not yet done
    bool closing_ = false;
    std::exception_ptr error_;
    std::vector<std::thread> threads_;
};

// Runs body(k) for k = 0 .. COUNT-1 on the pool's helpers and the calling
// thread, CHUNK iterations at a time.  The first exception thrown stops the
// handing out of further iterations and is rethrown once all have ended.
template <typename Body>
void parallel_for(WorkerPool& pool, std::size_t count, Body body, std::size_t chunk = 1) {
    chunk = std::max<std::size_t>(chunk, 1);
    const std::size_t workers =
        std::min<std::size_t>(static_cast<std::size_t>(pool.helpers()) + 1, (count + chunk - 1) / chunk);
    if (workers <= 1) {
        for (std::size_t k = 0; k < count; ++k) body(k);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::exception_ptr error;
    std::mutex error_lock;
    auto work = [&] {
        try {
            for (;;) {
                const std::size_t first = next.fetch_add(chunk);
                if (first >= count) return;
                const std::size_t last = std::min(count, first + chunk);
                for (std::size_t k = first; k < last; ++k) body(k);
            }
        } catch (...) {
            std::lock_guard<std::mutex> hold(error_lock);
            if (!error) error = std::current_exception();
            next = count;
        }
    };
    pool.start(static_cast<int>(workers - 1), [&](int) { work(); });
    work();
    pool.wait();
    if (error) std::rethrow_exception(error);
}

// The records of formatted statements, held in memory, each followed by a
// line end, until they are written to their unit.
class HeldRecords final : public rt::RecordSink {
public:
    void put_record(std::string_view record) override {
        text.append(record);
        text.push_back('\n');
    }
    rt::IoError error(rt::IoErrorKind kind, std::string detail) const override {
        return rt::IoError(kind, std::move(detail), -1, "held record");
    }
    std::string text;
};

// One formatted WRITE into held records.
template <typename... Items>
void write(HeldRecords& held, const rt::Format& format, const Items&... items) {
    rt::FormattedOutput out(held, format);
    if constexpr (sizeof...(items) > 0) (out << ... << items);
    out.finish();
}

// The statements 0 .. COUNT-1, statement(k, held) writing statement k into
// its held records, formatted on the pool's helpers a few statements at a
// time while the calling thread writes them to UNIT in order.  Statements
// are formatted into a ring of reused slots, so that the text held at any
// time is a few blocks, not the whole file.  When a statement throws, every
// statement before it is written, with the records the failing one made,
// and the lowest failing statement's exception is rethrown.
template <typename Statement>
void write_in_order(WorkerPool& pool, int unit, std::size_t count, Statement statement) {
    const std::size_t workers = static_cast<std::size_t>(pool.helpers());
    const std::size_t chunk = std::clamp<std::size_t>(count / (8 * std::max<std::size_t>(workers, 1)), 1, 64);
    const std::size_t chunks = (count + chunk - 1) / chunk;
    if (workers == 0 || chunks <= 1) {
        HeldRecords held;
        for (std::size_t k = 0; k < count; ++k) {
            held.text.clear();
            try {
                statement(k, held);
            } catch (...) {
                rt::write_records(unit, held.text);
                throw;
            }
            rt::write_records(unit, held.text);
        }
        return;
    }

    // Slot s serves the chunks s, s + S, s + 2S, ...; `formatted` and
    // `written` count the rounds of the slot that are formatted and written.
    // kStop in `written` sends the helpers home.
    constexpr std::size_t kStop = static_cast<std::size_t>(-1);
    struct Slot {
        HeldRecords held;
        std::atomic<std::size_t> formatted{0};
        std::atomic<std::size_t> written{0};
    };
    const std::size_t nslots = std::min(chunks, 4 * workers);
    std::vector<Slot> slots(nslots);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed{kStop};  // lowest failing chunk
    std::exception_ptr error;
    std::mutex error_lock;

    auto format = [&](int) {
        for (;;) {
            const std::size_t c = next.fetch_add(1);
            if (c >= chunks || c > failed.load()) return;
            Slot& slot = slots[c % nslots];
            const std::size_t round = c / nslots;
            for (std::size_t w = slot.written.load(); w != round; w = slot.written.load()) {
                if (w == kStop) return;
                slot.written.wait(w);
            }
            slot.held.text.clear();
            const std::size_t last = std::min(count, (c + 1) * chunk);
            for (std::size_t k = c * chunk; k < last; ++k) {
                try {
                    statement(k, slot.held);
                } catch (...) {
                    std::lock_guard<std::mutex> hold(error_lock);
                    if (c < failed.load()) {
                        failed = c;
                        error = std::current_exception();
                    }
                    break;
                }
            }
            slot.formatted = round + 1;
            slot.formatted.notify_all();
        }
    };
    auto stop = [&] {
        for (Slot& slot : slots) {
            slot.written = kStop;
            slot.written.notify_all();
        }
    };

    // A failing chunk is formatted (up to its failing statement) and written
    // last; the writer never waits for a chunk after it.
    pool.start(static_cast<int>(workers), format);
    try {
        for (std::size_t c = 0; c < chunks; ++c) {
            Slot& slot = slots[c % nslots];
            const std::size_t round = c / nslots;
            for (std::size_t f = slot.formatted.load(); f != round + 1; f = slot.formatted.load())
                slot.formatted.wait(f);
            rt::write_records(unit, slot.held.text);
            if (c == failed.load()) break;
            slot.written = round + 1;
            slot.written.notify_all();
        }
    } catch (...) {
        stop();
        pool.wait();
        throw;
    }
    stop();
    pool.wait();
    if (error) std::rethrow_exception(error);
}

// The same with THREADS formatting threads started for it alone.
template <typename Statement>
void write_in_order(int unit, std::size_t count, int threads, Statement statement) {
    WorkerPool pool(threads > 1 && count > 1 ? threads : 0);
    write_in_order(pool, unit, count, statement);
}

}  // namespace orv::rt
