#include "runtime/format.h"

#include <cctype>

namespace orv::rt {

FormatError::FormatError(std::string message, std::size_t offset, std::string source)
    : IoError(IoErrorKind::BadFormat,
              message + " at position " + std::to_string(offset + 1) + " of format \"" + source + "\""),
      message_(std::move(message)),
      offset_(offset),
      source_(std::move(source)) {}

namespace {

// Recursive-descent parser over the text; blanks are skipped everywhere but
// inside literals and H strings (10.3.1).
class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Format parse() {
        Format format;
        format.source = std::string(text_);
        skip_blanks();
        if (!accept('(')) fail("format must begin with '('");
        FormatItem outer;
        outer.type = ItemType::GroupBegin;
        outer.offset = pos_ - 1;
        items_.push_back(outer);
        parse_list(1);
        skip_blanks();
        if (pos_ != text_.size()) fail("unexpected text after the closing ')'");
        items_.front().match = items_.size() - 1;
        items_.back().match = 0;

        // Reversion restarts at the last top-level group, or just inside the
        // outer parenthesis when there is none.
        format.reversion = 1;
        for (std::size_t i = 1; i + 1 < items_.size(); ++i) {
            if (items_[i].type == ItemType::GroupBegin) {
                format.reversion = i;
                i = items_[i].match;
            }
        }
        for (const auto& item : items_)
            if (item.type == ItemType::Data) format.has_data_edit = true;
        format.items = std::move(items_);
        return format;
    }

private:
    [[noreturn]] void fail(const std::string& message) { fail_at(message, pos_); }
    [[noreturn]] void fail_at(const std::string& message, std::size_t at) {
        throw FormatError(message, at, std::string(text_));
    }

