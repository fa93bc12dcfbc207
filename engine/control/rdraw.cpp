#include "engine/control/rdraw.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/units.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
#include "engine/control/record_window.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// Records and characters read in one window at most: the calling thread
// reads the records of a window from the unit while the other threads
// convert the subjects of the window before it.
constexpr std::size_t kWindowRecords = std::size_t{1} << 16;
constexpr std::size_t kWindowBytes = std::size_t{1} << 23;
// Subjects handed to a thread at a time, at most.
constexpr std::size_t kChunk = 64;

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

// The records of one subject out of a window, read as from the unit: past
// the last record held it gives the end of the file, or rethrows the unit's
// failure; errors name the unit and its file as the unit's own source does.
class WindowRecords final : public rt::RecordSource {
public:
    WindowRecords(const Window& window, std::size_t first, std::size_t last, int unit, const std::string& file)
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

// Record of the file, counted from 1, that holds item ITEM (0 the
// identifier, j the j-th value) of subject I (from 0) when every subject
// takes PER records: the records that end before the item's edit.
std::size_t record_of(const rt::Format& format, std::size_t per, std::size_t i, std::size_t item) {
    RecordCounter counter;
    try {
        rt::FormatWalker walker(format, counter);
        for (std::size_t k = 0; k <= item; ++k) walker.next_edit();
    } catch (const rt::IoError&) {
    }
    return i * per + counter.records;
}

// A value of subject SUBJECT (item ITEM: 0 the identifier) that is not a
// finite number.
struct NonFiniteItem {
    std::size_t subject;
    std::size_t item;
    double value;
};

void read_subject(rt::RecordSource& source, const rt::Format& format, std::size_t i, std::size_t nsubj,
                  std::size_t nvar, DataArray& SUBJID, DataArray& X) {
    rt::FormattedInput in(source, format);
    in >> SUBJID[i];
    for (std::size_t j = 0; j < nvar; ++j) in >> X[i + j * nsubj];
    in.finish();
}

// True when V is NaN or an infinity: its exponent bits are all ones.
inline bool not_finite(double v) {
    constexpr std::uint64_t exponent = 0x7ff0000000000000u;
    return (std::bit_cast<std::uint64_t>(v) & exponent) == exponent;
}

// Throws the first value of the subjects FROM .. TO-1 that is not a finite
// number, if any.  The subjects were just converted, so their values are
// still at hand; each column's part is tested in one pass.
void check_finite(std::size_t from, std::size_t to, std::size_t nsubj, std::size_t nvar, const DataArray& SUBJID,
                  const DataArray& X) {
    bool bad = false;
    for (std::size_t i = from; i < to; ++i) bad |= not_finite(SUBJID[i]);
    for (std::size_t j = 0; j < nvar; ++j) {
        const double* column = X.data() + j * nsubj;
        for (std::size_t i = from; i < to; ++i) bad |= not_finite(column[i]);
    }
    if (!bad) return;
    for (std::size_t i = from; i < to; ++i) {
        if (not_finite(SUBJID[i])) throw NonFiniteItem{i, 0, SUBJID[i]};
        for (std::size_t j = 0; j < nvar; ++j)
            if (not_finite(X[i + j * nsubj])) throw NonFiniteItem{i, j + 1, X[i + j * nsubj]};
    }
}

// Converts the subjects FROM .. TO-1 one after the other and tests their
// values; the first subject that fails either way ends the read with its
// error.
void read_subjects(rt::RecordSource& source, const rt::Format& format, std::size_t from, std::size_t to,
                   std::size_t nsubj, std::size_t nvar, DataArray& SUBJID, DataArray& X) {
    std::size_t i = from;
    try {
        for (; i < to; ++i) read_subject(source, format, i, nsubj, nvar, SUBJID, X);
    } catch (...) {
        check_finite(from, i, nsubj, nvar, SUBJID, X);
        throw;
    }
    check_finite(from, to, nsubj, nvar, SUBJID, X);
}

// Converts the subjects FIRST .. FIRST+COUNT-1 from the window, whose
// records start with FIRST's; PER records each, on THREADS threads: the
// pool's helpers, and the caller once it has run BESIDE (the read of the
// next window).  A subject whose records run past the window's takes what
// is left.  Throws the error of the lowest-numbered subject that fails.
void read_window(proc::WorkerPool& pool, const std::function<void()>& beside, const Window& window, std::size_t first,
                 std::size_t count, std::size_t per, const rt::Format& format, std::size_t nsubj, std::size_t nvar,
                 int threads, const std::string& file, DataArray& SUBJID, DataArray& X) {
    const std::size_t held = window.held();
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::size_t failed = count;  // lowest failing subject of the window
    std::exception_ptr error;
    const std::size_t chunk =
        std::clamp<std::size_t>(count / (4 * static_cast<std::size_t>(std::max(threads, 1))), 1, kChunk);
    auto work = [&] {
        for (;;) {
            const std::size_t c0 = next.fetch_add(chunk);
            if (c0 >= count) return;
            {
                std::lock_guard<std::mutex> hold(lock);
                if (c0 > failed) return;
            }
            const std::size_t c1 = std::min(count, c0 + chunk);
            std::size_t s = c0;
            std::exception_ptr chunk_error;
            for (; s < c1; ++s) {
                try {
                    WindowRecords source(window, std::min(held, s * per), std::min(held, (s + 1) * per), LUDAT,
                                       file);
                    read_subject(source, format, first + s, nsubj, nvar, SUBJID, X);
                } catch (...) {
                    chunk_error = std::current_exception();
                    break;
                }
            }
            // A value that is not finite before the failing subject comes
            // first.
            try {
                check_finite(first + c0, first + s, nsubj, nvar, SUBJID, X);
            } catch (const NonFiniteItem& bad) {
                s = bad.subject - first;
                chunk_error = std::current_exception();
            }
            if (chunk_error) {
                std::lock_guard<std::mutex> hold(lock);
                if (s < failed) {
                    failed = s;
                    error = chunk_error;
                }
            }
        }
    };
    const int workers =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), (count + chunk - 1) / chunk));
    // The unit is read on the calling thread only.
    pool.start(beside ? workers : workers - 1, [&](int) { work(); });
    try {
        if (beside) beside();
    } catch (...) {
        pool.wait();
        throw;
    }
    work();
    pool.wait();
    if (error) std::rethrow_exception(error);
}

