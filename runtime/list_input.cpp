// List-directed input (ISO/IEC 1539 10.10.3).
//
// Where the standard leaves a choice we follow GNU Fortran (see
// scripts/golden/list_input.sh):
//  - a comma at the start of the statement, or after another comma (also
//    across a record end), is a null value; a record end by itself is only a
//    blank, so "1" / ",3" gives 1 and 3;
//  - quoted text runs over record ends, which add nothing to it; a quote
//    still open at the end of the file ends the text there;
//  - a closing quote must be followed by a separator;
//  - a value for an integer item is an optional sign and digits; a real
//    value needs a digit in its mantissa (".", "+", "E5" are errors) and is
//    otherwise read as F editing with d = 0 (so "1.5+3" and "1.5Q2" are
//    accepted, as are Inf and NaN);
//  - "0*" is an error, as is a repeat count above 2147483647;
//  - a READ with no items still takes one record, and fails at end of file.
//
// Values are kept in one reused buffer: no allocation per value once it has
// grown.  A quoted text longer than its item and kMaxText keeps only what
// an item can use, so a file with an unclosed quote cannot make us hold more
// than that.
#include <charconv>
#include <climits>
#include <string>

#include "runtime/edit_input.h"
#include "runtime/list_io.h"
#include "runtime/text.h"

namespace orv::rt {
namespace {

constexpr std::size_t kMaxText = std::size_t{1} << 20;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string shown(std::string_view text) { return shown_text(text); }

}  // namespace

struct ListInput::Impl {
    enum class Next { Null, Value, End };

    static IoError conversion(const ListInput& in, const char* what) {
        return in.source_.error(IoErrorKind::Conversion, std::string(what) + " for item " + std::to_string(in.item_) +
                                                             " in list input: " + shown(in.value_));
    }

    // Moves to the next character that is not a blank, reading records as
    // needed.  False at the end of the file.
    static bool skip_blanks(ListInput& in) {
        for (;;) {
            if (in.have_record_) {
                while (in.pos_ < in.record_.size() && is_blank(in.record_[in.pos_])) ++in.pos_;
                if (in.pos_ < in.record_.size()) return true;
            }
            if (!in.source_.next_record(in.record_)) return false;
            in.have_record_ = true;
            in.pos_ = 0;
        }
    }

    static bool ends_value(const ListInput& in, std::size_t at, bool path) {
        if (at >= in.record_.size()) return true;
        char c = in.record_[at];
        return is_blank(c) || c == ',' || (c == '/' && !path);
    }

    // Quoted text from the opening quote at pos_, over record ends.
    static void read_quoted(ListInput& in, std::size_t limit) {
        const char quote = in.record_[in.pos_++];
        in.value_.clear();
        for (;;) {
            if (in.pos_ >= in.record_.size()) {
                if (!in.source_.next_record(in.record_)) return;  // closed by the end of the file
                in.pos_ = 0;
                continue;
            }
            char c = in.record_[in.pos_++];
            if (c == quote) {
                if (in.pos_ < in.record_.size() && in.record_[in.pos_] == quote) {
                    ++in.pos_;  // a doubled quote stands for one
                } else {
                    break;
                }
            }
            if (in.value_.size() < limit) in.value_ += c;
        }
        if (!ends_value(in, in.pos_, false)) throw conversion(in, "text goes on after its closing quote");
    }

    // The value for the next item.  `path`: "/" is an ordinary character of
    // an unquoted value.  `text_limit`: how much of a quoted value to keep.
    static Next next(ListInput& in, bool path, std::size_t text_limit = kMaxText) {
        ++in.item_;
        if (in.ended_) return Next::End;
        if (in.repeat_left_ > 0) {
            --in.repeat_left_;
            return in.repeat_null_ ? Next::Null : Next::Value;
        }
        for (;;) {
            if (!skip_blanks(in))
                throw in.source_.error(IoErrorKind::EndOfFile,
                                       "end of file while reading item " + std::to_string(in.item_));
            char c = in.record_[in.pos_];
            if (c == ',') {
                ++in.pos_;
                if (in.pending_comma_) {
                    in.pending_comma_ = false;
                    continue;
                }
                return Next::Null;
            }
            if (c == '/' && !path) {
                in.ended_ = true;
                return Next::End;
            }
            break;
        }
        in.pending_comma_ = true;

        // r*value or r*: digits then an asterisk.
        std::size_t j = in.pos_;
        while (j < in.record_.size() && is_digit(in.record_[j])) ++j;
        if (j > in.pos_ && j < in.record_.size() && in.record_[j] == '*') {
            int r = 0;  // gfortran takes counts up to the int32 limit
            auto res = std::from_chars(in.record_.data() + in.pos_, in.record_.data() + j, r);
            if (res.ec != std::errc()) {
                in.value_.assign(in.record_, in.pos_, j + 1 - in.pos_);
                throw conversion(in, "repeat count too large");
            }
            if (r == 0) {
                in.value_.assign(in.record_, in.pos_, j + 1 - in.pos_);
                throw conversion(in, "zero repeat count");
            }
            in.pos_ = j + 1;
            in.repeat_left_ = r - 1;
            in.repeat_null_ = ends_value(in, in.pos_, path);
            if (in.repeat_null_) return Next::Null;
        }

        if (in.record_[in.pos_] == '\'' || in.record_[in.pos_] == '"') {
            in.quoted_ = true;
            read_quoted(in, text_limit);
        } else {
            in.quoted_ = false;
            std::size_t end = in.pos_;
            while (!ends_value(in, end, path)) ++end;
            in.value_.assign(in.record_, in.pos_, end - in.pos_);
            in.pos_ = end;
        }
        return Next::Value;
    }

