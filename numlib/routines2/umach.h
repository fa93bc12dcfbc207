// Run-wide settings and machine constants of numerical routines II: units,
// page size, option tables, number-printing options, and small utilities.
#pragma once

#include <span>
#include <string_view>

namespace orv::num2 {

// N = 1, 2, 3 returns the input, output or message unit; -1, -2, -3 sets it.
void UMACH(int n, int& nunit);
// IOPT = 1, 2 returns the page width or length; -1, -2 sets it.
void PGOPT(int iopt, int& ipage);

int IMACH(int n);
double DMACH(int n);
float AMACH(int n);

// Reads (IACT 1) or writes (IACT 2) option values of a MATH or STAT chapter.
void IUMAG(std::string_view prodnm, int ichp, int iact, int numopt, std::span<const int> iopts,
           std::span<int> ivals);
// Number-printing options 1..16.
void WROPT(int iopt, int& iset, int iscope);

void CVTSI(std::string_view string, int& num);
char ACHAR(int i);

// 1-based index of the largest (smallest) of X(1), X(1+INCX), ...; the first
// on ties; 0 for N < 1.
int IDXMAX(int n, std::span<const double> x, int incx);
int IDXMIN(int n, std::span<const double> x, int incx);
bool ISDNAN(double x);

// Puts units, page size and options back to their initial values (tests only).
void reset_options();

}  // namespace orv::num2
