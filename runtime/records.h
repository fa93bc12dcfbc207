// Where the records of one statement come from and go to: a unit, or an
// internal file (an array of fixed-length texts).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format.h"
#include "io_error.h"

namespace orv::rt {

class RecordSource {
public:
    virtual ~RecordSource() = default;
    // The next record; false at the end of the file.
    virtual bool next_record(std::string& record) = 0;
    // Builds the error of a failed transfer, naming this source's unit and
    // file.
    virtual IoError error(IoErrorKind kind, std::string detail) const = 0;
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void put_record(std::string_view record) = 0;
    virtual IoError error(IoErrorKind kind, std::string detail) const = 0;
};

class UnitSource final : public RecordSource {
public:
    explicit UnitSource(int unit) : unit_(unit) {}
    bool next_record(std::string& record) override;
    IoError error(IoErrorKind kind, std::string detail) const override;

private:
    int unit_;
};

class UnitSink final : public RecordSink {
public:
    explicit UnitSink(int unit) : unit_(unit) {}
    void put_record(std::string_view record) override;
    IoError error(IoErrorKind kind, std::string detail) const override;

private:
    int unit_;
};

// A run-time format for statements on `unit`, such as a data file's format
// taken from a command file: parse_format, but a format that does not parse
// is an error that names the unit and its file.
Format parse_unit_format(int unit, std::string_view text);

// Internal input: the records are the given texts, in order.
class InternalSource final : public RecordSource {
public:
    explicit InternalSource(std::vector<std::string_view> records) : records_(std::move(records)) {}
    explicit InternalSource(std::string_view record) : records_{record} {}
    bool next_record(std::string& record) override;
    IoError error(IoErrorKind kind, std::string detail) const override;

private:
    std::vector<std::string_view> records_;
    std::size_t next_ = 0;
};

// Internal output into `records`, each of `length` characters: every record
// written is padded with blanks to the length; a record longer than the
// length, or more records than the array holds, is an error (EndOfRecord /
// EndOfFile).  Records not reached keep their contents.
class InternalSink final : public RecordSink {
public:
    InternalSink(std::vector<std::string>& records, std::size_t length);
    void put_record(std::string_view record) override;
    std::size_t records_written() const { return next_; }
    IoError error(IoErrorKind kind, std::string detail) const override;

private:
    std::vector<std::string>& records_;
    std::size_t length_;
    std::size_t next_ = 0;
};

}  // namespace orv::rt
