#include "engine/control/rdcor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
#include "engine/control/record_window.h"
#include "engine/control/short_file.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// Rows tried from one window at most, and values at most: a declared order
// far above what the file holds takes little memory at a time.
constexpr std::size_t kWindowRows = 64;
constexpr std::size_t kWindowValues = std::size_t{1} << 20;
// Bytes of rows a thread converts at a time at least, so that threads do
// not write next to each other.
constexpr std::size_t kChunkBytes = 4096;

// The one record a row is tried on.  A row that asks for another runs over
// several lines and is read again in file order.
class OneRecord final : public rt::RecordSource {
public:
    explicit OneRecord(std::string_view record) : record_(record) {}
    bool next_record(std::string& record) override {
        if (given_) {
            more_ = true;
            return false;
        }
        record.assign(record_);
        given_ = true;
        return true;
    }
    rt::IoError error(rt::IoErrorKind kind, std::string detail) const override {
        return rt::IoError(kind, std::move(detail), LUDAT, "");
    }
    bool asked_for_more() const { return more_; }

private:
    std::string_view record_;
    bool given_ = false;
    bool more_ = false;
};

// ROW read from RECORD alone: true when the record held the whole row and
// every value is finite, so that the read in file order gives the same.
bool try_row(std::string_view record, std::span<double> row) {
    std::fill(row.begin(), row.end(), 0.0);
    OneRecord source(record);
    try {
        rt::ListInput in(source);
        for (double& value : row) {
            in >> value;
            if (!std::isfinite(value)) return false;
        }
        in.finish();
    } catch (...) {
        return false;
    }
    return !source.asked_for_more();
}

// The records from a window's record NEXT on, then from the unit: after the
// window's last record, the unit's end or failure as the window met it.
class WindowThenUnit final : public rt::RecordSource {
public:
    WindowThenUnit(const Window& window, std::size_t next) : window_(window), next_(next) {}
    bool next_record(std::string& record) override {
        if (next_ < window_.held()) {
            record.assign(window_.record(next_++));
            return true;
        }
        next_ = std::numeric_limits<std::size_t>::max();  // the window is used up
        if (window_.failure) std::rethrow_exception(window_.failure);
        if (window_.ended) return false;
        return unit_.next_record(record);
    }
    rt::IoError error(rt::IoErrorKind kind, std::string detail) const override {
        return unit_.error(kind, std::move(detail));
    }
    std::size_t next() const { return next_; }

private:
    const Window& window_;
    std::size_t next_;
    rt::UnitSource unit_{LUDAT};
};

// The rows of the matrix as they are read: rows converted on threads, a
// window of records at a time, and rows read one by one in file order.  A
// row read in file order holds the values its list gave; those a slash
// left out are zero.
class Rows {
public:
    explicit Rows(std::size_t n) : n_(n) {}
    std::size_t count() const { return rows_.size(); }
    double at(std::size_t i, std::size_t j) const { return j < lengths_[i] ? rows_[i][j] : 0.0; }

    // Room for COUNT whole rows, kept by adopt() once one of them is taken.
    std::unique_ptr<double[]> room(std::size_t count) const { return block(count * n_); }
    void adopt(std::unique_ptr<double[]> block) { blocks_.push_back(std::move(block)); }
    // The next row, whole, held by a block adopted or to be adopted.
    void take(const double* row) {
        rows_.push_back(row);
        lengths_.push_back(n_);
    }
    void add(const std::vector<double>& row) {
        std::unique_ptr<double[]> values = block(row.size());
        std::copy(row.begin(), row.end(), values.get());
        rows_.push_back(values.get());
        lengths_.push_back(row.size());
        adopt(std::move(values));
    }

private:
    std::unique_ptr<double[]> block(std::size_t values) const {
        try {
            return std::unique_ptr<double[]>(new double[values]);
        } catch (const std::bad_alloc&) {
            no_memory("the correlation matrix R", n_ * n_, sizeof(double));
        }
    }

    std::size_t n_;
    std::vector<std::unique_ptr<double[]>> blocks_;
    std::vector<const double*> rows_;
    std::vector<std::size_t> lengths_;
};

