// Array-argument helpers shared by both numerical libraries: how many
// elements a column-major matrix reaches, the check that a span is long
// enough for the dimensions passed with it, and the offset of a 1-based
// element.
#pragma once

#include <concepts>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace orv::numlib {

// Elements a column-major NROWS x NCOLS matrix with leading dimension LD
// reaches; 0 when it is empty.  Computed in size_t, so int inputs cannot
// overflow.
inline std::size_t matrix_extent(int nrows, int ncols, int ld) {
    if (nrows < 1 || ncols < 1) return 0;
    return static_cast<std::size_t>(ld) * static_cast<std::size_t>(ncols - 1) + static_cast<std::size_t>(nrows);
}

// The error a span shorter than its dimensions raises.
inline std::length_error too_short_error(std::string_view routine, std::string_view argument) {
    return std::length_error(std::string(routine) + ": array " + std::string(argument) +
                             " is shorter than its dimensions require");
}

// Throws std::length_error when HAVE elements are fewer than NEED; a NEED
// of zero or below never throws.
template <std::integral Need>
void require_length(std::size_t have, Need need, std::string_view routine, std::string_view argument) {
    if (std::cmp_less(have, need)) throw too_short_error(routine, argument);
}

// 0-based offset of the 1-based element (I, J) of a column-major matrix.
inline std::size_t element(int i, int j, int ld) {
    return static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(ld);
}

}  // namespace orv::numlib
