#include "engine/control/correlation_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "engine/common/fatal.h"
#include "engine/control/finite.h"

namespace orv::engine {

namespace {

// One unit in the last decimal that V is written with (V's shortest
// decimal form), with room for the rounding of the comparison, at most
// 0.001 and at least kFullPrecisionRounding.
double last_decimal(double v) {
    char text[400];
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr;
    const std::string_view digits(text, static_cast<std::size_t>(end - text));
    const std::size_t point = digits.find('.');
    const std::size_t decimals = point == std::string_view::npos ? 0 : digits.size() - point - 1;
    return std::max(1.01 * std::pow(10.0, -static_cast<double>(std::max<std::size_t>(decimals, 3))),
                    kFullPrecisionRounding);
}

// A and B agree within the rounding of the more precise of the written
// values V and W (whose decimals are looked at only when the rounding at
// full precision does not already cover the difference).
bool within(double a, double b, double v, double w) {
    const double d = std::abs(a - b);
    return d <= kFullPrecisionRounding || d <= std::min(last_decimal(v), last_decimal(w));
}

}  // namespace

void require_correlation_matrix(std::span<const double> r, std::size_t n, const std::string& file) {
    auto entry = [&](std::size_t i, std::size_t k) {
        return "Entry (" + std::to_string(i + 1) + "," + std::to_string(k + 1) + ") of " + file + " is " +
               number_text(r[i + k * n]);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const double d = r[i + i * n];
        if (!within(d, 1.0, d, d))
            FATAL("FATAL ERROR: " + entry(i, i) + ": a correlation matrix has 1 on its diagonal");
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < n; ++k) {
            if (i == k) continue;
            const double v = r[i + k * n];
            if (!(std::abs(v) <= 1.0 + kFullPrecisionRounding))
                FATAL("FATAL ERROR: " + entry(i, k) + ": correlations lie between -1 and 1");
            const double w = r[k + i * n];
            if (k > i && !within(v, w, v, w))
                FATAL("FATAL ERROR: " + entry(i, k) + " and entry (" + std::to_string(k + 1) + "," +
                      std::to_string(i + 1) + ") is " + number_text(w) + ": a correlation matrix is symmetric");
        }
    }
}

}  // namespace orv::engine