// Row `rows.count()` read in file order from SOURCE, which has handed out
// RECORDS records of the file before.  The row grows with the values read,
// so an order the file cannot meet takes no memory beyond what it holds:
// the end of the file stops the run with the rows read and the order.
void read_row(rt::RecordSource& source, long long& records, std::size_t n, std::vector<double>& row, Rows& rows) {
    CountingSource counted(source, records);
    row.clear();
    rt::ListInput in(counted);
    try {
        while (row.size() < n && !in.ended()) {
            double value = 0.0;
            in >> value;
            if (!std::isfinite(value)) stop_not_finite(rt::unit_file_name(LUDAT), counted.records(), value);
            row.push_back(value);
        }
    } catch (const rt::IoError& e) {
        if (!end_of_file(e)) throw;
        stop_file_ends(rt::unit_file_name(LUDAT), counted.records(),
                       held_for(rows.count(), "rows of the correlation matrix", static_cast<long long>(n),
                                "variables", ">DATA:"));
    }
    in.finish();
    records = counted.records();
    rows.add(row);
}

// Reads the N rows.  On THREADS threads, each record of a window is first
// tried as a whole row; the rows that a record holds whole are taken in
// order, and a record that does not is read again in file order (over
// several lines, or to the error the file gives there), after which the
// window's later records go on as tried.  After two windows in a row that
// give no row (every row runs over several lines), the rest is read in
// file order alone.
void read_rows(proc::WorkerPool& pool, std::size_t n, int threads, Rows& rows) {
    std::vector<double> row;
    long long records = 0;
    Window window;
    std::size_t next = 0;  // the window's first record not yet read into a row
    if (threads > 1 && n > 0 && n <= kWindowValues) {
        const std::size_t window_rows = std::clamp<std::size_t>(kWindowValues / n, 1, kWindowRows);
        const std::size_t chunk = std::max<std::size_t>(1, kChunkBytes / (n * sizeof(double)));
        std::vector<char> whole(window_rows);
        std::unique_ptr<double[]> block;  // the window's records as rows
        bool taken = false;               // a row of BLOCK is taken
        int fruitless = 0;
        while (rows.count() < n) {
            if (next == window.held()) {
                if (block) fruitless = taken ? 0 : fruitless + 1;
                if (taken) rows.adopt(std::move(block));
                if (window.ended || fruitless == 2) break;
                fill(window, LUDAT, std::min(window_rows, n - rows.count()), 1,
                     std::numeric_limits<std::size_t>::max());
                next = 0;
                block = rows.room(window.held());
                taken = false;
                double* const converted = block.get();
                proc::parallel_for(
                    pool, window.held(),
                    [&](std::size_t k) { whole[k] = try_row(window.record(k), {converted + k * n, n}); }, chunk);
                continue;
            }
            for (; next < window.held() && whole[next] && rows.count() < n; ++next, ++records) {
                rows.take(block.get() + next * n);
                taken = true;
            }
            if (next < window.held() && rows.count() < n) {
                WindowThenUnit source(window, next);
                read_row(source, records, n, row, rows);
                next = std::min(source.next(), window.held());
            }
        }
        if (taken) rows.adopt(std::move(block));
    }
    WindowThenUnit source(window, next);
    while (rows.count() < n) read_row(source, records, n, row, rows);
}

}  // namespace

void RDCOR(const std::string& METRIC, const std::string& DATFIL, int NVAR, std::vector<double>& R, int threads) {
    const rt::OpenOptions old_file{rt::OpenStatus::Old, true};
    const std::string file = trimmed(DATFIL);
    if (METRIC.substr(0, 2) == "DI") {
        static const rt::Format missing = rt::parse_format("(/,T27,A47,/,T30,A,/,/)");
        open_input(LUDAT, file, missing, "FATAL ERROR! Input correlation matrix not found");
    } else {
        rt::open_unit_or_fail(LUDAT, file, old_file);
    }

    static const rt::Format progress = rt::parse_format("(T30,A20)");
    rt::write(LUCON, progress, "Reading Correlations");

    // The rows are gathered as they are read, so that a declared order
    // larger than the file takes no memory beyond what the file holds; R is
    // made once every row is in.  A value the list leaves null stays zero.
    const std::size_t n = static_cast<std::size_t>(std::max(NVAR, 0));
    threads = proc::policy::correlation_read(threads, n);
    proc::WorkerPool pool(threads - 1);
    Rows rows(n);
    read_rows(pool, n, threads, rows);
    zeros(R, n * n, "the correlation matrix R");
    // Each thread writes a run of whole columns.
    const auto parts = static_cast<std::size_t>(threads);
    proc::parallel_for(pool, n, [&](std::size_t j) {
        for (std::size_t i = 0; i < n; ++i) R[i + j * n] = rows.at(i, j);
    }, (n + parts - 1) / parts);
}

}  // namespace orv::engine
