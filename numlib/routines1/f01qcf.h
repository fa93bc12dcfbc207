// QR and RQ factorisations by elementary reflectors (see refgen.h), with the
// routines that apply or form their orthogonal factors.
//
// QR form (F01QCF, M >= N): A = Q (R; 0), Q = P(1) P(2) ... P(N); R in the
// upper triangle of A, the z of P(k) in A(k+1..M, k), its zeta in ZETA(k)
// (WHERET "S") or, for the routines that accept WHERET "I", in A(k, k).
// RQ form (F01QJF, M <= N): A = (R 0) P^T, P^T = P(1) P(2) ... P(M); R the
// upper triangle of A(1..M, 1..M); the reflector of row k acts on columns
// 1..k-1, k and M+1..N, its z held in row k in those columns, its zeta in
// ZETA(k).
//
// Every argument is checked; each invalid one is reported at once (PARERRI,
// PARERRC) and then error -1 is set with the count of invalid arguments.
// Option letters are read from their first character, in either case.
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// QR factorisation of the M x N matrix A, M >= N >= 0.  ZETA: N values.
void F01QCF(int m, int n, std::span<double> a, int lda, std::span<double> zeta, int& ifail);

// B := Q^T B (TRANS "T" or "C") or B := Q B (TRANS "N") for the M x NCOLB
// matrix B and the Q of F01QCF.  WORK: NCOLB values.
void F01QDF(std::string_view trans, std::string_view wheret, int m, int n, std::span<const double> a, int lda,
            std::span<const double> zeta, int ncolb, std::span<double> b, int ldb, std::span<double> work,
            int& ifail);

// Overwrites A with the first NCOLQ columns of the Q of F01QCF
// (0 <= NCOLQ <= M).  WORK: NCOLQ values.
void F01QEF(std::string_view wheret, int m, int n, int ncolq, std::span<double> a, int lda,
            std::span<const double> zeta, std::span<double> work, int& ifail);

// RQ factorisation of the M x N matrix A, 0 <= M <= N.  ZETA: M values.
void F01QJF(int m, int n, std::span<double> a, int lda, std::span<double> zeta, int& ifail);

// Overwrites A with the first NROWP rows of the P^T of F01QJF
// (0 <= NROWP <= N, LDA >= max(M, NROWP)).  WORK: NROWP values.
void F01QKF(std::string_view wheret, int m, int n, int nrowp, std::span<double> a, int lda,
            std::span<const double> zeta, std::span<double> work, int& ifail);

}  // namespace orv::num1
