// The engine's check after each call of numerical routines II.
//
// After the first positive definite inversion the library only prints its
// messages (ERSET(0, 1, 0)), so a fatal or terminal error would otherwise
// run on to a report of zeros.  Every call site of the library calls this
// check right after the routine returns.
#pragma once

namespace orv::engine {

// Stops the run (exit status 1, after the library's own message) when the
// routine of numerical routines II that the engine called last ended with a
// fatal, terminal or immediate fatal error; notes, alerts and warnings go
// on.  Call it only after a routine that uses the error stack (not after
// UMACH, which does not).
void stop_on_library_error();

}  // namespace orv::engine
