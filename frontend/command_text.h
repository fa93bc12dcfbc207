// The command text that the wizard's build writes, and the small text rules
// it relies on.  Lines end in CR LF; the text ends with ">LABELS: " and no
// line end, for the user to type the labels after it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frontend/wizard.h"

namespace orv::frontend {

inline constexpr const char* kCrLf = "\r\n";

// The first `n` characters (UTF-8 code points) of a text.
std::string left_chars(std::string_view text, std::size_t n);

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

// The engine reads the title from columns 8-87 and the format from columns
// 9-88 of their lines: the longest title and format it sees whole.
inline constexpr std::size_t kTitleColumns = 79;
inline constexpr std::size_t kFormatColumns = 79;

// The composed text of the wizard's current answers.
std::string command_text(const Wizard& w);

// The warnings for a title or format longer than the engine reads.
std::vector<std::string> cut_warnings(const Wizard& w);

inline constexpr const char* kWarningCaption = "WinOrvalis Warning!";

}  // namespace orv::frontend
