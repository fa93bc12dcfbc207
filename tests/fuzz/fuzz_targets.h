// Entry points of the fuzz targets.  Each takes one fuzz input, runs it
// through a part of the run-time and returns normally whatever the input;
// a crash, sanitizer report, hang or runaway allocation is a fault.  The
// libFuzzer mains (fuzz_main.cpp) and the corpus replay test call them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv::rt::fuzz {

// The input is a format text: parse it, and walk the first data edit
// descriptors of a statement as the format controller would.
void fuzz_format(const std::uint8_t* data, std::size_t size);

// The first line is a format; the remaining lines are the records.  A read
// of up to eight items, each of the type its data edit descriptor edits.
void fuzz_formatted_input(const std::uint8_t* data, std::size_t size);

// The lines are the records of a list-directed read of a fixed list of
// items of every type, a file name among them.
void fuzz_list_input(const std::uint8_t* data, std::size_t size);

}  // namespace orv::rt::fuzz
