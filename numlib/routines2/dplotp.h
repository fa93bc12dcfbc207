// Printer plot of up to ten functions of one variable on the library's output
// unit: a character frame with ticks and scale values, zero lines, one symbol
// per function, a centred title, a vertical y title and a centred x title.
// The page size comes from PGOPT, the unit from UMACH.
#pragma once

#include <span>
#include <string_view>

namespace orv::num2 {

// Plots A(1+(k-1)*INC, j) against X(1+(k-1)*INC) for the points k whose
// index does not pass NDATA and the functions j = 1..NFUN (at most 10).
// RANGE = XMIN, XMAX, YMIN, YMAX; a pair whose first value is not below its
// second is scaled from the data.  SYMBOL(j:j) is function j's character (a
// missing one plots a blank); trailing blanks of the titles do not count.
void DPLOTP(int ndata, int nfun, std::span<const double> x, std::span<const double> a, int lda, int inc,
            std::span<const double> range, std::string_view symbol, std::string_view xtitle,
            std::string_view ytitle, std::string_view title);

}  // namespace orv::num2
