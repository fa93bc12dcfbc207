// Input editing of one field (ISO/IEC 1539 10.7.2 - 10.7.5).
//
// Where the standard leaves the reading of a field to the processor we read
// it as GNU Fortran does (scripts/golden/edit_input.sh records its answers):
//  - an all-blank numeric field is zero; a real field whose mantissa has no
//    digit ("+", ".", "-.", "E5") is zero too, an integer field with no digit
//    is an error;
//  - exponents are written E, D or Q (either case) with an optional sign, or
//    as a bare sign; an exponent letter or sign needs at least one digit;
//  - "Inf", "Infinity" and "NaN" (optionally "NaN(chars)"), any case, with an
//    optional sign and leading blanks; under BZ no blank may follow them;
//  - a value beyond the range of double reads as an infinity and one below
//    the smallest subnormal as zero ("1e999" is +Inf), as gfortran does;
//  - B, O and Z accept a sign and any bit pattern of 64 bits (Z16 "FF..F"
//    is -1); I rejects values outside int64;
//  - a comma is a bad character: gfortran ends a field early at a comma in
//    external files only, and that needs the caller to know where the field
//    ended.
// Conversion is correctly rounded: short fields are converted exactly by
// one multiply or divide, the others go, with the exponent folded in, to
// std::from_chars.  At most kMaxDigits significant digits are kept;
// any further nonzero digit is kept as a sticky digit, which decides the
// rounding exactly as the full string would (a double never needs more than
// 767 significant digits to round).  No heap allocation on success.
#include "runtime/edit_input.h"
#include "runtime/text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace orv::rt {
namespace {

constexpr int kMaxDigits = 800;
// gfortran rejects an exponent beyond +-9999 once the implied fraction of a
// field without a point is taken off: under E12.2 "1E10001" is Inf, "1E10002"
// and "1.E10000" are errors.
constexpr std::int64_t kMaxExponent = 9999;
// Digits of an exponent are gathered only up to this bound (no overflow).
constexpr std::int64_t kExponentLimit = 1'000'000'000'000;

bool is_blank(char c) { return c == ' '; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string bad_character(char c, const char* where) {
    std::string msg = "bad character " + shown_text(std::string_view(&c, 1));
    msg += " in ";
    msg += where;
    msg += " field";
    return msg;
}

// Matches `word` (lower case) case-insensitively at the start of `s`.
bool starts_with_word(std::string_view s, std::string_view word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(s[i]) != word[i]) return false;
    return true;
}

// "Inf", "Infinity", "NaN", "NaN(chars)" after the sign; `rest` starts at
// the letter.  After the word a blank ends the value and the rest of the
// field is ignored (not under BZ, where the blank would be a digit); after
// "NaN(chars)" the rest is ignored.  False when the text is none of these.
bool read_inf_nan(std::string_view rest, bool negative, bool blank_zero, double& value) {
    std::size_t n = 0;
    bool nan = false;
    if (starts_with_word(rest, "infinity")) {
        n = 8;
    } else if (starts_with_word(rest, "inf")) {
        n = 3;
    } else if (starts_with_word(rest, "nan")) {
        nan = true;
        n = 3;
    } else {
        return false;
    }
    if (nan && n < rest.size() && rest[n] == '(') {
        std::size_t k = n + 1;
        while (k < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[k])) || rest[k] == '_')) ++k;
        if (k >= rest.size() || rest[k] != ')') return false;
    } else if (n < rest.size() && (!is_blank(rest[n]) || blank_zero)) {
        return false;
    }
    double v = nan ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
    value = negative ? -v : v;
    return true;
}

// Moves I past the leading blanks of a numeric field and its sign; false
// for a field of blanks only, whose value is zero (10.7.2.1).
bool skip_to_number(std::string_view field, std::size_t& i, bool& negative) {
    while (i < field.size() && is_blank(field[i])) ++i;
    if (i == field.size()) return false;
    negative = field[i] == '-';
    if (negative || field[i] == '+') ++i;
    return true;
}

}  // namespace

