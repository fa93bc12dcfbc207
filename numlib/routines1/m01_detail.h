// Helpers shared by the sorting and ranking routines M01CAF, M01DAF and
// M01ZAF.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::num1::m01 {

// The order the sorts use: the usual order of the numbers, with every NaN
// above +infinity and equal to every other NaN.  A NaN therefore cannot
// break the bounds that the sorts derive from their comparisons.
inline bool less(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

// The two records of error 1 (an illegal M1, M2).
std::vector<std::string> range_records(int m1, int m2);

// Checks of M01CAF and M01DAF: 1 for an illegal section, 2 for an illegal
// ORDER (with RECORDS composed), 0 when both are legal; DESCENDING is then
// set from ORDER.
int check_section(int m1, int m2, std::string_view order, int& descending, std::vector<std::string>& records);

// Throws std::length_error when an array of SIZE elements cannot hold the
// section up to M2.
void check_length(std::size_t size, int m2, const char* routine, const char* argument);

}  // namespace orv::num1::m01