    static void integer(ListInput& in, long long& value, long long lo, long long hi) {
        if (next(in, false) != Next::Value) return;
        std::int64_t v = 0;
        DataEdit e;
        e.kind = 'I';
        std::string err = in.quoted_ ? "bad" : edit_integer_input(e, in.value_, v);
        if (!err.empty()) {
            if (err == "integer overflow") throw conversion(in, "integer overflow");
            throw conversion(in, "bad integer");
        }
        if (v < lo || v > hi) throw conversion(in, "integer overflow");
        value = v;
    }

    static void text(ListInput& in, std::string& text, bool path) {
        const std::size_t len = text.size();
        if (next(in, path, len > kMaxText ? len : kMaxText) != Next::Value) return;
        const std::size_t n = in.value_.size() < len ? in.value_.size() : len;
        text.replace(0, n, in.value_, 0, n);
        text.replace(n, len - n, len - n, ' ');
    }
};

ListInput::ListInput(RecordSource& source) : source_(source) {}

ListInput& ListInput::operator>>(int& value) {
    long long v = value;
    Impl::integer(*this, v, INT_MIN, INT_MAX);
    value = static_cast<int>(v);
    return *this;
}

ListInput& ListInput::operator>>(long long& value) {
    Impl::integer(*this, value, LLONG_MIN, LLONG_MAX);
    return *this;
}

ListInput& ListInput::operator>>(double& value) {
    if (Impl::next(*this, false) != Impl::Next::Value) return *this;
    // A real value needs a digit in its mantissa, or is Inf or NaN.
    std::string_view v = value_;
    std::size_t i = (!v.empty() && (v[0] == '+' || v[0] == '-')) ? 1 : 0;
    bool ok = !quoted_ && i < v.size() &&
              (is_digit(v[i]) || (v[i] == '.' && i + 1 < v.size() && is_digit(v[i + 1])) ||
               v[i] == 'i' || v[i] == 'I' || v[i] == 'n' || v[i] == 'N');
    DataEdit e;
    e.kind = 'F';
    e.digits = 0;
    double x = 0;
    if (!ok || !edit_real_input(e, v, x).empty()) throw Impl::conversion(*this, "bad real number");
    value = x;
    return *this;
}

ListInput& ListInput::operator>>(bool& value) {
    if (Impl::next(*this, false) != Impl::Next::Value) return *this;
    // T or F, optionally after a point; the rest of the value is ignored.
    std::size_t i = (!value_.empty() && value_[0] == '.') ? 1 : 0;
    char c = i < value_.size() ? value_[i] : 0;
    if (quoted_ || (c != 'T' && c != 't' && c != 'F' && c != 'f')) throw Impl::conversion(*this, "bad logical value");
    value = c == 'T' || c == 't';
    return *this;
}

ListInput& ListInput::operator>>(std::string& text) {
    Impl::text(*this, text, false);
    return *this;
}

ListInput& ListInput::path(std::string& text) {
    Impl::text(*this, text, true);
    return *this;
}

void ListInput::finish() {
    // A statement that read nothing still takes a record.
    if (!have_record_ && !source_.next_record(record_))
        throw source_.error(IoErrorKind::EndOfFile, "end of file");
    have_record_ = false;
    pos_ = 0;
    ended_ = false;
    pending_comma_ = false;
    repeat_left_ = 0;
    item_ = 0;
}

}  // namespace orv::rt
