// Formatted input/output statements under a parsed format
// (ISO/IEC 1539 9.6.4.5, 10.4).
//
// An output statement builds one record at a time: T, TL, TR and X move the
// position without lengthening the record unless something is written
// further right; a record ends at "/", at format reversion and at the end of
// the statement.  After the last item, literals and control items are
// processed up to the next data edit descriptor, a colon or the end of the
// format.  An input statement starts at a new record, reads fields from it,
// moves to the next record at "/" and reversion, and reads blanks past the
// end of a short record.
//
// Items are given one at a time with `<<` / `>>`; `finish()` completes the
// statement and must be called (the convenience functions `write` and
// `read` do it).  A failure throws IoError naming the descriptor and the
// record; after a failure the statement is dead.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "edit.h"
#include "format.h"
#include "records.h"

namespace orv::rt {

// Walks a format for one statement: hands out data edit descriptors one at a
// time and reports control items through the Handler.  Format reversion
// happens when the end of the format is reached while items remain.
class FormatWalker {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void literal(std::string_view text) = 0;
        virtual void position(ItemType type, int count) = 0;  // X, T, TL, TR
        virtual void end_record() = 0;                        // "/" and reversion
    };

    FormatWalker(const Format& format, Handler& handler);

    // The next data edit descriptor, with the modes in force.  Throws
    // IoError (BadFormat) when the format has no data edit descriptor.
    DataEdit next_edit();
    // Processes what follows the last item: control items up to the next
    // data edit descriptor, a colon, or the end of the format.
    void finish();
    const Modes& modes() const { return modes_; }
    // The last data edit descriptor handed out, and its text for messages.
    const DataEdit& last_edit() const { return format_.items[last_data_].edit; }
    std::string last_edit_text() const;

private:
    // Processes control items up to the next data item.  With `for_item`
    // false (the end of a statement) it stops instead at a colon, at a data
    // edit descriptor, or at the end of the format; it returns whether it
    // stopped at a data edit descriptor.
    bool advance(bool for_item);

    const Format& format_;
    Handler& handler_;
    Modes modes_;
    std::size_t index_ = 1;          // current item
    int data_repeat_left_ = 0;       // remaining repeats of the current data item
    std::vector<int> group_counts_;  // remaining repeats per open group
    std::size_t last_data_ = 0;
    bool edit_since_start_ = false;  // a data edit was handed out in this pass
};

class FormattedOutput : private FormatWalker::Handler {
public:
    FormattedOutput(RecordSink& sink, const Format& format);
    ~FormattedOutput() override;
    FormattedOutput(const FormattedOutput&) = delete;
    FormattedOutput& operator=(const FormattedOutput&) = delete;

    FormattedOutput& operator<<(int value) { return put_integer(value, 32); }
    FormattedOutput& operator<<(long value) { return put_integer(value, 64); }
    FormattedOutput& operator<<(long long value) { return put_integer(value, 64); }
    FormattedOutput& operator<<(double value);
    FormattedOutput& operator<<(bool value);
    FormattedOutput& operator<<(std::string_view text);
    FormattedOutput& operator<<(const char* text) { return *this << std::string_view(text); }
    FormattedOutput& operator<<(const std::string& text) { return *this << std::string_view(text); }
    template <typename T>
    FormattedOutput& operator<<(std::span<T> values) {
        for (const auto& v : values) *this << v;
        return *this;
    }
    template <typename T>
    FormattedOutput& operator<<(const std::vector<T>& values) {
        for (const auto& v : values) *this << v;
        return *this;
    }

    void finish();

private:
    FormattedOutput& put_integer(std::int64_t value, int bits);
    template <typename EditField>
    FormattedOutput& put_item(char type, EditField edit_field);
    DataEdit next_for(char type);
    void put_field(const std::string& field);
    void literal(std::string_view text) override;
    void position(ItemType type, int count) override;
    void end_record() override;
    void put_text(std::string_view text);

    RecordSink& sink_;
    FormatWalker walker_;
    std::string record_;     // characters of the current record
    std::size_t pos_ = 0;    // current position (0-based column)
    std::string field_;
    int item_number_ = 0;
    bool finished_ = false;
};

class FormattedInput : private FormatWalker::Handler {
public:
    FormattedInput(RecordSource& source, const Format& format);
    ~FormattedInput() override;
    FormattedInput(const FormattedInput&) = delete;
    FormattedInput& operator=(const FormattedInput&) = delete;

    FormattedInput& operator>>(int& value);
    FormattedInput& operator>>(long long& value);
    FormattedInput& operator>>(double& value);
    FormattedInput& operator>>(bool& value);
    // The text keeps its size, which is its declared length.
    FormattedInput& operator>>(std::string& text);
    template <typename T>
    FormattedInput& operator>>(std::span<T> values) {
        for (auto& v : values) *this >> v;
        return *this;
    }

    void finish();

private:
    std::string_view take_field(int width);
    DataEdit next_for(char type);
    [[noreturn]] void conversion_failed(const std::string& why);
    void literal(std::string_view text) override;
    void position(ItemType type, int count) override;
    void end_record() override;
    void start_record();

    RecordSource& source_;
    FormatWalker walker_;
    std::string record_;
    std::string padded_;
    std::size_t pos_ = 0;
    long record_number_ = 0;   // records read by this statement
    int item_number_ = 0;
    bool finished_ = false;
};

// Writes the items to `unit` with the format in one statement.
template <typename... Items>
void write(int unit, const Format& format, const Items&... items) {
    UnitSink sink(unit);
    FormattedOutput out(sink, format);
    if constexpr (sizeof...(items) > 0) (out << ... << items);
    out.finish();
}
template <typename... Items>
void write(int unit, std::string_view format, const Items&... items) {
    write(unit, parse_unit_format(unit, format), items...);
}

// Internal WRITE into fixed-length records.
template <typename... Items>
void write_internal(std::vector<std::string>& records, std::size_t length, const Format& format,
                    const Items&... items) {
    InternalSink sink(records, length);
    FormattedOutput out(sink, format);
    if constexpr (sizeof...(items) > 0) (out << ... << items);
    out.finish();
}

// Formats the items as one or more records and returns them joined with
// "\n" (a convenience for tests and single-record texts; no length limit).
template <typename... Items>
std::string format_records(const Format& format, const Items&... items);

// Reads the items from `unit` with the format in one statement.
template <typename... Items>
void read(int unit, const Format& format, Items&... items) {
    UnitSource source(unit);
    FormattedInput in(source, format);
    if constexpr (sizeof...(items) > 0) (in >> ... >> items);
    in.finish();
}
template <typename... Items>
void read(int unit, std::string_view format, Items&... items) {
    read(unit, parse_unit_format(unit, format), items...);
}

// ---------------------------------------------------------------------------

class StringSink final : public RecordSink {
public:
    void put_record(std::string_view record) override {
        if (!text.empty() || count > 0) text += '\n';
        text.append(record);
        ++count;
    }
    IoError error(IoErrorKind kind, std::string detail) const override {
        return IoError(kind, std::move(detail), -1, "internal record");
    }
    std::string text;
    int count = 0;
};

template <typename... Items>
std::string format_records(const Format& format, const Items&... items) {
    StringSink sink;
    FormattedOutput out(sink, format);
    if constexpr (sizeof...(items) > 0) (out << ... << items);
    out.finish();
    return sink.text;
}

}  // namespace orv::rt
