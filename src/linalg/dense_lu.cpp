#include "linalg/dense_lu.hpp"

#include <Eigen/LU>
#include <climits>
#include <cstddef>
#include <utility>

#include "base/internal_fault.hpp"
#include "linalg/blas_threads.hpp"
#include "linalg/lapack.hpp"
#include "linalg/negligible_pivot.hpp"

namespace velm::linalg {

DenseLu::DenseLu(DenseMatrix matrix) : lu_(std::move(matrix)) {
  if (lu_.rows() != lu_.cols()) throw InternalFault(kIndexOutOfBounds);
  const int n = lapack_int(lu_.rows());
  pivots_.resize(static_cast<std::size_t>(n));
  if (n == 0) return;
  // Row interchanges keep each column's entries in their column, so U(k, k) is measured
  // against column k of the matrix as given.
  const Vector column_scale = lu_.cwiseAbs().colwise().maxCoeff().transpose();
  int info = 0;
  {
    const SingleThreadedBlas one_thread;
    dgetrf_(&n, &n, lu_.data(), &n, pivots_.data(), &info);
  }
  if (info < 0) throw InternalFault("Invalid argument to the LU factorisation.");
  singular_ = info > 0;
  for (Eigen::Index k = 0; k < lu_.rows() && !singular_; ++k)
    singular_ = negligible_pivot(lu_(k, k), column_scale(k), static_cast<std::size_t>(n));
}

double DenseLu::determinant() const {
  double det = 1.0;
  const Eigen::Index n = lu_.rows();
  for (Eigen::Index i = 0; i < n; ++i) {
    // Pivot indices are 1-based; every swap flips the sign.
    const bool swapped = pivots_[static_cast<std::size_t>(i)] != static_cast<int>(i + 1);
    det *= swapped ? -lu_(i, i) : lu_(i, i);
  }
  return det;
}

std::optional<Vector> DenseLu::solve(const Vector& rhs) const {
  if (singular_) return std::nullopt;
  if (rhs.size() != lu_.rows()) throw InternalFault(kIndexOutOfBounds);
  Vector x = rhs;
  const int n = lapack_int(lu_.rows());
  if (n == 0) return x;
  const int nrhs = 1;
  const char trans = 'N';
  int info = 0;
  const SingleThreadedBlas one_thread;
  dgetrs_(&trans, &n, &nrhs, lu_.data(), &n, pivots_.data(), x.data(), &n, &info, 1);
  if (info != 0) throw InternalFault("Invalid argument to the LU solve.");
  return x;
}

double determinant(const Matrix12& matrix) {
  return matrix.partialPivLu().determinant();
}

}  // namespace velm::linalg
