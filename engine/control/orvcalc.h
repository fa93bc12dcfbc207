#pragma once

namespace orv::engine {

// The engine's main program: one job from start-up to its end.  Every stop
// unwinds as rt::Stop or an input/output error to the caller's stop path.
void ORVCALC();

}  // namespace orv::engine
