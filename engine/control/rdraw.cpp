#include "engine/control/rdraw.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/units.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
#include "engine/control/record_window.h"
#include "engine/control/short_file.h"
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

// Records NVAR + 1 items take per subject under FORMAT, or LIMIT + 1 when
// they take more than LIMIT; throws the format's error when it cannot serve
// them.  The walk goes item by item, so the limit (the records the file can
// hold) keeps a huge declared item count from walking far past the file.
std::size_t walk_subject(const rt::Format& format, std::size_t nvar, std::size_t limit) {
    RecordCounter counter;
    rt::FormatWalker walker(format, counter);
    for (std::size_t k = 0; k <= nvar; ++k) {
        walker.next_edit();
        if (counter.records > limit) return limit + 1;
    }
    walker.finish();
    return std::min(counter.records, limit + 1);
}

// The same, or 0 when the walk fails (the read of the first subject then
// reports the failure).
std::size_t records_per_subject(const rt::Format& format, std::size_t nvar, std::size_t limit) {
    try {
        return walk_subject(format, nvar, limit);
    } catch (const rt::IoError&) {
        return 0;
    }
}

// The size of the raw data file when it is a regular file.
std::optional<std::uintmax_t> file_size() {
    std::error_code failed;
    const std::filesystem::path path = rt::unit_file_name(LUDAT);
    if (!std::filesystem::is_regular_file(path, failed)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    if (failed) return std::nullopt;
    return size;
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
    long long record = 0;  // of the file, once known
};

// SUBJID and X while the subjects come in: room for cap() subjects, X's
// leading dimension, grown as whole subjects are read and never beyond
// NSUBJ, so that a subject count the file cannot meet takes no more memory
// than the subjects the file holds.
class Room {
public:
    Room(std::size_t nsubj, std::size_t nvar) : nsubj_(nsubj), nvar_(nvar) {}
    std::size_t cap() const { return cap_; }
    double* id(std::size_t i) { return SUBJID.data() + i; }
    double* x(std::size_t i) { return X.data() + i; }  // X(i,j) at x(i)[j * cap()]

    // Room for N subjects at least: twice the room held, at most NSUBJ.
    void reserve(std::size_t n) {
        if (n <= cap_) return;
        const std::size_t cap = std::min(nsubj_, std::max(n, 2 * cap_));
        DataArray id, x;
        zeros(id, cap, "the subject identifiers SUBJID");
        zeros(x, cap * nvar_, "the raw data X");
        std::copy(SUBJID.begin(), SUBJID.end(), id.begin());
        for (std::size_t j = 0; j < nvar_ && cap_ > 0; ++j)
            std::copy_n(X.begin() + static_cast<std::ptrdiff_t>(j * cap_), cap_,
                        x.begin() + static_cast<std::ptrdiff_t>(j * cap));
        SUBJID.swap(id);
        X.swap(x);
        cap_ = cap;
    }

    DataArray SUBJID, X;

private:
    std::size_t nsubj_, nvar_;
    std::size_t cap_ = 0;
};

// One subject's identifier into *ID and its values into X[j * LD]; with LD
// 0 and ID == X every value lands in one scratch place, for a subject that
// is converted only to learn whether and how it fails.
void read_subject(rt::RecordSource& source, const rt::Format& format, double* id, double* x, std::size_t ld,
                  std::size_t nvar) {
    rt::FormattedInput in(source, format);
    in >> *id;
    for (std::size_t j = 0; j < nvar; ++j) in >> x[j * ld];
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
void check_finite(std::size_t from, std::size_t to, std::size_t nvar, Room& room) {
    const std::size_t ld = room.cap();
    bool bad = false;
    for (std::size_t i = from; i < to; ++i) bad |= not_finite(*room.id(i));
    for (std::size_t j = 0; j < nvar; ++j) {
        const double* column = room.x(0) + j * ld;
        for (std::size_t i = from; i < to; ++i) bad |= not_finite(column[i]);
    }
    if (!bad) return;
    for (std::size_t i = from; i < to; ++i) {
        if (not_finite(*room.id(i))) throw NonFiniteItem{i, 0, *room.id(i)};
        for (std::size_t j = 0; j < nvar; ++j)
            if (not_finite(room.x(i)[j * ld])) throw NonFiniteItem{i, j + 1, room.x(i)[j * ld]};
    }
}

// Converts the subjects FIRST .. FIRST+COUNT-1 from the window, whose
// records start with FIRST's and hold all of theirs, PER records each, into
// ROOM; on THREADS threads: the pool's helpers, and the caller once it has
// run BESIDE (the read of the next window).  Throws the error of the
// lowest-numbered subject that fails.
void read_window(proc::WorkerPool& pool, const std::function<void()>& beside, const Window& window, std::size_t first,
                 std::size_t count, std::size_t per, const rt::Format& format, std::size_t nvar, int threads,
                 const std::string& file, Room& room) {
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
                    WindowRecords source(window, s * per, (s + 1) * per, LUDAT, file);
                    read_subject(source, format, room.id(first + s), room.x(first + s), room.cap(), nvar);
                } catch (...) {
                    chunk_error = std::current_exception();
                    break;
                }
            }
            // A value that is not finite before the failing subject comes
            // first.
            try {
                check_finite(first + c0, first + s, nvar, room);
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
    // The unit is read on the calling thread only; without helpers it reads
    // first and converts after.
    const int helpers = std::min(pool.helpers(), beside ? workers : workers - 1);
    if (helpers > 0) pool.start(helpers, [&](int) { work(); });
    try {
        if (beside) beside();
    } catch (...) {
        if (helpers > 0) pool.wait();
        throw;
    }
    work();
    if (helpers > 0) pool.wait();
    if (error) std::rethrow_exception(error);
}

// The file ended before the declared subjects: SUBJECTS were read whole,
// in RECORDS records.
struct ShortFile {
    std::size_t subjects;
    long long records;
};

// The subjects from FIRST on, after the last window, whose records start at
// its record FROM: the one subject the end of the file cuts short, if any,
// and the end itself.  Each is converted first to a scratch place, so that
// a subject the file cannot complete takes no room, however many values it
// declares; one that reads whole after all is converted again into ROOM.
void read_tail(const Window& window, std::size_t from, std::size_t first, std::size_t nsubj, std::size_t nvar,
               const rt::Format& format, const std::string& file, long long records, Room& room) {
    for (std::size_t s = first; s < nsubj; ++s, from = window.held()) {
        try {
            double scratch = 0.0;
            WindowRecords source(window, from, window.held(), LUDAT, file);
            read_subject(source, format, &scratch, &scratch, 0, nvar);
        } catch (const rt::IoError& e) {
            if (end_of_file(e)) throw ShortFile{s, records};
            throw;
        }
        room.reserve(s + 1);
        WindowRecords source(window, from, window.held(), LUDAT, file);
        read_subject(source, format, room.id(s), room.x(s), room.cap(), nvar);
        check_finite(s, s + 1, nvar, room);
    }
}

// Room for the subjects of the file, judged from its first window: the
// subjects it holds when it reached the end of the file, else as many as
// the file's size holds at the window's bytes per subject, and a
// sixteenth more.  More room is made as subjects come in beyond it.
std::size_t first_room(const Window& window, std::size_t per, std::size_t nsubj) {
    const std::size_t whole = window.held() / per;
    const std::optional<std::uintmax_t> size = file_size();
    if (window.ended || !size) return whole;
    const double bytes = static_cast<double>(window.text.size() + window.held());  // with the line ends
    const double subjects = static_cast<double>(*size) / bytes * static_cast<double>(whole) * (17.0 / 16.0);
    return subjects >= static_cast<double>(nsubj) ? nsubj : std::max(whole, static_cast<std::size_t>(subjects));
}

// RDRAW's work; a value that is not finite comes out as NonFiniteItem, a
// file that ends early as ShortFile.
void read_raw(const std::string& DATFMT, int NSUBJ, int NVAR, DataArray& SUBJID, DataArray& X, int threads) {
    const std::size_t nsubj = static_cast<std::size_t>(std::max(NSUBJ, 0));
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    SUBJID.clear();
    X.clear();
    if (nsubj == 0) return;

    // The format is the user's: parsed once for the whole file.
    const rt::Format format = rt::parse_unit_format(LUDAT, trimmed(DATFMT));
    // A file of N bytes holds N + 1 records at most.
    const std::optional<std::uintmax_t> size = file_size();
    constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max() - 1;
    const std::size_t limit = size && *size < kNoLimit ? static_cast<std::size_t>(*size) + 1 : kNoLimit;
    const std::size_t per = records_per_subject(format, nvar, limit);
    if (per == 0) {
        // The format cannot serve the items: the first subject's read fails
        // where the walk did, or earlier at its records.
        double scratch = 0.0;
        rt::UnitSource source(LUDAT);
        read_subject(source, format, &scratch, &scratch, 0, nvar);
        walk_subject(format, nvar, limit);
    }
    threads = proc::policy::raw_read(threads, nsubj, per);

    // Each subject takes the same number of records, so its records are
    // known before any is converted.  While one window's subjects are
    // converted (in parallel), the calling thread reads the next window
    // from the unit; errors come out as the subject-by-subject read gives
    // them: the first failing subject's, naming the unit and file.
    const std::string file = rt::unit_file_name(LUDAT);
    const std::size_t window_subjects = std::max<std::size_t>(1, kWindowRecords / per);
    Window windows[2];
    // One helper per thread: the caller converts only once its read is done.
    proc::WorkerPool pool(threads > 1 ? threads : 0);
    Room room(nsubj, nvar);
    long long records = 0;
    std::size_t wanted = std::min(window_subjects, nsubj);
    try {
        fill(windows[0], LUDAT, wanted * per, per, kWindowBytes);
        room.reserve(first_room(windows[0], per, nsubj));
        for (std::size_t first = 0, w = 0; first < nsubj; w ^= 1) {
            const Window& current = windows[w];
            records += static_cast<long long>(current.held());
            // A window cut short by the end of the file (or a failed read)
            // has its last subjects in the tail; one full enough ends early.
            const std::size_t count = std::min(current.held() / per, nsubj - first);
            const std::size_t next_first = first + count;
            wanted = next_first < nsubj && !current.ended ? std::min(window_subjects, nsubj - next_first) : 0;
            std::function<void()> reader;
            if (wanted > 0)
                reader = [&next = windows[w ^ 1], records = wanted * per, per] {
                    fill(next, LUDAT, records, per, kWindowBytes);
                };
            room.reserve(next_first);
            read_window(pool, reader, current, first, count, per, format, nvar, threads, file, room);
            if (wanted == 0 && next_first < nsubj) {
                read_tail(current, count * per, next_first, nsubj, nvar, format, file, records, room);
                break;
            }
            first = next_first;
        }
    } catch (NonFiniteItem& bad) {
        bad.record = static_cast<long long>(record_of(format, per, bad.subject, bad.item));
        throw;
    }
    SUBJID.swap(room.SUBJID);
    X.swap(room.X);
}

}  // namespace

void RDRAW(const std::string& DATFMT, int NSUBJ, int NVAR, DataArray& SUBJID, DataArray& X, int threads) {
    try {
        read_raw(DATFMT, NSUBJ, NVAR, SUBJID, X, threads);
    } catch (const NonFiniteItem& bad) {
        stop_not_finite(rt::unit_file_name(LUDAT), bad.record, bad.value);
    } catch (const ShortFile& end) {
        stop_file_ends(rt::unit_file_name(LUDAT), end.records,
                       std::to_string(end.subjects) + " of the " + std::to_string(NSUBJ) +
                           " subjects declared on >DATA:");
    }
}

}  // namespace orv::engine