    void skip_blanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    int peek() {
        skip_blanks();
        return pos_ < text_.size() ? std::toupper(static_cast<unsigned char>(text_[pos_])) : -1;
    }
    bool accept(char c) {
        if (peek() == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool peek_digit() {
        int c = peek();
        return c >= '0' && c <= '9';
    }

    // An unsigned number whose digits may be separated by blanks.
    int number() {
        if (!peek_digit()) fail("number expected");
        long long value = 0;
        std::size_t start = pos_;
        while (peek_digit()) {
            value = value * 10 + (text_[pos_] - '0');
            if (value > kMaxFormatNumber) fail_at("number too large", start);
            ++pos_;
        }
        return static_cast<int>(value);
    }

    // Items up to and including the ')' of the group opened at depth `depth`.
    void parse_list(int depth) {
        if (depth > kMaxFormatDepth) fail("groups nested too deeply");
        if (accept(')')) {
            close_group();
            return;
        }
        for (;;) {
            bool separator_optional = parse_item(depth);
            if (accept(')')) {
                close_group();
                return;
            }
            if (accept(',')) continue;
            if (peek() == -1) fail("missing ')'");
            // Commas may be left out before and after "/" and ":" and after
            // a scale factor (10.3.1).  Like GNU Fortran we also accept a
            // missing comma wherever the next item cannot be misread: it
            // does not start with a digit, or the item before it does not
            // end in one.
            int c = peek();
            if (separator_optional || c == '/' || c == ':') continue;
            bool digit_next = c >= '0' && c <= '9';
            ItemType last = items_.back().type;
            if (!digit_next || last == ItemType::Literal || last == ItemType::GroupEnd) continue;
            fail("',' or ')' expected");
        }
    }

    void close_group() {
        FormatItem end;
        end.type = ItemType::GroupEnd;
        end.offset = pos_ - 1;
        // Find the matching GroupBegin: the innermost one still open.
        std::size_t begin = open_groups_.empty() ? 0 : open_groups_.back();
        if (!open_groups_.empty()) open_groups_.pop_back();
        end.match = begin;
        items_[begin].match = items_.size();
        items_.push_back(end);
    }

    // One format item.  Returns true when the next item may follow without a
    // comma (after "/", ":" and kP).
    bool parse_item(int depth) {
        std::size_t start = (skip_blanks(), pos_);
        int c = peek();
        if (c == -1) fail("missing ')'");

        // A signed number can only be a scale factor.
        if (c == '+' || c == '-') {
            bool negative = c == '-';
            ++pos_;
            int k = number();
            if (!accept('P')) fail_at("'P' expected after a signed scale factor", start);
            push_simple(ItemType::Scale, start, negative ? -k : k);
            return true;
        }

        int repeat = -1;
        if (peek_digit()) repeat = number();
        c = peek();
        if (c == -1) fail("missing ')'");

        switch (c) {
        case '(': {
            ++pos_;
            if (repeat == 0) fail_at("repeat count must be positive", start);
            FormatItem begin;
            begin.type = ItemType::GroupBegin;
            begin.repeat = repeat < 0 ? 1 : repeat;
            begin.offset = start;
            open_groups_.push_back(items_.size());
            items_.push_back(begin);
            parse_list(depth + 1);
            return false;
        }
        case 'P':
            ++pos_;
            if (repeat < 0) fail_at("scale factor expected before 'P'", start);
            push_simple(ItemType::Scale, start, repeat);
            return true;
        case 'H': {
            ++pos_;
            if (repeat <= 0) fail_at("character count expected before 'H'", start);
            // The H string takes the next characters as they stand, blanks
            // included.
            if (text_.size() - pos_ < static_cast<std::size_t>(repeat)) fail_at("H string runs past the end", start);
            FormatItem item;
            item.type = ItemType::Literal;
            item.text = std::string(text_.substr(pos_, repeat));
            item.offset = start;
            pos_ += repeat;
            items_.push_back(std::move(item));
            return false;
        }
        case '\'':
        case '"':
            if (repeat >= 0) fail_at("a literal cannot have a repeat count", start);
            parse_literal(static_cast<char>(c), start);
            return false;
        case '/':
            ++pos_;
            if (repeat == 0) fail_at("repeat count must be positive", start);
            {
                FormatItem item;
                item.type = ItemType::Slash;
                item.repeat = repeat < 0 ? 1 : repeat;
                item.offset = start;
                items_.push_back(item);
            }
            return true;
        case ':':
            ++pos_;
            if (repeat >= 0) fail_at("':' cannot have a repeat count", start);
            push_simple(ItemType::Colon, start, 0);
            return true;
        case 'X':
            ++pos_;
            if (repeat == 0) fail_at("position count must be positive", start);
            push_simple(ItemType::X, start, repeat < 0 ? 1 : repeat);
            return false;
        default:
            break;
        }

        if (c < 'A' || c > 'Z') fail("edit descriptor expected");
        ++pos_;
        int c2 = peek();
        auto no_repeat = [&](const char* what) {
            if (repeat >= 0) fail_at(std::string(what) + " cannot have a repeat count", start);
        };
        if (c == 'T') {
            ItemType type = ItemType::T;
            if (c2 == 'L' || c2 == 'R') {
                ++pos_;
                type = c2 == 'L' ? ItemType::TL : ItemType::TR;
            }
            no_repeat("a tab");
            if (!peek_digit()) fail("position expected");
            int n = number();
            if (n == 0) fail_at("position must be positive", start);
            push_simple(type, start, n);
            return false;
        }
        if (c == 'B' && (c2 == 'N' || c2 == 'Z')) {
            ++pos_;
            no_repeat("BN and BZ");
            push_simple(c2 == 'N' ? ItemType::BN : ItemType::BZ, start, 0);
            return false;
        }
        if (c == 'S') {
            ItemType type = ItemType::S;
            if (c2 == 'P' || c2 == 'S') {
                ++pos_;
                type = c2 == 'P' ? ItemType::SP : ItemType::SS;
            }
            no_repeat("a sign mode");
            push_simple(type, start, 0);
            return false;
        }
        parse_data_edit(static_cast<char>(c), repeat, start);
        return false;
    }

    void parse_literal(char quote, std::size_t start) {
        ++pos_;
        std::string text;
        for (;;) {
            if (pos_ >= text_.size()) fail_at("literal not closed", start);
            char ch = text_[pos_++];
            if (ch == quote) {
                if (pos_ < text_.size() && text_[pos_] == quote) {
                    text += quote;
                    ++pos_;
                    continue;
                }
                break;
            }
            text += ch;
        }
        FormatItem item;
        item.type = ItemType::Literal;
        item.text = std::move(text);
        item.offset = start;
        items_.push_back(std::move(item));
    }

    void parse_data_edit(char kind, int repeat, std::size_t start) {
        if (repeat == 0) fail_at("repeat count must be positive", start);
        DataEdit edit;
        edit.kind = kind;
        switch (kind) {
        case 'I':
        case 'B':
        case 'O':
        case 'Z':
            edit.width = width(start, true);
            if (accept('.')) edit.digits = number();
            // At least m digits cannot fit in fewer than m columns (Iw.m
            // with m > w); I0.m has no width to exceed.
            if (edit.width > 0 && edit.digits > edit.width) fail_at("minimum digits exceed the field width", start);
            break;
        case 'F':
            edit.width = width(start, true);
            edit.digits = digits(start);
            break;
        case 'E':
            if (peek() == 'N' || peek() == 'S') {
                edit.variant = static_cast<char>(peek());
                ++pos_;
            }
            [[fallthrough]];
        case 'D':
            edit.width = width(start, false);
            edit.digits = digits(start);
            if (kind == 'E' && accept('E')) {
                edit.exp_digits = number();
                if (edit.exp_digits == 0) fail_at("exponent width must be positive", start);
            }
            break;
        case 'G':
            edit.width = width(start, true);
            if (edit.width > 0 || peek() == '.') {
                edit.digits = digits(start);
                if (accept('E')) {
                    edit.exp_digits = number();
                    if (edit.exp_digits == 0) fail_at("exponent width must be positive", start);
                }
            }
            break;
        case 'L':
            edit.width = width(start, false);
            break;
        case 'A':
            if (peek_digit()) {
                edit.width = number();
                if (edit.width == 0) fail_at("positive width required", start);
            }
            break;
        default:
            fail_at(std::string("unknown edit descriptor '") + kind + "'", start);
        }
        FormatItem item;
        item.type = ItemType::Data;
        item.repeat = repeat < 0 ? 1 : repeat;
        item.edit = edit;
        item.offset = start;
        items_.push_back(item);
    }

    int width(std::size_t start, bool zero_allowed) {
        if (!peek_digit()) fail_at(zero_allowed ? "width required" : "positive width required", start);
        int w = number();
        if (w == 0 && !zero_allowed) fail_at("positive width required", start);
        return w;
    }
    int digits(std::size_t start) {
        if (!accept('.')) fail_at("'.' and digit count required", start);
        return number();
    }

    void push_simple(ItemType type, std::size_t offset, int count) {
        FormatItem item;
        item.type = type;
        item.count = count;
        item.offset = offset;
        items_.push_back(item);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::vector<FormatItem> items_;
    std::vector<std::size_t> open_groups_;
};

}  // namespace

Format parse_format(std::string_view text) { return Parser(text).parse(); }

}  // namespace orv::rt