std::string edit_real_input(const DataEdit& edit, std::string_view field, double& value) {
    const bool bz = edit.modes.blank_zero;
    std::size_t i = 0;
    const std::size_t n = field.size();
    bool negative = false;
    if (!skip_to_number(field, i, negative)) {
        value = 0.0;
        return {};
    }
    const std::size_t word = field.find_first_not_of(' ', i);
    if (word == std::string_view::npos) {
        value = 0.0;  // a sign alone (or with BZ blanks) is +0, as in gfortran
        return {};
    }
    // Blanks between the sign and Inf / NaN are skipped, under BZ too
    // (gfortran reads "-  NaN" so).
    if (lower(field[word]) == 'i' || lower(field[word]) == 'n') {
        if (read_inf_nan(field.substr(word), negative, bz, value)) return {};
        return "bad infinity or NaN in real field";
    }

    // Mantissa: significant digits go to `digits`; `int_digits` counts the
    // digits before the point that are not kept (beyond kMaxDigits) and
    // `frac_digits` those after the point that are kept or are leading zeros.
    char digits[kMaxDigits + 2];
    int kept = 0;
    bool sticky = false;
    std::int64_t scale10 = 0;  // power of ten applied to the kept digits
    bool point = false;
    for (; i < n; ++i) {
        char c = field[i];
        if (is_blank(c)) {
            if (!bz) continue;
            c = '0';
        }
        if (c >= '0' && c <= '9') {
            if (kept == 0 && c == '0') {
                if (point) --scale10;
            } else if (kept < kMaxDigits) {
                digits[kept++] = c;
                if (point) --scale10;
            } else {
                if (c != '0') sticky = true;
                if (!point) ++scale10;
            }
        } else if (c == '.') {
            if (point) return bad_character(c, "real");
            point = true;
        } else {
            break;
        }
    }
    // 10.7.2.3.2: without a point in the field the last d digits are the
    // fraction (this holds whether or not an exponent follows).
    if (!point && edit.digits > 0) scale10 -= edit.digits;

    // Exponent: a letter with an optional sign, or a bare sign, then digits.
    bool has_exponent = false;
    std::int64_t exponent = 0;
    if (i < n) {
        char c = lower(field[i]);
        bool exp_digit = false;
        if (c == 'e' || c == 'd' || c == 'q') {
            ++i;
            // Blanks before the exponent's sign: ignored, or leading zeros
            // under BZ (gfortran reads "E +3" under BZ as E+03).
            while (i < n && is_blank(field[i])) {
                exp_digit = exp_digit || bz;
                ++i;
            }
            if (i < n && (field[i] == '+' || field[i] == '-')) c = field[i++];
        } else if (c == '+' || c == '-') {
            ++i;
        } else {
            return bad_character(field[i], "real");
        }
        has_exponent = true;
        bool exp_negative = c == '-';
        for (; i < n; ++i) {
            char d = field[i];
            if (is_blank(d)) {
                if (!bz) continue;
                d = '0';
            }
            if (d < '0' || d > '9') return bad_character(field[i], "real");
            exp_digit = true;
            exponent = exponent * 10 + (d - '0');
            if (exponent > kExponentLimit) return "exponent out of range in real field";
        }
        if (!exp_digit) return "exponent without digits in real field";
        if (exp_negative) exponent = -exponent;
        const std::int64_t effective = exponent - (!point && edit.digits > 0 ? edit.digits : 0);
        if (effective > kMaxExponent || effective < -kMaxExponent) return "exponent out of range in real field";
    }

    if (kept == 0) {  // zero: "-0", "-." and "-E5" keep the sign
        value = negative ? -0.0 : 0.0;
        return {};
    }
    if (!has_exponent) scale10 -= edit.modes.scale;  // 10.8.5: kP without exponent
    scale10 += exponent;
    if (sticky) {
        digits[kept++] = '1';
        --scale10;
    }
    // The value lies in [10^(scale10+kept-1), 10^(scale10+kept)).
    const std::int64_t magnitude = scale10 + kept;
    double v;
    if (magnitude > 310) {
        v = std::numeric_limits<double>::infinity();
    } else if (magnitude < -330) {
        v = 0.0;
    } else if (kept <= 15 && scale10 >= -22 && scale10 <= 22) {
        // Short fields, the usual case: below 10^15 the digits are an exact
        // double, and so is every power of ten up to 10^22, so one multiply
        // or divide rounds correctly, as the general path would.
        static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        std::int64_t m = 0;
        for (int k = 0; k < kept; ++k) m = m * 10 + (digits[k] - '0');
        const double exact = static_cast<double>(m);
        v = scale10 >= 0 ? exact * kTens[scale10] : exact / kTens[-scale10];
    } else {
        char buf[kMaxDigits + 16];
        char* p = buf;
        for (int k = 0; k < kept; ++k) *p++ = digits[k];
        *p++ = 'e';
        p = std::to_chars(p, buf + sizeof buf, scale10).ptr;
        auto r = std::from_chars(buf, p, v);
        if (r.ec == std::errc::result_out_of_range) {
            v = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        } else if (r.ec != std::errc() || r.ptr != p) {
            return "bad number in real field";  // cannot happen: digits only
        }
    }
    value = negative ? -v : v;
    return {};
}

