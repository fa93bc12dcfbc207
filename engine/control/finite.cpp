#include "engine/control/finite.h"

#include <charconv>
#include <cmath>

#include "engine/common/fatal.h"

namespace orv::engine {

void stop_not_finite(const std::string& file, long long record, double value) {
    // Spelled as formatted output spells them.
    const char* text = std::isnan(value) ? "NaN" : value > 0.0 ? "Infinity" : "-Infinity";
    FATAL("FATAL ERROR: Value " + std::string(text) + " in record " + std::to_string(record) + " of file " + file +
          " is not a finite number");
}

void stop_too_large(const std::string& file, long long record, double value, const std::string& why) {
    FATAL("FATAL ERROR: Value " + number_text(value) + " in record " + std::to_string(record) + " of file " + file +
          " is too large: " + why);
}

std::string number_text(double v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
}

}  // namespace orv::engine
