// Output editing of one item (ISO/IEC 1539 10.7.2 - 10.7.5).
//
// Real editing is done in two steps.  First the decimal digits of the exact
// binary value are produced, correctly rounded with ties to even, either to
// a number of places after the decimal point (F) or to a number of
// significant digits (E, D, EN, ES, G); std::to_chars does this exactly for
// any precision.  Then the field is laid out from those digits.  Digits past
// what a double can hold are zeros, so the digit buffers have a fixed size
// however large d is, and a huge field costs only its own length.
#include "runtime/edit_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/io_error.h"

namespace orv::rt {
namespace {

// A double has at most 1074 digits after the decimal point and at most 767
// significant digits; with more precision to_chars only appends zeros.
constexpr int kExactPlaces = 1080;
constexpr int kExactDigits = 780;
// Largest number of places that can matter before the point (DBL_MAX < 1e309).
constexpr int kMaxIntDigits = 310;

// Hostile descriptor numbers are clamped so that sums of them stay far from
// int overflow; a field of this size could not be written anyway.
constexpr int kNumberLimit = 100'000'000;

// In a zero-width E, D or G field GNU Fortran writes the optional zero
// before the decimal point only while the field is shorter than this.
constexpr long kMinimalZeroLimit = 25;

int clamp_number(int n) { return std::clamp(n, -kNumberLimit, kNumberLimit); }

// |value| = 0.D1 D2 ... x 10^point; digits past `count` are zeros.  A zero
// value has count 0.
struct Decimal {
    char digits[kMaxIntDigits + kExactPlaces + 32];
    int count = 0;
    int point = 0;
};

// Takes the characters of a to_chars result "123.456", "1.5e+07" and the
// like (no sign) into `dec`.
void take_digits(const char* first, const char* last, Decimal& dec) {
    int count = 0;
    int point = 0;
    bool seen_point = false;
    const char* p = first;
    for (; p != last && *p != 'e'; ++p) {
        if (*p == '.') {
            seen_point = true;
            continue;
        }
        if (count == 0 && *p == '0') {  // leading zero
            if (seen_point) --point;
            continue;
        }
        dec.digits[count++] = *p;
        if (!seen_point) ++point;
    }
    if (p != last) {  // exponent: the mantissa had one digit before the point
        int exponent = 0;
        std::from_chars(p + (p[1] == '+' ? 2 : 1), last, exponent);
        point = exponent + 1;
    }
    while (count > 0 && dec.digits[count - 1] == '0') --count;
    dec.count = count;
    dec.point = count == 0 ? 0 : point;
}

// Rounds `dec` to its first `keep` digits, ties to even.  `dec` must hold
// the exact value.
void round_digits(Decimal& dec, long keep) {
    if (keep >= dec.count) return;
    if (keep < 0) {
        dec.count = 0;
        dec.point = 0;
        return;
    }
    const char next = dec.digits[keep];
    bool up = next > '5';
    if (next == '5') {
        bool more = false;
        for (int i = static_cast<int>(keep) + 1; i < dec.count && !more; ++i) more = dec.digits[i] != '0';
        const bool odd = keep > 0 && (dec.digits[keep - 1] - '0') % 2 == 1;
        up = more || odd;
    }
    dec.count = static_cast<int>(keep);
    if (up) {
        int i = dec.count - 1;
        while (i >= 0 && dec.digits[i] == '9') --i;
        if (i < 0) {  // 999 -> 1000
            dec.digits[0] = '1';
            dec.count = 1;
            ++dec.point;
        } else {
            ++dec.digits[i];
            dec.count = i + 1;
        }
    }
    while (dec.count > 0 && dec.digits[dec.count - 1] == '0') --dec.count;
    if (dec.count == 0) dec.point = 0;
}

// |value| rounded to `places` digits after the decimal point.
void round_places(double magnitude, long places, Decimal& dec) {
    char buf[sizeof dec.digits];
    if (magnitude == 0) {
        dec.count = 0;
        dec.point = 0;
        return;
    }
    if (places >= 0) {
        const int p = static_cast<int>(std::min<long>(places, kExactPlaces));
        auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, p);
        take_digits(buf, r.ptr, dec);
        return;
    }
    // Rounding to tens, hundreds, ... (F with a negative scale factor
    // larger than d): round the exact digits by hand.
    auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, kExactPlaces);
    take_digits(buf, r.ptr, dec);
    round_digits(dec, dec.point + places);
}

