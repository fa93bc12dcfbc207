// A file that ends before it gives what the job declares.  The arrays of
// such an input grow with what is read, so a mistyped count costs no more
// memory than the file holds; the run stops with a message that gives both
// what the file held and the count declared.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/io_error.h"

namespace orv::engine {

// True when E is the end of a file.
inline bool end_of_file(const rt::IoError& e) { return e.kind() == rt::IoErrorKind::EndOfFile; }

// The window message "FATAL ERROR: File F ends after N records, with HELD",
// for example HELD "5 of the 100 subjects declared on >DATA:", the pause
// prompt and the fatal stop.
[[noreturn]] void stop_file_ends(const std::string& file, long long records, const std::string& held);

// "COUNT WHAT for the DECLARED THINGS declared on KEYWORD" ("3 item texts
// for the 10 variables declared on >DATA:").
std::string held_for(std::size_t count, const char* what, long long declared, const char* things,
                     const char* keyword);

}  // namespace orv::engine
