// Tick marks for a plot axis: round values that cover a range, chosen from a
// table of nice steps.
#pragma once

namespace orv::num2 {

// Ticks for N distinct plotting positions between FMN and FMX with MPV scale
// marks per printed value: the first tick FIRST, the step STEP, the number of
// ticks NM and the number of decimals NDEC needed to write every tick
// exactly (negative when the ticks' unit is a multiple of 10).  Bad
// arguments raise terminal messages 1..3 and leave the outputs unset.
void DSSFMT(double fmn, double fmx, int n, int mpv, double& first, double& step, int& nm, int& ndec);

}  // namespace orv::num2