// |value| rounded to `significant` (>= 1) significant digits.
void round_significant(double magnitude, long significant, Decimal& dec) {
    char buf[sizeof dec.digits];
    if (magnitude == 0) {
        dec.count = 0;
        dec.point = 0;
        return;
    }
    const int p = static_cast<int>(std::min<long>(significant, kExactDigits)) - 1;
    auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, p);
    take_digits(buf, r.ptr, dec);
}

// The decimal exponent of the exact value: |value| = 0.D... x 10^point with
// D1 != 0.  Eighteen digits settle it unless they rounded up to a power of
// ten; then the exact digits do.
int exact_point(double magnitude) {
    Decimal dec;
    round_significant(magnitude, 18, dec);
    if (dec.count == 1 && dec.digits[0] == '1') round_significant(magnitude, kExactDigits, dec);
    return dec.point;
}

void append_digits(const Decimal& dec, long from, long n, std::string& out) {
    // Stored digits in one piece, the implicit zeros around them in others.
    long i = from;
    const long end = from + n;
    if (i < 0) {
        const long zeros = std::min(end, 0L) - i;
        out.append(static_cast<std::size_t>(zeros), '0');
        i += zeros;
    }
    if (i < end && i < dec.count) {
        const long stored = std::min<long>(end, dec.count) - i;
        out.append(dec.digits + i, static_cast<std::size_t>(stored));
        i += stored;
    }
    if (i < end) out.append(static_cast<std::size_t>(end - i), '0');
}

void fill_stars(int width, std::string& out) { out.append(static_cast<std::size_t>(std::max(width, 1)), '*'); }

// The sign character written before a number: '-' for a negative value
// (also one that rounds to zero), '+' under SP, none otherwise.
char sign_char(bool negative, SignMode mode) {
    if (negative) return '-';
    return mode == SignMode::Plus ? '+' : 0;
}

// NaN and infinities in a real field of `width` (0 = minimal): "NaN",
// "Infinity" when it fits with its sign, "Inf" otherwise, asterisks when
// not even that fits.  The optional plus of SP is dropped where only "Inf"
// fits (as gfortran does).
void put_not_finite(double value, int width, SignMode mode, std::string& out) {
    if (std::isnan(value)) {
        if (width == 0) {
            out += "NaN";
        } else if (width < 3) {
            fill_stars(width, out);
        } else {
            out.append(static_cast<std::size_t>(width - 3), ' ');
            out += "NaN";
        }
        return;
    }
    char sign = sign_char(std::signbit(value), mode);
    if (sign == '+' && width == 3) sign = 0;
    const int sign_len = sign ? 1 : 0;
    std::string_view word = "Inf";
    if (width >= 8 + sign_len) word = "Infinity";
    const int len = sign_len + static_cast<int>(word.size());
    if (width != 0 && width < len) {
        fill_stars(width, out);
        return;
    }
    if (width > len) out.append(static_cast<std::size_t>(width - len), ' ');
    if (sign) out += sign;
    out += word;
}

// The head of a number of `len` characters in a field of `width`: the blanks
// that right-justify it, the sign, the optional leading zero, the `before`
// digits before the point, and the point.
void put_head(const Decimal& dec, int width, long len, char sign, bool lead_zero, long before, std::string& out) {
    if (width > len) out.append(static_cast<std::size_t>(width - len), ' ');
    if (sign) out += sign;
    if (lead_zero) out += '0';
    append_digits(dec, 0, before, out);
    out += '.';
}

// Fw.d layout of `dec`, which holds |value| x 10^k rounded to d places.
// `zero_for_minimal` writes the optional leading zero in a zero-width field
// (G0.d does, F0.d does not).  `trailing` blanks follow the field (G).
void put_fixed(const Decimal& dec, int width, int d, char sign, bool zero_for_minimal, int trailing,
               std::string& out) {
    const long int_len = dec.count > 0 && dec.point > 0 ? dec.point : 0;
    const long sign_len = sign ? 1 : 0;
    long len = sign_len + int_len + 1 + d;
    bool lead_zero = false;
    if (int_len == 0) {
        // "0." is required without fraction digits; otherwise the zero is
        // written when the field has room for it.
        if (d == 0 || (width == 0 ? zero_for_minimal && len < kMinimalZeroLimit : len < width)) {
            lead_zero = true;
            ++len;
        }
    }
    if (width > 0 && len > width) {
        fill_stars(width + trailing, out);
        return;
    }
    put_head(dec, width, len, sign, lead_zero, int_len, out);
    append_digits(dec, dec.count > 0 ? dec.point : 0, d, out);
    if (trailing > 0) out.append(static_cast<std::size_t>(trailing), ' ');
}

