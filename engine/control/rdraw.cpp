#include "engine/control/rdraw.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>

#include <sys/mman.h>

#include "engine/control/jobset.h"
#include "engine/control/units.h"
#include "runtime/formatted_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// Records and characters read in one window at most: the records of a
// window are read from the unit first, then its subjects are converted on
// all threads.
constexpr std::size_t kWindowRecords = std::size_t{1} << 16;
constexpr std::size_t kWindowBytes = std::size_t{16} << 20;
// Subjects handed to a thread at a time.
constexpr std::size_t kChunk = 64;
// Fewer records than this are read subject by subject (default threads).
constexpr std::size_t kThreadedRecords = 4096;

// Counts the records one READ takes under a format: its first record and
// one more at every "/" and at every reversion.  Only the format and the
// number of items decide that, never the data.
class RecordCounter final : public rt::FormatWalker::Handler {
public:
    std::size_t records = 1;
    void literal(std::string_view) override {}
    void position(rt::ItemType, int) override {}
    void end_record() override { ++records; }
};

// Records NVAR + 1 items take per subject under FORMAT, or 0 when the walk
// fails (the subject-by-subject read then reports the failure).
std::size_t records_per_subject(const rt::Format& format, std::size_t nvar) {
    try {
        RecordCounter counter;
        rt::FormatWalker walker(format, counter);
        for (std::size_t k = 0; k <= nvar; ++k) walker.next_edit();
        walker.finish();
        return counter.records;
    } catch (const rt::IoError&) {
        return 0;
    }
}

// The records of a window, read from the unit in one go.  `failure` is what
// the unit threw at the record after the last one held (a failed read); at
// the end of the file it is empty.
struct Window {
    std::string text;
    std::vector<std::size_t> ends;  // end of each record in `text`
    std::exception_ptr failure;
    bool ended = false;  // the unit has no more records (end of file or failure)

    std::string_view record(std::size_t k) const {
        const std::size_t start = k == 0 ? 0 : ends[k - 1];
        return std::string_view(text).substr(start, ends[k] - start);
    }
};

// Reads up to WANTED records, stopping early after a whole subject (PER
// records) once the window holds kWindowBytes.
void fill(Window& window, int unit, std::size_t wanted, std::size_t per) {
    window.text.clear();
    window.ends.clear();
    std::string record;
    for (std::size_t k = 0; k < wanted; ++k) {
        if (k % per == 0 && window.text.size() >= kWindowBytes) return;
        try {
            if (!rt::read_record(unit, record)) {
                window.ended = true;
                return;
            }
        } catch (...) {
            window.failure = std::current_exception();
            window.ended = true;
            return;
        }
        window.text += record;
        window.ends.push_back(window.text.size());
    }
}

// The records of one subject out of a window, read as from the unit: past
// the last record held it gives the end of the file, or rethrows the unit's
// failure; errors name the unit and its file as the unit's own source does.
class HeldRecords final : public rt::RecordSource {
public:
    HeldRecords(const Window& window, std::size_t first, std::size_t last, int unit, const std::string& file)
        : window_(window), next_(first), last_(last), unit_(unit), file_(file) {}

    bool next_record(std::string& record) override {
        if (next_ < last_) {
            record.assign(window_.record(next_++));
            return true;
        }
        if (window_.failure) std::rethrow_exception(window_.failure);
        return false;
    }
    rt::IoError error(rt::IoErrorKind kind, std::string detail) const override {
        return rt::IoError(kind, std::move(detail), unit_, file_);
    }

private:
    const Window& window_;
    std::size_t next_, last_;
    int unit_;
    const std::string& file_;
};

// Makes room for N values in V.  The first zeroing of a large array is
// paid mostly in the kernel, a page fault every 4 KiB on one thread, and
// would cost as much as the read itself: the array is asked for huge pages
// and its pages are brought in by THREADS threads beforehand (hints only;
// V is zeroed by the caller as before).
void reserve_prefaulted(std::vector<double>& v, std::size_t n, int threads) {
    if (v.capacity() >= n) return;
    std::vector<double>().swap(v);
    v.reserve(n);
#if defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(v.data()) + huge - 1) & ~(huge - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(v.data() + n) & ~(huge - 1);
    if (end <= begin) return;
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    const std::uintptr_t pages = (end - begin) / huge;
    const auto workers = std::min<std::uintptr_t>(static_cast<std::uintptr_t>(std::max(threads, 1)), pages);
    auto populate = [&](std::uintptr_t w) {
        const std::uintptr_t p0 = begin + pages * w / workers * huge, p1 = begin + pages * (w + 1) / workers * huge;
        ::madvise(reinterpret_cast<void*>(p0), p1 - p0, MADV_POPULATE_WRITE);
    };
    std::vector<std::thread> pool;
    for (std::uintptr_t w = 1; w < workers; ++w) pool.emplace_back(populate, w);
    populate(0);
    for (auto& thread : pool) thread.join();
#else
    (void)threads;
#endif
}

