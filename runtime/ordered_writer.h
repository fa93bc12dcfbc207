// Output whose statements are formatted on all threads but reach their unit
// in statement order, so that files do not depend on the thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/records.h"
#include "runtime/units.h"

namespace orv::rt {

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
// its held records, formatted a few statements at a time on the pool's
// helpers while the calling thread writes them to UNIT in order; the
// caller formats a chunk itself when no helper has taken it by the time it
// is next, so the file comes whatever number of helpers run.  Statements
// are formatted into a ring of reused slots, so that the text held at any
// time is a few blocks, not the whole file.  When a statement throws, every
// statement before it is written, with the records the failing one made,
// and the lowest failing statement's exception is rethrown.
template <typename Statement>
void write_in_order(proc::Team& pool, int unit, std::size_t count, Statement statement) {
    const std::size_t workers = static_cast<std::size_t>(pool.size() - 1);
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
    // `written` count the rounds of the slot that are formatted and written,
    // and `error` is the exception of the slot's chunk.  kStop in `written`
    // sends the helpers home.
    constexpr std::size_t kStop = static_cast<std::size_t>(-1);
    struct Slot {
        HeldRecords held;
        std::exception_ptr error;
        std::atomic<std::size_t> formatted{0};
        std::atomic<std::size_t> written{0};
    };
    const std::size_t nslots = std::min(chunks, 4 * workers);
    std::vector<Slot> slots(nslots);
    std::atomic<std::size_t> next{0};        // the next chunk to take
    std::atomic<std::size_t> failed{kStop};  // lowest failing chunk

    // Chunk C, once its slot's chunk before it is written: false when the
    // writer has stopped.
    auto format_chunk = [&](std::size_t c) {
        Slot& slot = slots[c % nslots];
        const std::size_t round = c / nslots;
        if (proc::await(slot.written, [round](std::size_t w) { return w == round || w == kStop; }) == kStop)
            return false;
        slot.held.text.clear();
        const std::size_t last = std::min(count, (c + 1) * chunk);
        for (std::size_t k = c * chunk; k < last; ++k) {
            try {
                statement(k, slot.held);
            } catch (...) {
                slot.error = std::current_exception();
                std::size_t low = failed.load();
                while (c < low && !failed.compare_exchange_weak(low, c)) {
                }
                break;
            }
        }
        proc::publish(slot.formatted, round + 1);
        return true;
    };
    auto stop = [&] {
        for (Slot& slot : slots) proc::publish(slot.written, kStop);
    };

    // The writer (index 0) writes the chunks in order, up to the failing
    // one; the helpers format the chunks they take, none after a failing
    // one, so the writer never waits for a chunk after it.
    std::exception_ptr error;
    auto work = [&](int index, int) {
        if (index > 0) {
            for (;;) {
                const std::size_t c = next.fetch_add(1);
                if (c >= chunks || c > failed.load() || !format_chunk(c)) return;
            }
        }
        try {
            for (std::size_t c = 0; c < chunks; ++c) {
                Slot& slot = slots[c % nslots];
                const std::size_t round = c / nslots;
                std::size_t untaken = c;
                if (next.compare_exchange_strong(untaken, c + 1)) format_chunk(c);
                proc::await(slot.formatted, [round](std::size_t f) { return f == round + 1; });
                rt::write_records(unit, slot.held.text);
                if (slot.error) {
                    error = slot.error;
                    break;
                }
                proc::publish(slot.written, round + 1);
            }
        } catch (...) {
            error = std::current_exception();
        }
        stop();
    };
    pool.run_open(work);
    if (error) std::rethrow_exception(error);
}

// The same with THREADS formatting threads started for it alone.
template <typename Statement>
void write_in_order(int unit, std::size_t count, int threads, Statement statement) {
    proc::WorkerPool pool(threads > 1 && count > 1 ? threads : 0);
    write_in_order(pool, unit, count, statement);
}

}  // namespace orv::rt