void edit_f(double value, int width, int d, int scale, SignMode mode, std::string& out) {
    Decimal dec;
    round_places(std::fabs(value), static_cast<long>(d) + scale, dec);
    if (dec.count > 0) dec.point += scale;
    put_fixed(dec, width, d, sign_char(std::signbit(value), mode), false, 0, out);
}

int decimal_length(long n) {
    int len = 1;
    while (n >= 10) {
        n /= 10;
        ++len;
    }
    return len;
}

// E, D, EN and ES layouts (10.7.2.3.3 - 10.7.2.3.5).  A zero width gives the
// minimal field: exponent digits as needed, and no exponent at all when it
// is zero (as GNU Fortran writes E0.d).
void edit_e(double value, char letter, char variant, int width, int d, int e, int scale, SignMode mode,
            std::string& out) {
    const double magnitude = std::fabs(value);
    Decimal dec;
    int before = 0;      // mantissa digits before the point
    long zeros = 0;      // zeros after the point before the digits (k < 0)
    long exponent = 0;
    if (variant == 'S') {
        round_significant(magnitude, static_cast<long>(d) + 1, dec);
        before = 1;
        exponent = dec.count > 0 ? dec.point - 1 : 0;
    } else if (variant == 'N') {
        // The exponent is a multiple of three chosen for the exact value,
        // and chosen again when rounding carries into the next power of ten.
        dec.count = 0;
        before = 1;
        if (magnitude != 0) {
            const int exact = exact_point(magnitude);
            before = ((exact - 1) % 3 + 3) % 3 + 1;
            round_significant(magnitude, static_cast<long>(d) + before, dec);
            // A carry makes the value a power of ten: "1" with the new point.
            if (dec.point != exact) before = ((dec.point - 1) % 3 + 3) % 3 + 1;
            exponent = dec.point - before;
        }
    } else {
        // kP with E and D: -d < k <= 0 gives |k| leading zeros and d+k
        // significant digits; 0 < k < d+2 gives k digits before the point.
        if (scale <= -d || scale >= d + 2) {
            throw IoError(IoErrorKind::BadFormat, "scale factor out of range for E or D editing");
        }
        if (scale <= 0) {
            round_significant(magnitude, static_cast<long>(d) + scale, dec);
            zeros = -scale;
            before = 0;
        } else {
            round_significant(magnitude, static_cast<long>(d) + 1, dec);
            before = scale;
        }
        exponent = dec.count > 0 ? dec.point - scale : 0;
    }
    const long after = variant == 0 && scale > 0 ? d - scale + 1 : d;
    const char sign = sign_char(std::signbit(value), mode);
    const long sign_len = sign ? 1 : 0;

    // Exponent part.
    const long abs_exp = exponent < 0 ? -exponent : exponent;
    const int exp_len = decimal_length(abs_exp);
    int exp_digits = 0;
    bool with_letter = true;
    bool overflow = false;
    if (width == 0 && exponent == 0) {
        exp_digits = 0;
    } else if (e > 0) {
        exp_digits = e;
        overflow = exp_len > e;
    } else if (width == 0) {
        exp_digits = exp_len;
    } else if (abs_exp <= 99) {
        exp_digits = 2;
    } else if (abs_exp <= 999) {
        exp_digits = 3;
        with_letter = false;
    } else {
        overflow = true;
    }
    const long exp_part = exp_digits == 0 ? 0 : (with_letter ? 2 : 1) + exp_digits;

    long len = sign_len + before + 1 + after + exp_part;
    bool lead_zero = false;
    if (before == 0 && (width == 0 ? len < kMinimalZeroLimit : len < width)) {
        lead_zero = true;
        ++len;
    }
    if (overflow || (width > 0 && len > width)) {
        if (width == 0) {
            // GNU Fortran's width for a zero-width field that does not fit:
            // the sign and the digits of the mantissa.
            fill_stars(static_cast<int>(sign_len + (before == 0 ? 1 : before) + after), out);
        } else {
            fill_stars(width, out);
        }
        return;
    }
    put_head(dec, width, len, sign, lead_zero, before, out);
    if (zeros > 0) out.append(static_cast<std::size_t>(std::min(zeros, after)), '0');
    if (after > zeros) append_digits(dec, before, after - zeros, out);
    if (exp_digits > 0) {
        if (with_letter) out += letter;
        out += exponent < 0 ? '-' : '+';
        if (exp_digits > exp_len) out.append(static_cast<std::size_t>(exp_digits - exp_len), '0');
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, abs_exp);
        out.append(buf, r.ptr);
    }
}

