// Edit descriptors for printing plot scale values and matrix entries in a
// fixed number of columns, and the writer of one value with such a
// descriptor.
//
// A descriptor is a 10-character format text in one of three shapes:
// "(0PF" w "." d ")" (fixed), "(1PD" w "." d ")" (exponent form with one
// digit before the point) and "(I" w ")" plus five blanks (integer), w and d
// each written as an I2 field.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace orv::num2 {

// Descriptor for printing the N values of X (axis ticks) in NWIDTH columns,
// with enough significant digits to tell the values apart.
std::string DF1T90(int n, std::span<const double> x, int nwidth);
// Descriptor for the entries of the NRA x NCA matrix A (leading dimension
// LDA; ITRING selects the full matrix (0) or a triangle) in NWIDTH columns
// with |NSIG| significant digits.  With NSIG >= 0 a fixed descriptor keeps
// only as many decimals as the entries need.
std::string DFMT90(int nra, int nca, std::span<const double> a, int lda, int itring, int nwidth, int nsig);
// Descriptor for one magnitude VALUE in NWIDTH columns with NSIG
// significant digits.
std::string DFMTX(double value, int nwidth, int nsig);
// IMAX = index (1-based, in steps of INCX) of the element of X of largest
// absolute value among N; NaN elements are skipped; 0 when there is none.
void DI1MAX(int n, std::span<const double> x, int incx, int& imax);

// VALUE written with the descriptor FMT into 40 characters (the field first,
// blanks after it), with its own answers for NaN, infinities and integers
// that an integer field cannot hold.
std::string FMTVAL(double value, std::string_view fmt);
// The field width written in FMT: after the first of the letters V, W, F,
// I, G, D, E that occurs (IFLAG != 0), or between the first C1 and the
// following C2 (IFLAG = 0).
void FMTWID(std::string_view fmt, int iflag, std::string_view c1, std::string_view c2, int& iwidth);
// The rows of column J (first row IROW1) that belong to an NRA-row matrix:
// ITRING 0 all rows, 1 / 2 the upper triangle with / without the diagonal,
// -1 / -2 the lower triangle with / without the diagonal.
void ROWRNG(int itring, int irow1, int nra, int j, int& ifirst, int& nrows);
// IFLAG = 1 when every value of X(1..N) that is not NaN is whole and fits
// an integer field NWIDTH wide, else 0.
void INTFIT(int n, std::span<const double> x, int nwidth, int& iflag);

}  // namespace orv::num2
