// Input editing of one field under one data edit descriptor
// (ISO/IEC 1539 10.7.2 - 10.7.5).  `field` holds the characters of the field
// as they stand in the record; a field that the end of the record cut short
// holds only the characters that are there.  Each function either stores the
// value and returns an empty string, or leaves the target unchanged and
// returns a short message that says what is wrong with the field (the
// caller adds the descriptor, unit, file and record).
//
// Numeric input: blanks are ignored (BN) or read as zeros (BZ); an all-blank
// field is zero; F/E/EN/ES/D/G accept an exponent written with E, D (either
// case), or as a bare sign; without a decimal point in the field the last d
// digits are the fraction; the scale factor applies only when the field has
// no exponent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "edit.h"

namespace orv::rt {

std::string edit_integer_input(const DataEdit& edit, std::string_view field, std::int64_t& value);
std::string edit_real_input(const DataEdit& edit, std::string_view field, double& value);
std::string edit_logical_input(const DataEdit& edit, std::string_view field, bool& value);
// `text` has the item's declared length on entry and keeps it: a shorter
// field is padded with blanks on the right, a longer one gives its rightmost
// characters (10.7.4).
std::string edit_text_input(const DataEdit& edit, std::string_view field, std::string& text);

}  // namespace orv::rt
