#pragma once

#include <string>
#include <string_view>

namespace orv::engine {

// The name of a matrix file, made from the command file's base name (15
// characters, left-adjusted in place) and a three-letter extension: the base
// name up to and including its last ".", then the extension; a base name
// without a "." gives its first 8 characters (trailing blanks dropped), a
// "." and the extension.  `result` is the finished name, never cut and
// without trailing blanks.
void MKFNAM(std::string& base, std::string& result, std::string_view extension);

}  // namespace orv::engine
