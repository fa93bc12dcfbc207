#pragma once

#include <string>
#include <string_view>

namespace orv::engine {

// Opens the matrix file with the given extension ("cor", "fac", ...) on
// `unit`, with status unknown (created when missing; an existing file is
// written from its start): the command file's directory `jobdir`, trailing
// blanks removed, followed by the name MKFNAM makes from `jobbas`.  Returns
// the path opened.  A file that cannot be opened ends the run with the
// run-time's failure message.
std::string OPNMAT(int unit, std::string_view jobdir, std::string_view jobbas, std::string_view extension);

}  // namespace orv::engine
