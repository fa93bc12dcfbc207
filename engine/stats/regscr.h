// Factor scores of the raw data by the regression method (REGSCR) and the
// Bartlett method (BARSCR), with the weights and the validity blocks of the
// report.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::engine {

enum class ScoreMethod { Regression, Bartlett };

// What a score computation prints beside the scores: the NVAR x NFAC
// weights W and the NFAC correlations v of the factors with their score
// estimates.
struct ScoreBlocks {
    std::vector<double> W;
    std::vector<double> v;
};

// The weights of METHOD for the NVAR x NFAC loadings L and the correlation
// matrix R, whose diagonal holds the communalities on entry and 1.0 on
// return.  Regression: W = R^-1 L.  Bartlett: W = U^-2 L (L' U^-2 L)^-1 with
// U^-2 = diag(1 / (1 - R(j,j))).  The inverse comes from SPDINV; a failed
// inversion (not positive definite, or singular to working precision), a
// correlation matrix whose smallest eigenvalue is at most 1e-10 times its
// largest (singular, whether or not rounding lets the inversion pass, as for
// ipsatized data), and for Bartlett a communality that is not
// below 1.0, end the run with a fatal message after whatever the library
// printed.
std::vector<double> SCRWGT(ScoreMethod method, std::span<double> R, std::span<const double> L, int NVAR,
                           int NFAC);

// Raw scores S = Z W of the NSUBJ x NVAR data X, Z(i,j) = (X(i,j) - XBAR(j))
// / XSD(j) formed a block of subjects at a time (a variable with XSD(j) = 0
// standardises to 0).  Each S(i,k) is one sum over j = 1..NVAR in order, the
// sums of the reference DGEMM.  Pure: no library call, safe on any thread;
// FIRST and LAST bound the subjects (0-based, LAST excluded).
void SCRRAW(std::span<const double> X, std::span<const double> XBAR, std::span<const double> XSD,
            std::span<const double> W, int NSUBJ, int NVAR, int NFAC, std::size_t first, std::size_t last,
            std::span<double> S);

// The common steps of REGSCR and BARSCR: the console line, the weights,
// S = Z W on THREADS threads (0: one per core), the weights block on the
// advisory unit, the mean and standard deviation of every score column,
// the standardised scores in S (NSUBJ x NFAC, leading dimension NSUBJ) and
// the correlations block.  A score column without variance, or with values
// that are not finite numbers, ends the run with a fatal message naming the
// factor before any score is standardised.
ScoreBlocks FSCORE(ScoreMethod method, std::span<const double> X, std::span<const double> XBAR,
                   std::span<const double> XSD, int NVAR, int NSUBJ, int NFAC, std::span<double> R,
                   std::span<const double> L, std::span<double> S, int LUOUT, int NCOLS, std::string_view MODTYP,
                   int THREADS = 0);

// The two score routines.  LABOPT and VARLAB are not consulted: the rows of
// the weights block are always numbered.  LUOUT is the report unit, NCOLS
// the record width of the tables, MODTYP the model code.
void REGSCR(std::span<const double> X, std::span<const double> XBAR, std::span<const double> XSD, int NVAR,
            int NSUBJ, int NFAC, std::span<double> R, std::span<const double> L, std::span<double> S,
            std::string_view LABOPT, std::span<const std::string> VARLAB, int LUOUT, int NCOLS,
            std::string_view MODTYP, int THREADS = 0);
void BARSCR(std::span<const double> X, std::span<const double> XBAR, std::span<const double> XSD, int NVAR,
            int NSUBJ, int NFAC, std::span<double> R, std::span<const double> L, std::span<double> S,
            std::string_view LABOPT, std::span<const std::string> VARLAB, int LUOUT, int NCOLS,
            std::string_view MODTYP, int THREADS = 0);

}  // namespace orv::engine
