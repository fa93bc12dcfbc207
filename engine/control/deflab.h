#pragma once

#include <string>
#include <vector>

namespace orv::engine {

// The default variable labels: label i is "V" and i in three digits with
// leading zeros (V001 ... V999), in as many digits as it needs beyond 999
// (V1000), blank-padded to 15 characters.  `labels` gets n entries.
void DEFLAB(int n, std::vector<std::string>& labels);

}  // namespace orv::engine
