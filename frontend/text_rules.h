// The small text rules the wizard and the command text share: the line end
// of the front end's own files, leading characters, file names and numbers
// as the engine reads them, and the engine's way of comparing words.
#pragma once

#include <string>
#include <string_view>

namespace orv::frontend {

inline constexpr const char* kCrLf = "\r\n";

// The first `n` characters (UTF-8 code points) of a text.
std::string left_chars(std::string_view text, std::size_t n);

// True when `text` equals `word` (written in capitals) once its letters are
// upper-cased, as the engine compares the words it reads.
bool upper_equals(std::string_view text, std::string_view word);

// A file name as a list-directed item of the engine's command file: a name
// with a blank, tab, comma, quote or apostrophe is put in apostrophes (an
// apostrophe inside doubled); every other name is written as it stands.
std::string file_item(const std::string& name);

// A real value as the engine reads it: a single number typed with a decimal
// comma ("0,5", "-,25", "1,5E-3") gets a decimal point, because the comma
// would split it into two values.  Every other text is kept as typed.
std::string decimal_point(const std::string& value);

// The leading number of a text read in the C locale, as a page width is
// checked; 0 when the text does not start with a number.
double leading_number(std::string_view text);

}  // namespace orv::frontend