std::string edit_integer_input(const DataEdit& edit, std::string_view field, std::int64_t& value) {
    const bool bz = edit.modes.blank_zero;
    unsigned radix = 10;
    const char* what = "integer";
    switch (edit.kind) {
    case 'B': radix = 2; what = "binary"; break;
    case 'O': radix = 8; what = "octal"; break;
    case 'Z': radix = 16; what = "hexadecimal"; break;
    default: break;
    }
    std::size_t i = 0;
    const std::size_t n = field.size();
    bool negative = false;
    if (!skip_to_number(field, i, negative)) {
        value = 0;
        return {};
    }
    // I: the magnitude may reach 2^63 for a negative value, 2^63-1 otherwise.
    // B, O, Z: any 64-bit pattern.
    const std::uint64_t limit = radix == 10
        ? static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1u : 0u)
        : std::numeric_limits<std::uint64_t>::max();
    std::uint64_t mag = 0;
    bool any_digit = false;
    for (; i < n; ++i) {
        char c = field[i];
        if (is_blank(c)) {
            if (!bz) continue;
            c = '0';
        }
        unsigned d;
        char lc = lower(c);
        if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
        else if (lc >= 'a' && lc <= 'f') d = static_cast<unsigned>(lc - 'a' + 10);
        else d = 99;
        if (d >= radix) return bad_character(field[i], what);
        any_digit = true;
        if (mag > (limit - d) / radix) return std::string(what) + " overflow";
        mag = mag * radix + d;
    }
    if (!any_digit) return std::string("no digits in ") + what + " field";
    // Two's complement wrap for a negated magnitude (well defined on unsigned).
    value = static_cast<std::int64_t>(negative ? (~mag + 1u) : mag);
    return {};
}

std::string edit_logical_input(const DataEdit&, std::string_view field, bool& value) {
    // 10.7.3: optional blanks, an optional point, then T or F; the rest of
    // the field is ignored (".TRUE.", "t", "Fred").
    std::size_t i = 0;
    while (i < field.size() && is_blank(field[i])) ++i;
    if (i < field.size() && field[i] == '.') ++i;
    if (i < field.size()) {
        char c = lower(field[i]);
        if (c == 't' || c == 'f') {
            value = c == 't';
            return {};
        }
        return bad_character(field[i], "logical");
    }
    return "no T or F in logical field";
}

std::string edit_text_input(const DataEdit&, std::string_view field, std::string& text) {
    const std::size_t len = text.size();
    if (field.size() >= len) {
        text.assign(field.substr(field.size() - len));
    } else {
        text.assign(field);
        text.resize(len, ' ');
    }
    return {};
}

}  // namespace orv::rt
