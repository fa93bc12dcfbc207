// The matrix printer: a real matrix, or its lower or upper triangle, as a
// titled table on the advisory unit, with optional row and column labels,
// every element written with a caller-supplied edit descriptor and the
// columns split into blocks that fit the record width.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace orv::num1 {

// Prints the M x N matrix A (column-major, leading dimension LDA) on the
// advisory unit (ADVUNIT).
//
// MATRIX "G" general, "L" lower or "U" upper triangle; DIAG (triangles only)
// "N" prints A(i,i), "U" prints 1.0, "B" leaves the diagonal blank.  FORM is
// one edit descriptor without parentheses ("F8.3"); all blank chooses one
// from the values, "*" gives full precision.  TITLE (all blank: none) heads
// the table.  LABROW and LABCOL: "N" no labels, "I" numbers, "C" the texts of
// RLABS (M of them) and CLABS (N of them).  Only the first character of
// MATRIX, DIAG, LABROW and LABCOL counts; lower case is accepted.  NCOLS is
// the record width (outside 1..132: 80); INDENT blank columns start every
// record (below 0 or not below the width: 0).
//
// Errors (nothing is printed): 1 MATRIX, 2 DIAG, 3 M > LDA, 4 FORM longer
// than 80 characters, 5 FORM cannot print a real number, 6 LABROW or LABCOL,
// 7 the width holds no column.  A, RLABS or CLABS smaller than the arguments
// say throws std::length_error.
void X04CBF(std::string_view matrix, std::string_view diag, int m, int n, std::span<const double> a, int lda,
            std::string_view form, std::string_view title, std::string_view labrow,
            std::span<const std::string> rlabs, std::string_view labcol, std::span<const std::string> clabs,
            int ncols, int indent, int& ifail);

}  // namespace orv::num1
