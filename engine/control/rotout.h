// Report and file pieces shared by the rotation stages: the label lists of
// the loading tables, the loading tables themselves, the factor correlations
// and structure of the oblique solutions, and the .fac and .phi files.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"

namespace orv::engine {

// Makes the label lists ready for the tables: VARLAB gets the default labels
// (DEFLAB) unless LABOPT is LABELS, and SLAB gets NVAR entries.  A labels
// word that is neither LABELS nor NOLABELS thereby sorts with the default
// labels instead of empty ones.
void ROTLAB(JOBSET& job, RUNDATA& run);

// Under SORT: SRTITM reorders the rows of M (NVAR x NFAC) and fills ORDER,
// and SLAB follows ORDER.  Any other sort word leaves M as it is.
void SRTROW(const JOBSET& job, RUNDATA& run, std::span<double> M);

// SRTROW, then the loading table of M on the report, titled SORTED or
// UNSORTED: sorted labels under SORT, VARLAB under NOSORT with LABELS, row
// numbers under NOSORT with NOLABELS, nothing for any other word.  With
// SITES (sorted, unsorted with labels, unsorted with numbers) the printer's
// status goes to TRACE with the site of the table printed.
void LODTAB(const JOBSET& job, RUNDATA& run, std::span<double> M, std::string_view sorted,
            std::string_view unsorted, const int* sites = nullptr);

// A table of M (NVAR x NFAC) titled TITLE with the row labels of the loading
// tables (as LODTAB, without sorting); returns the printer's status, or 0
// when no table is printed.
int ROWTAB(const JOBSET& job, const RUNDATA& run, std::span<const double> M, std::string_view title);

// The .fac file: one record (I4,1X,999(F8.4)) per row of M (NVAR x NFAC),
// numbered by position.
void FACWRT(const JOBSET& job, std::span<const double> M);

// Two empty lines on the report, then the NFAC x NFAC factor correlations
// PHI titled TITLE, rows and columns numbered.
void PHITAB(const JOBSET& job, std::span<const double> PHI, std::string_view title);

// The .phi file: one record (999(F12.9,1X)) per row of PHI (NFAC x NFAC).
void PHIWRT(const JOBSET& job, std::span<const double> PHI);

// The structure matrix P PHI of the NVAR x NFAC pattern P.
std::vector<double> STRMAT(std::span<const double> P, std::span<const double> PHI, int NVAR, int NFAC);

// Stops the run when the rotated solution M or the factor correlations PHI
// hold a value that is not a finite number: the window gets "Fatal Error:
// Serious problems occured during NAME Rotation" (/,/,/,T30,A,/,/,/), the
// pause prompt follows, the report gets "****Serious problems occured
// during NAME Rotation****" (/,/,/,A) and " Execution Terminated" (T19,A),
// and the run ends with the plain stop.  For the Varimax stage this is its
// own not-a-number stop, for every element instead of the first.
void ROTCHK(std::string_view name, std::span<const double> M, std::span<const double> PHI = {});

// A format with one slash on the report: two empty lines.
void TWOLIN();

// The 80-character title of a matrix table.
std::string TITL80(std::string_view text);

}  // namespace orv::engine
