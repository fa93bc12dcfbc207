// Warnings for communalities above one (Heywood cases).
#pragma once

#include <span>

namespace orv::engine {

// The communality above which a variable is reported.
inline constexpr double HEYWOOD_LIMIT = 1.00000001;

// For each i = 1..NVAR with COMM(i) > HEYWOOD_LIMIT writes to unit LU an
// empty line and "          ****WARNING !!! HEYWOOD CASE FOR VARIABLE  " with
// i in I4 and " ****".
void HEYWRN(std::span<const double> COMM, int NVAR, int LU);

}  // namespace orv::engine