// RDRAW's work; a value that is not finite comes out as NonFiniteItem.
void read_raw(const std::string& DATFMT, int NSUBJ, int NVAR, DataArray& SUBJID, DataArray& X, int threads) {
    const std::size_t nsubj = static_cast<std::size_t>(std::max(NSUBJ, 0));
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    // Sized from the declared counts; an array that cannot be had stops the
    // run naming it.
    zeros(SUBJID, nsubj, "the subject identifiers SUBJID");
    zeros(X, nsubj * nvar, "the raw data X");
    if (nsubj == 0) return;

    // The format is the user's: parsed once for the whole file.
    const rt::Format format = rt::parse_format(trimmed(DATFMT));
    const std::size_t per = records_per_subject(format, nvar);
    threads = proc::policy::raw_read(threads, nsubj, per);
    if (threads == 1 || per == 0 || per > kWindowRecords) {
        rt::UnitSource source(LUDAT);
        for (std::size_t i = 0; i < nsubj; i += kChunk)
            read_subjects(source, format, i, std::min(nsubj, i + kChunk), nsubj, nvar, SUBJID, X);
        return;
    }

    // Each subject takes the same number of records, so its records are
    // known before any is converted.  While one window's subjects are
    // converted in parallel, the calling thread reads the next window from
    // the unit; errors come out as the subject-by-subject read gives them:
    // the first failing subject's, naming the unit and file.
    const std::string file = rt::unit_file_name(LUDAT);
    const std::size_t window_subjects = std::max<std::size_t>(1, kWindowRecords / per);
    Window windows[2];
    // One helper per thread: the caller converts only once its read is done.
    proc::WorkerPool pool(threads);
    std::size_t wanted = std::min(window_subjects, nsubj);
    fill(windows[0], LUDAT, wanted * per, per, kWindowBytes);
    for (std::size_t first = 0, w = 0; first < nsubj; w ^= 1) {
        const Window& current = windows[w];
        // A window cut short by the end of the file (or a failed read) ends
        // in an error of one of its subjects; one full enough ends early.
        const std::size_t count = current.ended ? wanted : current.held() / per;
        const std::size_t next_first = first + count;
        wanted = next_first < nsubj ? std::min(window_subjects, nsubj - next_first) : 0;
        std::function<void()> reader;
        if (wanted > 0)
            reader = [&next = windows[w ^ 1], records = wanted * per, per] { fill(next, LUDAT, records, per, kWindowBytes); };
        read_window(pool, reader, current, first, count, per, format, nsubj, nvar, threads, file, SUBJID, X);
        first = next_first;
    }
}

}  // namespace

void RDRAW(const std::string& DATFMT, int NSUBJ, int NVAR, DataArray& SUBJID, DataArray& X, int threads) {
    try {
        read_raw(DATFMT, NSUBJ, NVAR, SUBJID, X, threads);
    } catch (const NonFiniteItem& bad) {
        const rt::Format format = rt::parse_format(trimmed(DATFMT));
        const std::size_t per = records_per_subject(format, static_cast<std::size_t>(std::max(NVAR, 0)));
        stop_not_finite(rt::unit_file_name(LUDAT),
                        static_cast<long long>(record_of(format, per, bad.subject, bad.item)), bad.value);
    }
}

}  // namespace orv::engine
