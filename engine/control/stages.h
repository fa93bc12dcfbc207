// The analysis stages the main program runs after the job has been read,
// in the fixed order of ORVCALC.  Each takes the job and the run's arrays.
#pragma once

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"

namespace orv::engine {

// Correlations from raw data or the correlation file, smoothing, the .cor
// and .smo files; leaves R and NCOLS set and the advisory unit on the report.
void CORSTG(JOBSET& job, RUNDATA& run);
// The correlation matrix in the report (LONG reports).
void CORPRT(const JOBSET& job, RUNDATA& run);
// Whether a TRP job can be tested, each failure a stop: TRPJOB before any
// input is read (raw data, at least three variables), TRPDAT on the data
// as they enter the correlations (responses 0 and 1 only, both in every
// variable).  The correlation stage calls them, so that a job that cannot
// be tested stops before its correlations and TRPSTG sees only data it can
// test.
void TRPJOB(const JOBSET& job);
void TRPDAT(const JOBSET& job, const RUNDATA& run);
// The triplet test of multivariate normality and its .mvn file; triplets
// run on THREADS threads (0: one per CPU the process may use) with the
// same output whatever their number.
void TRPSTG(JOBSET& job, RUNDATA& run, int THREADS);
// Eigenvalue table and plot (.eig), factor extraction, model fit (.rsd).
void EXTSTG(JOBSET& job, RUNDATA& run);
// The unrotated solution (.fac for PFA).
void UNRSTG(JOBSET& job, RUNDATA& run);
// The stages after the unrotated solution decide themselves whether they
// run, each by its one rule; the main program calls every one in order.
// Rotations, each for NFAC above 1 and its own method word: weighted
// Varimax (WVARIMAX), Varimax (VARIMAX, and PROMAX before its Promax step),
// Promax (PROMAX), direct Oblimin (OBLIMIN), Harris-Kaiser (HK).
void WVMSTG(JOBSET& job, RUNDATA& run);
void VARSTG(JOBSET& job, RUNDATA& run);
void PROSTG(JOBSET& job, RUNDATA& run);
void OBLSTG(JOBSET& job, RUNDATA& run);
void HKSTG(JOBSET& job, RUNDATA& run);
// The sorted item listing: an item file was read and the sort option is
// SORT (a job without factors never comes this far).
void ITMSTG(JOBSET& job, RUNDATA& run);
// Factor scores (.fsc): raw data were read, metric CO or IP, score method
// REG or BART.  The scores and the .fsc records are computed on THREADS
// threads (0: one per core); the report, the window and the .fsc file are
// the same for every count.
void SCRSTG(JOBSET& job, RUNDATA& run, int THREADS);
// The score plots: plot option SCORES or ALL, and scores were computed.
void SCPSTG(JOBSET& job, RUNDATA& run);

}  // namespace orv::engine
