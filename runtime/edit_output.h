// Output editing of one item under one data edit descriptor
// (ISO/IEC 1539 10.7.2 - 10.7.5).  Each function appends exactly the field
// to `out`: `width` characters, or the minimal width for a zero width (I0,
// F0.d, G0, B0 ...).  A value that does not fit fills the field with
// asterisks.  Where the standard leaves a choice the result is what GNU
// Fortran writes.
//
// The caller (the format controller) has already checked that the
// descriptor suits the item: I/B/O/Z for integers, F/E/EN/ES/D/G for reals,
// L for logicals, A for text; G is accepted for every type and edits as the
// type demands (10.7.5).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "edit.h"

namespace orv::rt {

// `bits` is the item's size: B, O and Z show a negative value as the two's
// complement pattern of that many bits.
void edit_integer_output(const DataEdit& edit, std::int64_t value, std::string& out, int bits = 64);
void edit_real_output(const DataEdit& edit, double value, std::string& out);
void edit_logical_output(const DataEdit& edit, bool value, std::string& out);
// `text` is the item at its full declared length.
void edit_text_output(const DataEdit& edit, std::string_view text, std::string& out);

}  // namespace orv::rt
