#include "engine/control/finite.h"

#include <cmath>

#include "engine/common/fatal.h"

namespace orv::engine {

void stop_not_finite(const std::string& file, long long record, double value) {
    // Spelled as formatted output spells them.
    const char* text = std::isnan(value) ? "NaN" : value > 0.0 ? "Infinity" : "-Infinity";
    FATAL("FATAL ERROR: Value " + std::string(text) + " in record " + std::to_string(record) + " of file " + file +
          " is not a finite number");
}

}  // namespace orv::engine
