#pragma once

namespace orv::engine {

// Reports a non-zero status returned by a numerical library call: one window
// line "Problem occured at line " with `line`, the number that identifies the
// call site, in ten columns.  A status of 0 writes nothing.  Never stops.
void TRACE(int ifail, int line);

}  // namespace orv::engine