void read_subject(rt::RecordSource& source, const rt::Format& format, std::size_t i, std::size_t nsubj,
                  std::size_t nvar, std::vector<double>& SUBJID, std::vector<double>& X) {
    rt::FormattedInput in(source, format);
    in >> SUBJID[i];
    for (std::size_t j = 0; j < nvar; ++j) in >> X[i + j * nsubj];
    in.finish();
}

// Converts the subjects FIRST .. FIRST+COUNT-1 from the window, whose
// records start with FIRST's; PER records each.  A subject whose records
// run past the window's takes what is left.  Throws the error of the
// lowest-numbered subject that fails.
void read_window(const Window& window, std::size_t first, std::size_t count, std::size_t per,
                 const rt::Format& format, std::size_t nsubj, std::size_t nvar, int threads,
                 const std::string& file, std::vector<double>& SUBJID, std::vector<double>& X) {
    const std::size_t held = window.ends.size();
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::size_t failed = count;  // lowest failing subject of the window
    std::exception_ptr error;
    auto work = [&] {
        for (;;) {
            const std::size_t c0 = next.fetch_add(kChunk);
            if (c0 >= count) return;
            {
                std::lock_guard<std::mutex> hold(lock);
                if (c0 > failed) return;
            }
            const std::size_t c1 = std::min(count, c0 + kChunk);
            for (std::size_t s = c0; s < c1; ++s) {
                try {
                    HeldRecords source(window, std::min(held, s * per), std::min(held, (s + 1) * per), LUDAT,
                                       file);
                    read_subject(source, format, first + s, nsubj, nvar, SUBJID, X);
                } catch (...) {
                    std::lock_guard<std::mutex> hold(lock);
                    if (s < failed) {
                        failed = s;
                        error = std::current_exception();
                    }
                    break;
                }
            }
        }
    };
    std::vector<std::thread> pool;
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), (count + kChunk - 1) / kChunk);
    for (std::size_t w = 1; w < workers; ++w) pool.emplace_back(work);
    work();
    for (auto& thread : pool) thread.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace

void RDRAW(const std::string& DATFMT, int NSUBJ, int NVAR, std::vector<double>& SUBJID, std::vector<double>& X,
           int threads) {
    const std::size_t nsubj = static_cast<std::size_t>(std::max(NSUBJ, 0));
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    SUBJID.assign(nsubj, 0.0);
    if (threads != 1) reserve_prefaulted(X, nsubj * nvar, threads > 0 ? threads : cores);
    X.assign(nsubj * nvar, 0.0);
    if (nsubj == 0) return;

    // The format is the user's: parsed once for the whole file.
    const rt::Format format = rt::parse_format(trimmed(DATFMT));
    const std::size_t per = records_per_subject(format, nvar);
    if (threads <= 0) {
        threads = cores;
        if (per == 0 || nsubj * std::min(per, kThreadedRecords) < kThreadedRecords) threads = 1;
    }
    if (threads == 1 || per == 0 || per > kWindowRecords) {
        rt::UnitSource source(LUDAT);
        for (std::size_t i = 0; i < nsubj; ++i) read_subject(source, format, i, nsubj, nvar, SUBJID, X);
        return;
    }

    // The windows are read in turn; a window's subjects in parallel.  Each
    // subject takes the same number of records, so its records are known
    // before any is converted, and errors come out as the subject-by-subject
    // read gives them: the first failing subject's, naming the unit and file.
    const std::string file = rt::unit_file_name(LUDAT);
    const std::size_t window_subjects = std::max<std::size_t>(1, kWindowRecords / per);
    Window window;
    for (std::size_t first = 0; first < nsubj;) {
        std::size_t count = std::min(window_subjects, nsubj - first);
        fill(window, LUDAT, count * per, per);
        // A window cut short by the end of the file (or a failed read) ends
        // in an error of one of its subjects; one full enough ends early.
        if (!window.ended) count = window.ends.size() / per;
        read_window(window, first, count, per, format, nsubj, nvar, threads, file, SUBJID, X);
        first += count;
    }
}

}  // namespace orv::engine
