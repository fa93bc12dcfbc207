// List-directed input and output (ISO/IEC 1539 10.10).
//
// Input: values are separated by blanks, tabs, a comma (with optional blanks
// around it) or a record end; `r*value` repeats a value and `r*` gives r null
// values; a null value leaves its item unchanged; a slash ends the list and
// leaves every remaining item unchanged; values may run over any number of
// records; text may be quoted with apostrophes or quotation marks (doubled
// quotes inside stand for one); an unquoted text ends at a blank, comma,
// slash or record end.  After the statement the rest of the last record read
// is skipped.
//
// One exception for file names (`path`): there "/" is an ordinary character
// of an unquoted value, because Linux paths contain it.
//
// Output follows GNU Fortran's list-directed layout: each record starts with
// a blank; text is written as it is, numbers in the processor's forms.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "records.h"

namespace orv::rt {

class ListInput {
public:
    explicit ListInput(RecordSource& source);
    ListInput(const ListInput&) = delete;
    ListInput& operator=(const ListInput&) = delete;

    ListInput& operator>>(int& value);
    ListInput& operator>>(long long& value);
    ListInput& operator>>(double& value);
    ListInput& operator>>(bool& value);
    // The text keeps its size, its declared length: a longer value keeps its
    // leftmost characters, a shorter one is padded with blanks.
    ListInput& operator>>(std::string& text);
    template <typename T>
    ListInput& operator>>(std::span<T> values) {
        for (auto& v : values) *this >> v;
        return *this;
    }
    // A file-name item: as text, with "/" an ordinary character.
    ListInput& path(std::string& text);

    // True once a slash has ended the list: every later item is left
    // unchanged.
    bool ended() const { return ended_; }

    // Ends the statement (skips the rest of the current record).
    void finish();

private:
    struct Impl;  // the scanner, in list_input.cpp
    friend struct Impl;
    RecordSource& source_;
    std::string record_;          // the current record
    std::size_t pos_ = 0;         // next character of record_
    bool have_record_ = false;    // a record has been read in this statement
    bool ended_ = false;          // a slash ended the list
    bool pending_comma_ = false;  // a value was read; a comma next is its separator
    long long repeat_left_ = 0;   // further items that take the repeated value
    bool repeat_null_ = false;    // the repeated value is null (r*)
    bool quoted_ = false;         // value_ was quoted
    std::string value_;           // the current value, quotes removed
    int item_ = 0;                // number of the current item in the statement
};

class ListOutput {
public:
    explicit ListOutput(RecordSink& sink);
    ListOutput(const ListOutput&) = delete;
    ListOutput& operator=(const ListOutput&) = delete;

    ListOutput& operator<<(int value);
    ListOutput& operator<<(long long value);
    ListOutput& operator<<(double value);
    ListOutput& operator<<(bool value);
    ListOutput& operator<<(std::string_view text);
    ListOutput& operator<<(const char* text) { return *this << std::string_view(text); }
    ListOutput& operator<<(const std::string& text) { return *this << std::string_view(text); }
    void finish();

private:
    RecordSink& sink_;
    std::string record_;
    bool last_was_text_ = false;
    bool any_item_ = false;
};

template <typename... Items>
void read_list(int unit, Items&... items) {
    UnitSource source(unit);
    ListInput in(source);
    if constexpr (sizeof...(items) > 0) (in >> ... >> items);
    in.finish();
}

template <typename... Items>
void write_list(int unit, const Items&... items) {
    UnitSink sink(unit);
    ListOutput out(sink);
    if constexpr (sizeof...(items) > 0) (out << ... << items);
    out.finish();
}

}  // namespace orv::rt
