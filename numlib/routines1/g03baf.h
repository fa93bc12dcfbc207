// Orthomax rotation (Varimax and its family) of a matrix of factor loadings.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// Rotates the NVAR x K loadings FL (leading dimension LDF) orthogonally so
// that the orthomax criterion with parameter G (1.0: Varimax) is maximised,
// by sweeps of plane rotations over every pair of factors; the rotation
// matrix R (K x K, leading dimension LDR) is then the orthogonal matrix
// that best maps FL onto the orthomax target of the last iterate, and
// FLR = FL R (leading dimension LDF).
//
// STAND "S"/"s": the rows of FL are scaled to unit length for the rotation
// (Kaiser normalisation) and FL and FLR are brought back to FL's row lengths
// at the end; a row of zeros is left as it is.  "U"/"u": FL as given.
// ACC is the relative accuracy of the criterion (values outside
// (machine precision, 1) mean machine precision); at most MAXIT + 1 sweeps
// are made and ITER counts the criterion evaluations.
// WK holds at least 2 NVAR + K*K + 5K - 4 values.
//
// Errors: 1 invalid arguments (K < 2, NVAR < K, LDF < NVAR, LDR < K, a bad
// STAND, G < 0, ACC < 0 or either not a number, MAXIT < 1; nothing is
// computed); 2 the singular value decomposition failed (FLR and R are left
// undefined); 3 no convergence (FLR, R and ITER are complete for the
// rotation reached).
void G03BAF(std::string_view stand, double g, int nvar, int k, std::span<double> fl, int ldf, std::span<double> flr,
            std::span<double> r, int ldr, double acc, int maxit, int& iter, std::span<double> wk, int& ifail);

}  // namespace orv::num1
