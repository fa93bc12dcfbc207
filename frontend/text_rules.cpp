#include "frontend/text_rules.h"

#include <cctype>
#include <charconv>

namespace orv::frontend {

namespace {

bool all_digits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::string left_chars(std::string_view text, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < text.size() && count < n; ++count) {
        ++i;  // past the lead byte, then past its continuation bytes
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return std::string(text.substr(0, i));
}

bool upper_equals(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
    return true;
}

std::string file_item(const std::string& name) {
    if (name.find_first_of(" \t,'\"") == std::string::npos) return name;
    std::string quoted = "'";
    for (char c : name) {
        if (c == '\'') quoted += '\'';
        quoted += c;
    }
    return quoted + "'";
}

std::string decimal_point(const std::string& value) {
    // sign? digits* "," digits* (exponent)? with a digit in the mantissa
    const std::size_t comma = value.find(',');
    if (comma == std::string::npos || value.find(',', comma + 1) != std::string::npos) return value;
    std::string_view whole = value;
    std::string_view mantissa = whole.substr(0, comma);
    if (!mantissa.empty() && (mantissa[0] == '+' || mantissa[0] == '-')) mantissa.remove_prefix(1);
    std::string_view rest = whole.substr(comma + 1);
    std::string_view fraction = rest.substr(0, rest.find_first_of("eEdD"));
    std::string_view exponent = rest.substr(fraction.size());
    if (!all_digits(mantissa) || !all_digits(fraction) || mantissa.size() + fraction.size() == 0) return value;
    if (!exponent.empty()) {
        exponent.remove_prefix(1);
        if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.remove_prefix(1);
        if (exponent.empty() || !all_digits(exponent)) return value;
    }
    std::string fixed = value;
    fixed[comma] = '.';
    return fixed;
}

double leading_number(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    return error == std::errc() ? value : 0.0;
}

}  // namespace orv::frontend
