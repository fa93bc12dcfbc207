// Machine constants of numerical routines I (IEEE double precision).
#pragma once

namespace orv::num1 {

constexpr int MCBASE() { return 2; }
constexpr int MCDIGS() { return 53; }
constexpr int MCEMIN() { return -1021; }
constexpr int MCEMAX() { return 1024; }
// One unit in the last place above 2^-53 (bit pattern 3CA0000000000001).
double MCEPS();
// 2^-1022, the smallest positive normalised number.
constexpr double MCSAFE() { return 2.2250738585072014e-308; }
constexpr double MCTINY() { return 2.2250738585072014e-308; }
constexpr double MCPI(double = 0.0) { return 3.141592653589793; }

}  // namespace orv::num1
