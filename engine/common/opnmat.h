#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/format.h"
#include "runtime/units.h"

namespace orv::engine {

// Opens the matrix file with the given extension ("cor", "fac", ...) on
// `unit`, with status unknown (created when missing; an existing file is
// written from its start): the command file's directory `jobdir`, trailing
// blanks removed, followed by the name MKFNAM makes from `jobbas`.  Returns
// the path opened.  A file that cannot be opened ends the run with the
// run-time's failure message; one that is an input of the job is refused
// as open_output says.
std::string OPNMAT(int unit, std::string_view jobdir, std::string_view jobbas, std::string_view extension);

// Opens the output file `path` on `unit` for writing, with `status`.  When
// the file is one of the job's inputs (rt::mark_input), under whatever name,
// nothing is opened or touched: the run stops with a fatal message that
// names both uses (`use` is the output's, "The report named on >OUTFILE:")
// and the file.  Any other failure ends the run with the run-time's message.
void open_output(int unit, const std::string& path, std::string_view use, rt::OpenStatus status);

// Opens the existing input file `file` on `unit` for reading.  When the
// open fails the window shows MESSAGE and, on the next line, the file's
// name and the system's reason, both in LAYOUT (two A fields), and the run
// takes the fatal stop.
void open_input(int unit, const std::string& file, const rt::Format& layout, std::string_view message);

// Writes the NVAR x NVAR column-major matrix R to UNIT, one record per row
// under FORMAT, the rows formatted on THREADS threads and written in order.
void write_matrix(int unit, const std::vector<double>& r, int nvar, const rt::Format& format, int threads);

}  // namespace orv::engine
