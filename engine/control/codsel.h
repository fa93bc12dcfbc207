// Whether a matrix file is asked for on the >OUTPUT: line.
#pragma once

#include <string_view>

#include "engine/control/jobset.h"

namespace orv::engine {

// True when OUTPUT is T and CODE (three upper-case letters, such as "FAC")
// stands among the first seven codes of >OUTPUT:; an eighth code is never
// acted on.
bool CODSEL(const JOBSET& job, std::string_view code);

}  // namespace orv::engine
