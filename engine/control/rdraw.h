#pragma once

#include <string>
#include <vector>

#include "engine/common/data_array.h"

namespace orv::engine {

// Reads the raw data file on LUDAT: for each of the NSUBJ subjects one
// formatted read with the job's run-time format DATFMT (the >FORMAT: text,
// a complete format with its parentheses) of the subject's identifier and
// its NVAR values.  Every subject starts a new record; "/" and format
// reversion let a subject run over several records; blanks in a field are
// ignored and a blank or missing field reads as zero.  SUBJID gets NSUBJ
// identifiers, X the NSUBJ x NVAR data (column-major, row = subject).
// The arrays grow with the subjects read, never beyond NSUBJ.  A bad format
// or a field that cannot be converted ends the run through the run-time;
// the end of the file before the last subject stops it with a message
// naming the file, the records read, the whole subjects among them and
// NSUBJ; a value or an identifier that is not a finite number (NaN, an
// infinity) stops it with a message naming the file, its record and the
// value.  When several subjects fail, the error is the first failing
// subject's.
// THREADS: the threads that convert the subjects (0: one per core, or one
// for a small file; 1: subject by subject); the results, the records read
// and the errors are the same for every count.
void RDRAW(const std::string& DATFMT, int NSUBJ, int NVAR, DataArray& SUBJID, DataArray& X,
           int threads = 0);

}  // namespace orv::engine
