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
