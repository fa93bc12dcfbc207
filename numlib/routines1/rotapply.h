// Application of sequences of plane rotations to the rows or columns of a
// matrix, and the restoration of an upper triangle after rotations.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// Applies the rotations (C(i), S(i)), i = K1..K2-1, to the M x N matrix A
// (leading dimension LDA).  Each acts on a pair (x, y) as x' = c x + s y,
// y' = c y - s x, where x and y are:
//   SIDE "L": rows, so A := G^T A;  SIDE "R": columns, so A := A G;
//   PIVOT "V": the pair (i, i+1);  "T": (K1, i+1);  "B": (i, K2);
// applied in the order i = K1..K2-1 (DIRECT "F") or K2-1 down to K1 ("B").
// Only the first letter of each option counts, in either case.  Nothing is
// done when K1 < 1, K2 <= K1, or K2 exceeds M (side "L") or N (side "R").
void ROTAPPLY(std::string_view side, std::string_view pivot, std::string_view direct, int m, int n, int k1,
              int k2, std::span<const double> c, std::span<const double> s, std::span<double> a, int lda);

// SIDE "R": applies the column rotations (C(i), S(i)) of the pairs (i, i+1),
// i = K2-1 down to K1, to the upper triangular N x N matrix A.  Each leaves
// one element below the diagonal, which a rotation of rows i and i+1 removes
// at once; that row rotation replaces the column rotation in C(i), S(i), so
// on exit A is again upper triangular and C, S hold the row rotations
// (apply them with ROTAPPLY("L", "V", "B", ..., K1, K2) to follow the rows).
// A pair whose rotation is (1, 0) is skipped.  Nothing below the diagonal
// of A is referenced.
void TRIROT(std::string_view side, int n, int k1, int k2, std::span<double> c, std::span<double> s,
            std::span<double> a, int lda);

}  // namespace orv::num1
