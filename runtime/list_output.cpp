// List-directed output (ISO/IEC 1539 10.10.4) in GNU Fortran's layout
// (checked against gfortran, see tests/runtime/list_output_test.cpp):
//  - a record starts with one blank; a statement without items writes an
//    empty record;
//  - every item after the first is preceded by one blank, except a text
//    that follows a text: adjacent texts are written together;
//  - texts are written as they are, without quotes;
//  - integers in I11 (int, the default integer) or I20 (long long);
//  - reals in G25.17 with E3 exponents: F form for 0.1 <= |x| < 1e17 and
//    zero, "2.5000000000000000" followed by five blanks, otherwise ES25.16E3
//    "9.9989999999999996E-002"; NaN and Infinity right-justified in 25;
//  - logicals as T or F;
//  - records are not split at any length (gfortran 12 does not wrap list
//    output); a sink with a record limit refuses a longer record itself.
#include <cmath>

#include "runtime/edit_output.h"
#include "runtime/list_io.h"

namespace orv::rt {
namespace {

DataEdit list_edit(char kind, int width, int digits, int exp_digits, char variant = 0) {
    DataEdit edit;
    edit.kind = kind;
    edit.variant = variant;
    edit.width = width;
    edit.digits = digits;
    edit.exp_digits = exp_digits;
    return edit;
}

// Opens the record with its blank, or separates the item from the one
// before it.
void start_item(bool text, std::string& record, bool& any_item, bool& last_was_text) {
    if (!any_item) {
        record.assign(1, ' ');
        any_item = true;
    } else if (!(text && last_was_text)) {
        record += ' ';
    }
    last_was_text = text;
}

}  // namespace

ListOutput::ListOutput(RecordSink& sink) : sink_(sink) {}

ListOutput& ListOutput::operator<<(int value) {
    start_item(false, record_, any_item_, last_was_text_);
    static const DataEdit kInt = list_edit('I', 11, -1, -1);
    edit_integer_output(kInt, value, record_);
    return *this;
}

ListOutput& ListOutput::operator<<(long long value) {
    start_item(false, record_, any_item_, last_was_text_);
    static const DataEdit kLong = list_edit('I', 20, -1, -1);
    edit_integer_output(kLong, value, record_);
    return *this;
}

ListOutput& ListOutput::operator<<(double value) {
    start_item(false, record_, any_item_, last_was_text_);
    // G25.17E3 chooses F editing exactly for zero and 0.1 <= |x| < 1e17
    // (with 17 digits the rounding margin of the bounds vanishes); the E
    // form has one digit before the point, as under 1P.
    static const DataEdit kFixed = list_edit('G', 25, 17, 3);
    static const DataEdit kExp = list_edit('E', 25, 16, 3, 'S');
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude == 0 || (magnitude >= 0.1 && magnitude < 1e17) || !std::isfinite(value);
    edit_real_output(fixed ? kFixed : kExp, value, record_);
    return *this;
}

ListOutput& ListOutput::operator<<(bool value) {
    start_item(false, record_, any_item_, last_was_text_);
    record_ += value ? 'T' : 'F';
    return *this;
}

ListOutput& ListOutput::operator<<(std::string_view text) {
    start_item(true, record_, any_item_, last_was_text_);
    record_.append(text);
    return *this;
}

void ListOutput::finish() {
    sink_.put_record(any_item_ ? std::string_view(record_) : std::string_view());
    record_.clear();
    any_item_ = false;
    last_was_text_ = false;
}

}  // namespace orv::rt