// 10^n for n >= 0 as GNU Fortran computes it for the bounds of G editing:
// by repeated multiplication, which from 10^25 on can fall one step below
// the correctly rounded power.
double power_of_ten(int n) {
    double p = 1.0;
    for (int i = 0; i < n && p <= std::numeric_limits<double>::max(); ++i) p *= 10.0;
    return p;
}

// Gw.d[Ee] for a real (10.7.5.2.2): F editing with d-s places when
// 10^(s-1) - r 10^(s-1-d) <= |value| < 10^s - r 10^(s-d) for some 0 <= s <= d,
// followed by e+2 (or 4) blanks; E editing otherwise.  Like GNU Fortran the
// bounds are computed in double precision as 10^s (1 - 0.5 10^-d), so a value
// just below a bound in decimal (0.95 = 0.9499999...) can count as on it.
// G0 and G0.0 use d = 17, all the digits of a double.
void edit_g(double value, int width, int d, int e, int scale, SignMode mode, std::string& out) {
    const bool all_digits = width == 0 && d <= 0;
    if (all_digits) d = 17;
    if (d < 0) throw IoError(IoErrorKind::BadFormat, "G editing of a real needs a digit count");
    if (d == 0) {  // Gw.0 is kPEw.0 (10.7.5.2.2)
        edit_e(value, 'E', 0, width, 0, e, scale, mode, out);
        return;
    }
    const double magnitude = std::fabs(value);
    const char sign = sign_char(std::signbit(value), mode);
    const int trailing = width == 0 ? 0 : (e > 0 ? e + 2 : 4);
    int s = -1;
    if (magnitude == 0) {
        s = 1;  // zero is written by F with d-1 places
    } else {
        const double factor = 1.0 - 0.5 / power_of_ten(d);
        if (!(magnitude < 0.1 * factor)) {
            const int last = std::min(d, 309);  // 10^309 is beyond every double
            double power = 1.0;  // 10^t by repeated multiplication, see power_of_ten
            for (int t = 0; t <= last; ++t, power *= 10.0) {
                if (magnitude < power * factor) {
                    s = t;
                    break;
                }
            }
        }
    }
    if (s < 0) {
        // G0 keeps seventeen significant digits under a positive scale factor.
        edit_e(value, 'E', 0, width, all_digits && scale > 0 ? d - 1 : d, e, scale, mode, out);
        return;
    }
    if (width > 0 && width - trailing <= 0) {
        fill_stars(width, out);
        return;
    }
    Decimal dec;
    round_places(magnitude, d - s, dec);
    put_fixed(dec, width == 0 ? 0 : width - trailing, d - s, sign, true, trailing, out);
}

// B, O and Z: the digits of a bit pattern.
int put_radix(std::uint64_t bits, int shift, char* end) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
    char* p = end;
    do {
        *--p = kDigits[bits & mask];
        bits >>= shift;
    } while (bits != 0);
    return static_cast<int>(end - p);
}

// The descriptor must suit the item; Gw without d is refused for every
// type, as GNU Fortran does (G0 is fine).
void check_kind(const DataEdit& edit, std::string_view kinds, const char* item) {
    if (kinds.find(edit.kind) == std::string_view::npos) {
        throw IoError(IoErrorKind::ItemMismatch,
                      std::string("edit descriptor ") + edit.kind + " cannot write " + item);
    }
    if (edit.kind == 'G' && edit.width > 0 && edit.digits < 0) {
        throw IoError(IoErrorKind::BadFormat, "G editing with a nonzero width needs a digit count");
    }
}

}  // namespace

