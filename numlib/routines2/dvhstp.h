// Vertical histogram of class counts on the library's output unit: a page
// eject, a centred title, a frequency scale down the left, a column of "I"
// per class rising to its count, and class numbers underneath.
#pragma once

#include <span>
#include <string_view>

namespace orv::num2 {

// Prints FRQ(1..NBAR) (counts, not negative) with ISP blank columns between
// the bars (0, 1 or 4) under TITLE (trailing blanks do not count).  The
// plot is at most 100 columns wide.
void DVHSTP(int nbar, std::span<const double> frq, int isp, std::string_view title);

}  // namespace orv::num2
