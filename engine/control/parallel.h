// Work spread over the cores: a loop whose iterations are independent, and
// output whose statements are formatted on all threads but reach their unit
// in statement order, so that files do not depend on the thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/formatted_io.h"
#include "runtime/records.h"
#include "runtime/units.h"

namespace orv::engine {

// THREADS when positive, else one per core.
inline int thread_count(int threads) {
    if (threads > 0) return threads;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Runs body(k) for k = 0 .. COUNT-1 on up to THREADS threads, CHUNK
// iterations at a time.  The first exception thrown stops the handing out
// of further iterations and is rethrown once all threads have ended.
template <typename Body>
void parallel_for(std::size_t count, int threads, Body body, std::size_t chunk = 1) {
    chunk = std::max<std::size_t>(chunk, 1);
    const std::size_t workers =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), (count + chunk - 1) / chunk);
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
    std::vector<std::thread> pool;
    pool.reserve(workers - 1);
    for (std::size_t w = 1; w < workers; ++w) pool.emplace_back(work);
    work();
    for (auto& thread : pool) thread.join();
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
// its held records, formatted on THREADS threads a block at a time and
// written to UNIT in order.
template <typename Statement>
void write_in_order(int unit, std::size_t count, int threads, Statement statement) {
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::vector<HeldRecords> held(std::min(count, kBlock));
    for (std::size_t first = 0; first < count; first += kBlock) {
        const std::size_t n = std::min(kBlock, count - first);
        parallel_for(
            n, threads,
            [&](std::size_t k) {
                held[k].text.clear();
                statement(first + k, held[k]);
            },
            16);
        for (std::size_t k = 0; k < n; ++k) rt::write_records(unit, held[k].text);
    }
}

}  // namespace orv::engine
