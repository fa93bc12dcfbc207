// The BLAS and LAPACK routines the numerical libraries call, through their
// Fortran interfaces: every argument by pointer, and a trailing length for
// each character argument.
#pragma once

#include <cstddef>

extern "C" {

// BLAS level 1
double dnrm2_(const int* n, const double* x, const int* incx);
void dscal_(const int* n, const double* a, double* x, const int* incx);
void daxpy_(const int* n, const double* a, const double* x, const int* incx, double* y, const int* incy);
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);
double ddot_(const int* n, const double* x, const int* incx, const double* y, const int* incy);
void dswap_(const int* n, double* x, const int* incx, double* y, const int* incy);
void zswap_(const int* n, void* x, const int* incx, void* y, const int* incy);
double dasum_(const int* n, const double* x, const int* incx);
int idamax_(const int* n, const double* x, const int* incx);

// BLAS level 2
void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
            const double* x, const int* incx, const double* beta, double* y, const int* incy, std::size_t trans_len);
void dger_(const int* m, const int* n, const double* alpha, const double* x, const int* incx, const double* y,
           const int* incy, double* a, const int* lda);
void dsymv_(const char* uplo, const int* n, const double* alpha, const double* a, const int* lda, const double* x,
            const int* incx, const double* beta, double* y, const int* incy, std::size_t uplo_len);
void dsyr2_(const char* uplo, const int* n, const double* alpha, const double* x, const int* incx, const double* y,
            const int* incy, double* a, const int* lda, std::size_t uplo_len);
void dsyr_(const char* uplo, const int* n, const double* alpha, const double* x, const int* incx, double* a,
           const int* lda, std::size_t uplo_len);
void dtrsv_(const char* uplo, const char* trans, const char* diag, const int* n, const double* a, const int* lda,
            double* x, const int* incx, std::size_t uplo_len, std::size_t trans_len, std::size_t diag_len);

// BLAS level 3
void dtrsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m, const int* n,
            const double* alpha, const double* a, const int* lda, double* b, const int* ldb, std::size_t side_len,
            std::size_t uplo_len, std::size_t transa_len, std::size_t diag_len);
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
            const int* ldc, std::size_t transa_len, std::size_t transb_len);
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha, const double* a,
            const int* lda, const double* beta, double* c, const int* ldc, std::size_t uplo_len,
            std::size_t trans_len);

}  // extern "C"

// LAPACK: symmetric eigenproblem by relatively robust representations, and
// the Cholesky factorisation with its inverse (test oracles)
extern "C" {
void dsyevr_(const char* jobz, const char* range, const char* uplo, const int* n, double* a, const int* lda,
             const double* vl, const double* vu, const int* il, const int* iu, const double* abstol, int* m,
             double* w, double* z, const int* ldz, int* isuppz, double* work, const int* lwork, int* iwork,
             const int* liwork, int* info, std::size_t jobz_len, std::size_t range_len, std::size_t uplo_len);
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info, std::size_t uplo_len);
void dpotri_(const char* uplo, const int* n, double* a, const int* lda, int* info, std::size_t uplo_len);
}  // extern "C"

// LAPACK: eigenvalues of a general matrix (test oracle)
extern "C" {
void dgeev_(const char* jobvl, const char* jobvr, const int* n, double* a, const int* lda, double* wr, double* wi,
            double* vl, const int* ldvl, double* vr, const int* ldvr, double* work, const int* lwork, int* info,
            std::size_t jobvl_len, std::size_t jobvr_len);
}  // extern "C"

// LAPACK: LU factorisation with partial pivoting and solve (test oracle)
extern "C" {
void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv, double* b, const int* ldb,
            int* info);
}  // extern "C"

// LAPACK: reduction of a symmetric matrix to tridiagonal form and the
// tridiagonal QR and QL iterations beneath F02FAF, with the matrix norm;
// dsyev and dsyevd serve as test oracle and benchmark reference
extern "C" {
double dlansy_(const char* norm, const char* uplo, const int* n, const double* a, const int* lda, double* work,
               std::size_t norm_len, std::size_t uplo_len);
void dsytrd_(const char* uplo, const int* n, double* a, const int* lda, double* d, double* e, double* tau,
             double* work, const int* lwork, int* info, std::size_t uplo_len);
void dorgtr_(const char* uplo, const int* n, double* a, const int* lda, const double* tau, double* work,
             const int* lwork, int* info, std::size_t uplo_len);
void dsteqr_(const char* compz, const int* n, double* d, double* e, double* z, const int* ldz, double* work,
             int* info, std::size_t compz_len);
void dsterf_(const int* n, double* d, double* e, int* info);
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w, double* work,
            const int* lwork, int* info, std::size_t jobz_len, std::size_t uplo_len);
void dsyevd_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w, double* work,
             const int* lwork, int* iwork, const int* liwork, int* info, std::size_t jobz_len, std::size_t uplo_len);
}  // extern "C"

// LAPACK: copy of a whole matrix or of one triangle
extern "C" {
void dlacpy_(const char* uplo, const int* m, const int* n, const double* a, const int* lda, double* b,
             const int* ldb, std::size_t uplo_len);
}  // extern "C"

// LAPACK: singular value decomposition, elementary reflector and plane
// rotation generators (test oracles)
extern "C" {
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a, const int* lda, double* s,
             double* u, const int* ldu, double* vt, const int* ldvt, double* work, const int* lwork, int* info,
             std::size_t jobu_len, std::size_t jobvt_len);
void dlarfg_(const int* n, double* alpha, double* x, const int* incx, double* tau);
void dlartg_(const double* f, const double* g, double* c, double* s, double* r);
}  // extern "C"
