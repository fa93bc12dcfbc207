#include "runtime/formatted_io.h"

#include <climits>

#include "runtime/edit_input.h"
#include "runtime/edit_output.h"

namespace orv::rt {

namespace {

// Control items processed without transferring data before the walk is
// taken for a runaway (nested repeat counts can multiply to 10^18).
constexpr long long kMaxControlSteps = 10'000'000;
// Longest record a formatted output statement builds.
constexpr std::size_t kMaxRecordLength = std::size_t{1} << 28;

std::string descriptor_text(const DataEdit& edit) {
    std::string text(1, edit.kind);
    if (edit.variant) text += edit.variant;
    if (edit.width >= 0) text += std::to_string(edit.width);
    if (edit.digits >= 0) text += "." + std::to_string(edit.digits);
    if (edit.exp_digits >= 0) text += "E" + std::to_string(edit.exp_digits);
    return text;
}

const char* type_name(char type) {
    switch (type) {
    case 'I': return "INTEGER";
    case 'R': return "REAL";
    case 'L': return "LOGICAL";
    default: return "CHARACTER";
    }
}

// Whether the descriptor may edit an item of `type` ('I' integer, 'R' real,
// 'L' logical, 'A' text).  G edits every type (10.7.5).
bool fits(const DataEdit& edit, char type) {
    if (edit.kind == 'G') return true;
    switch (type) {
    case 'I': return edit.kind == 'I' || edit.kind == 'B' || edit.kind == 'O' || edit.kind == 'Z';
    case 'R': return edit.kind == 'F' || edit.kind == 'E' || edit.kind == 'D';
    case 'L': return edit.kind == 'L';
    default: return edit.kind == 'A';
    }
}

// The position after Tn, TLn, TRn or nX from `pos` (0-based columns);
// TL stops at the first column (10.8.1.1).
std::size_t moved(std::size_t pos, ItemType type, int count) {
    const auto n = static_cast<std::size_t>(count);
    switch (type) {
    case ItemType::T: return n - 1;
    case ItemType::TL: return pos > n ? pos - n : 0;
    default: return pos + n;
    }
}

}  // namespace

namespace {

// Runs WALK, a step of a statement's format walk.  The walker knows no unit:
// a format failure it raises comes out as PORT's error, which names the unit
// and its file; failures that name them already pass as they are.
template <typename Port, typename Walk>
auto on_port(const Port& port, Walk&& walk) {
    try {
        return walk();
    } catch (const IoError& e) {
        if (e.unit() >= 0 || e.kind() != IoErrorKind::BadFormat) throw;
        throw port.error(e.kind(), e.detail());
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// FormatWalker

FormatWalker::FormatWalker(const Format& format, Handler& handler) : format_(format), handler_(handler) {}

bool FormatWalker::advance(bool for_item) {
    const auto& items = format_.items;
    const std::size_t outer_end = items.size() - 1;
    long long steps = 0;
    for (;;) {
        if (data_repeat_left_ > 0) return true;
        if (++steps > kMaxControlSteps)
            throw IoError(IoErrorKind::BadFormat, "format repeats control items without end: " + format_.source);
        const FormatItem& item = items[index_];
        switch (item.type) {
        case ItemType::Data:
            if (!for_item) return false;
            data_repeat_left_ = item.repeat;
            continue;
        case ItemType::Literal:
            handler_.literal(item.text);
            break;
        case ItemType::X:
            handler_.position(ItemType::X, item.count);
            break;
        case ItemType::T:
        case ItemType::TL:
        case ItemType::TR:
            handler_.position(item.type, item.count);
            break;
        case ItemType::Slash:
            // Every record ended counts as a step: (1000000(1000000/)) must
            // not write records without end.
            steps += item.repeat;
            if (steps > kMaxControlSteps)
                throw IoError(IoErrorKind::BadFormat, "format repeats control items without end: " + format_.source);
            for (int i = 0; i < item.repeat; ++i) handler_.end_record();
            break;
        case ItemType::Colon:
            if (!for_item) return false;
            break;
        case ItemType::Scale:
            modes_.scale = item.count;
            break;
        case ItemType::BN:
            modes_.blank_zero = false;
            break;
        case ItemType::BZ:
            modes_.blank_zero = true;
            break;
        case ItemType::S:
            modes_.sign = SignMode::Processor;
            break;
        case ItemType::SP:
            modes_.sign = SignMode::Plus;
            break;
        case ItemType::SS:
            modes_.sign = SignMode::Suppress;
            break;
        case ItemType::GroupBegin:
            group_counts_.push_back(item.repeat - 1);
            break;
        case ItemType::GroupEnd:
            if (index_ == outer_end) {
                if (!for_item) return false;
                // Format reversion (10.4 para 8): a new record, then the
                // last top-level group again.  The part re-used must hold a
                // data edit descriptor, or the walk would never end.
                if (!edit_since_start_)
                    throw IoError(IoErrorKind::BadFormat,
                                  "format reversion reaches no data edit descriptor: " + format_.source);
                edit_since_start_ = false;
                handler_.end_record();
                index_ = format_.reversion;
                continue;
            }
            if (!group_counts_.empty() && group_counts_.back() > 0) {
                --group_counts_.back();
                index_ = item.match + 1;
                continue;
            }
            if (!group_counts_.empty()) group_counts_.pop_back();
            break;
        }
        ++index_;
    }
}

DataEdit FormatWalker::next_edit() {
    if (!format_.has_data_edit)
        throw IoError(IoErrorKind::BadFormat, "format has no data edit descriptor for the items: " + format_.source);
    advance(true);
    const FormatItem& item = format_.items[index_];
    last_data_ = index_;
    edit_since_start_ = true;
    if (--data_repeat_left_ == 0) ++index_;
    DataEdit edit = item.edit;
    edit.modes = modes_;
    return edit;
}

void FormatWalker::finish() { advance(false); }

std::string FormatWalker::last_edit_text() const { return descriptor_text(format_.items[last_data_].edit); }

// ---------------------------------------------------------------------------
// FormattedOutput

FormattedOutput::FormattedOutput(RecordSink& sink, const Format& format) : sink_(sink), walker_(format, *this) {}

FormattedOutput::~FormattedOutput() = default;

DataEdit FormattedOutput::next_for(char type) {
    ++item_number_;
    DataEdit edit = on_port(sink_, [&] { return walker_.next_edit(); });
    if (!fits(edit, type))
        throw sink_.error(IoErrorKind::ItemMismatch, "descriptor " + descriptor_text(edit) + " cannot write item " +
                                                         std::to_string(item_number_) + " of type " + type_name(type));
    return edit;
}

// One item: the next data edit, which must suit TYPE, and the field that
// EDIT_FIELD writes with it.
template <typename EditField>
FormattedOutput& FormattedOutput::put_item(char type, EditField edit_field) {
    const DataEdit edit = next_for(type);
    field_.clear();
    edit_field(edit, field_);
    put_text(field_);
    return *this;
}

FormattedOutput& FormattedOutput::put_integer(std::int64_t value, int bits) {
    return put_item('I', [&](const DataEdit& edit, std::string& field) {
        edit_integer_output(edit, value, field, bits);
    });
}

FormattedOutput& FormattedOutput::operator<<(double value) {
    return put_item('R', [&](const DataEdit& edit, std::string& field) { edit_real_output(edit, value, field); });
}

FormattedOutput& FormattedOutput::operator<<(bool value) {
    return put_item('L', [&](const DataEdit& edit, std::string& field) { edit_logical_output(edit, value, field); });
}

FormattedOutput& FormattedOutput::operator<<(std::string_view text) {
    return put_item('A', [&](const DataEdit& edit, std::string& field) { edit_text_output(edit, text, field); });
}

void FormattedOutput::put_text(std::string_view text) {
    if (pos_ + text.size() > kMaxRecordLength) throw sink_.error(IoErrorKind::EndOfRecord, "record too long");
    if (pos_ > record_.size()) record_.resize(pos_, ' ');
    std::size_t overlap = std::min(text.size(), record_.size() - pos_);
    record_.replace(pos_, overlap, text.substr(0, overlap));
    record_.append(text.substr(overlap));
    pos_ += text.size();
}

void FormattedOutput::literal(std::string_view text) { put_text(text); }

void FormattedOutput::position(ItemType type, int count) {
    // Positioning alone does not lengthen the record; blanks appear only
    // when something is written further right (10.8.1).
    pos_ = moved(pos_, type, count);
    if (pos_ > kMaxRecordLength) throw sink_.error(IoErrorKind::EndOfRecord, "record too long");
}

void FormattedOutput::end_record() {
    sink_.put_record(record_);
    record_.clear();
    pos_ = 0;
}

void FormattedOutput::finish() {
    if (finished_) return;
    finished_ = true;
    on_port(sink_, [&] { walker_.finish(); });
    end_record();
}

// ---------------------------------------------------------------------------
// FormattedInput

FormattedInput::FormattedInput(RecordSource& source, const Format& format)
    : source_(source), walker_(format, *this) {
    start_record();
}

FormattedInput::~FormattedInput() = default;

void FormattedInput::start_record() {
    if (!source_.next_record(record_)) throw source_.error(IoErrorKind::EndOfFile, "no record left to read");
    ++record_number_;
    pos_ = 0;
}

DataEdit FormattedInput::next_for(char type) {
    ++item_number_;
    DataEdit edit = on_port(source_, [&] { return walker_.next_edit(); });
    if (!fits(edit, type))
        throw source_.error(IoErrorKind::ItemMismatch,
                            std::string("descriptor ") + descriptor_text(edit) + " cannot read item " +
                                std::to_string(item_number_) + " of type " + type_name(type));
    // A field of no width (I0, F0.d, G0) has nothing to read.
    if (edit.width == 0)
        throw source_.error(IoErrorKind::BadFormat, "descriptor " + descriptor_text(edit) +
                                                        " has no width for input (item " +
                                                        std::to_string(item_number_) + ")");
    return edit;
}

std::string_view FormattedInput::take_field(int width) {
    std::size_t w = width < 0 ? 0 : static_cast<std::size_t>(width);
    std::size_t start = pos_;
    pos_ += w;
    // A field cut short by the end of the record is what the record holds
    // of it, as gfortran reads it: the missing columns are not blanks that BZ
    // would turn into zeros, and an A field keeps the rightmost characters
    // of what is there.  A field past the end is empty, which reads as an
    // all-blank field.
    if (start >= record_.size()) return {};
    return std::string_view(record_).substr(start, w);
}

void FormattedInput::conversion_failed(const std::string& why) {
    throw source_.error(IoErrorKind::Conversion, why + " (item " + std::to_string(item_number_) + ", descriptor " +
                                                     walker_.last_edit_text() + ", record " +
                                                     std::to_string(record_number_) + " of this read)");
}

FormattedInput& FormattedInput::operator>>(long long& value) {
    DataEdit edit = next_for('I');
    if (edit.kind == 'G') edit.kind = 'I';
    std::int64_t v = 0;
    std::string why = edit_integer_input(edit, take_field(edit.width), v);
    if (!why.empty()) conversion_failed(why);
    value = v;
    return *this;
}

FormattedInput& FormattedInput::operator>>(int& value) {
    long long wide = value;
    *this >> wide;
    // B, O and Z give a bit pattern of up to 32 bits, negated in 32 bits
    // under a minus sign: FFFFFFFF is -1 and -FFFFFFFF is 1 in a 32-bit item.
    char kind = walker_.last_edit().kind;
    if ((kind == 'B' || kind == 'O' || kind == 'Z') && wide >= -static_cast<long long>(UINT_MAX) &&
        wide <= static_cast<long long>(UINT_MAX))
        wide = static_cast<int>(static_cast<unsigned>(wide));
    if (wide < INT_MIN || wide > INT_MAX) conversion_failed("integer out of range");
    value = static_cast<int>(wide);
    return *this;
}

FormattedInput& FormattedInput::operator>>(double& value) {
    DataEdit edit = next_for('R');
    std::string why = edit_real_input(edit, take_field(edit.width), value);
    if (!why.empty()) conversion_failed(why);
    return *this;
}

FormattedInput& FormattedInput::operator>>(bool& value) {
    DataEdit edit = next_for('L');
    std::string why = edit_logical_input(edit, take_field(edit.width), value);
    if (!why.empty()) conversion_failed(why);
    return *this;
}

FormattedInput& FormattedInput::operator>>(std::string& text) {
    DataEdit edit = next_for('A');
    int width = edit.width;
    if (width < 0 || (edit.kind == 'G' && width == 0)) width = static_cast<int>(text.size());
    std::string why = edit_text_input(edit, take_field(width), text);
    if (!why.empty()) conversion_failed(why);
    return *this;
}

void FormattedInput::literal(std::string_view) {
    throw source_.error(IoErrorKind::BadFormat, "a literal cannot stand in an input format");
}

void FormattedInput::position(ItemType type, int count) { pos_ = moved(pos_, type, count); }

void FormattedInput::end_record() { start_record(); }

void FormattedInput::finish() {
    if (finished_) return;
    finished_ = true;
    on_port(source_, [&] { walker_.finish(); });
}

}  // namespace orv::rt