void edit_integer_output(const DataEdit& edit, std::int64_t value, std::string& out, int bits) {
    check_kind(edit, "IBOZG", "an integer");
    const int width = clamp_number(edit.width);
    const int min_digits = clamp_number(edit.digits);
    char buf[72];
    char* const end = buf + sizeof buf;
    int len = 0;
    char sign = 0;
    switch (edit.kind) {
        case 'B':
        case 'O':
        case 'Z': {
            std::uint64_t pattern = static_cast<std::uint64_t>(value);
            if (bits == 32) pattern &= 0xFFFFFFFFu;
            const int shift = edit.kind == 'B' ? 1 : edit.kind == 'O' ? 3 : 4;
            len = put_radix(pattern, shift, end);
            break;
        }
        default: {  // I, and G on an integer (edits as Iw)
            std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
            auto r = std::to_chars(buf, end, magnitude);
            len = static_cast<int>(r.ptr - buf);
            std::memmove(end - len, buf, static_cast<std::size_t>(len));
            sign = sign_char(value < 0, edit.modes.sign);
            break;
        }
    }
    const bool g = edit.kind == 'G';
    const int m = g ? -1 : min_digits;
    // Iw.0 (and Bw.0 ...) writes no digits for zero, and then no sign.
    if (m == 0 && value == 0) {
        len = 0;
        sign = 0;
    }
    const int digits = std::max(len, m);
    const int field = (sign ? 1 : 0) + digits;
    if (width > 0 && field > width) {
        fill_stars(width, out);
        return;
    }
    if (width == 0 && field == 0) {  // I0.0 with a zero value: one blank
        out += ' ';
        return;
    }
    if (width > field) out.append(static_cast<std::size_t>(width - field), ' ');
    if (sign) out += sign;
    if (digits > len) out.append(static_cast<std::size_t>(digits - len), '0');
    out.append(end - len, static_cast<std::size_t>(len));
}

void edit_real_output(const DataEdit& edit, double value, std::string& out) {
    const int width = std::max(clamp_number(edit.width), 0);
    const int d = clamp_number(edit.digits);
    const int e = clamp_number(edit.exp_digits);
    const int scale = clamp_number(edit.modes.scale);
    const SignMode mode = edit.modes.sign;
    if (edit.kind == 'D' && e >= 0) throw IoError(IoErrorKind::BadFormat, "D editing takes no exponent width");
    if (!std::isfinite(value)) {
        put_not_finite(value, width, mode, out);
        return;
    }
    switch (edit.kind) {
        case 'F':
            if (d < 0) throw IoError(IoErrorKind::BadFormat, "F editing needs a digit count");
            edit_f(value, width, d, scale, mode, out);
            return;
        case 'E':
        case 'D':
            if (d < 0) throw IoError(IoErrorKind::BadFormat, "E or D editing needs a digit count");
            // E0.0 and the like write all the digits of a double.
            edit_e(value, edit.kind, edit.kind == 'E' ? edit.variant : 0, width, width == 0 && d == 0 ? 17 : d, e,
                   scale, mode, out);
            return;
        case 'G':
            edit_g(value, width, d, e, scale, mode, out);
            return;
        default:
            throw IoError(IoErrorKind::ItemMismatch,
                          std::string("edit descriptor ") + edit.kind + " cannot write a real");
    }
}

void edit_logical_output(const DataEdit& edit, bool value, std::string& out) {
    check_kind(edit, "LG", "a logical");
    const int width = clamp_number(edit.width);
    if (width > 1) out.append(static_cast<std::size_t>(width - 1), ' ');
    out += value ? 'T' : 'F';
}

void edit_text_output(const DataEdit& edit, std::string_view text, std::string& out) {
    check_kind(edit, "AG", "a text");
    const int width = clamp_number(edit.width);
    // A without a width, and G0, write the text as it is (10.7.4).
    if (width < 0 || (width == 0 && edit.kind == 'G')) {
        out.append(text);
        return;
    }
    const auto w = static_cast<std::size_t>(width);
    if (w <= text.size()) {
        out.append(text.substr(0, w));
    } else {
        out.append(w - text.size(), ' ');
        out.append(text);
    }
}

}  // namespace orv::rt
