// The engine's fixed unit numbers: each file of a run is addressed by one.
#pragma once

#include "runtime/units.h"

namespace orv::engine {

inline constexpr int LUCON = rt::kConsoleUnit;  // 6: the engine window
inline constexpr int LUDAT = 10;   // raw data, input correlation or loading matrix
inline constexpr int LURPT = 11;   // the report
inline constexpr int LUJOB = 12;   // the command file
inline constexpr int LUCOR = 15;   // .cor
inline constexpr int LUFSC = 16;   // .fsc
inline constexpr int LUPHIN = 17;  // factor correlation input (>PHI:)
inline constexpr int LUMVN = 22;   // .mvn
inline constexpr int LUFRQ = 23;   // .frq
inline constexpr int LUSER = 24;   // .ser
inline constexpr int LUDFF = 25;   // .dff
inline constexpr int LUFAC = 26;   // .fac and .eig
inline constexpr int LUPHI = 35;   // .phi
inline constexpr int LURSD = 44;   // .rsd
inline constexpr int LUCPR = 45;   // guessing parameters
inline constexpr int LUSMO = 88;   // .smo
inline constexpr int LUTMP = 99;   // item file and scratch

}  // namespace orv::engine
