// Values read from the data, correlation, loading and factor-correlation
// files must be finite: a NaN or an infinity stops the run, with a message
// that names the file, the record and the value, before it can reach any
// computation or table.
#pragma once

#include <string>
#include <utility>

#include "runtime/records.h"

namespace orv::engine {

// The window message "FATAL ERROR: Value V in record N of file F is not a
// finite number", the pause prompt and the fatal stop.
[[noreturn]] void stop_not_finite(const std::string& file, long long record, double value);

// The window message "FATAL ERROR: Value V in record N of file F is too
// large: WHY", the pause prompt and the fatal stop, for a finite value whose
// use would overflow.
[[noreturn]] void stop_too_large(const std::string& file, long long record, double value, const std::string& why);

// V in the fewest digits that read back as V ("0.3", "1e+308").
std::string number_text(double v);

// A record source that counts the records it hands out: after a value has
// been read, `records()` is the number of the record that held it.
class CountingSource final : public rt::RecordSource {
public:
    // RECORDS: the records of the file read before this source's first.
    explicit CountingSource(rt::RecordSource& inner, long long records = 0) : inner_(inner), records_(records) {}
    bool next_record(std::string& record) override {
        const bool got = inner_.next_record(record);
        if (got) ++records_;
        return got;
    }
    rt::IoError error(rt::IoErrorKind kind, std::string detail) const override {
        return inner_.error(kind, std::move(detail));
    }
    long long records() const { return records_; }

private:
    rt::RecordSource& inner_;
    long long records_;
};

}  // namespace orv::engine
