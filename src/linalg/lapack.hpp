// The LAPACK routines of the engine (LP64 Fortran interface of the linked OpenBLAS).
#pragma once

#include <climits>
#include <cstddef>

#include "base/internal_fault.hpp"

extern "C" {
// LU factorisation with partial pivoting, A = P * L * U, in place; info > 0 marks an exactly
// zero pivot U(info, info) (1-based).
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
// Solves A * X = B with the factor of dgetrf_.
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info, std::size_t trans_length);
// Threads the linked OpenBLAS uses for the next calls: process-wide, so set only through
// blas_threads.hpp.
void openblas_set_num_threads(int threads);
int openblas_get_num_threads();
// The same pair for band matrices with kl sub- and ku super-diagonals (ldab >= 2 kl + ku + 1).
void dgbtrf_(const int* m, const int* n, const int* kl, const int* ku, double* ab, const int* ldab,
             int* ipiv, int* info);
void dgbtrs_(const char* trans, const int* n, const int* kl, const int* ku, const int* nrhs,
             const double* ab, const int* ldab, const int* ipiv, double* b, const int* ldb,
             int* info, std::size_t trans_length);
}

namespace velm::linalg {

// LAPACK counts in int: a larger matrix could never have been allocated within the memory check.
inline int lapack_int(std::size_t value) {
  if (value > INT_MAX) throw InternalFault("Matrix too large for the LU decomposition.");
  return static_cast<int>(value);
}

}  // namespace velm::linalg
