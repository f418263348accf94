#include "linalg/band_lu.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "base/internal_fault.hpp"
#include "linalg/blas_threads.hpp"
#include "linalg/lapack.hpp"
#include "linalg/negligible_pivot.hpp"

namespace velm::linalg {

BandLu::BandLu(BandStorage matrix) : lu_(std::move(matrix)) {
  const int n = lapack_int(lu_.size);
  const int b = lapack_int(lu_.bandwidth);
  const int ldab = lapack_int(lu_.leading_dimension());
  if (lu_.values.size() != lu_.leading_dimension() * lu_.size)
    throw InternalFault(kIndexOutOfBounds);
  pivots_.resize(lu_.size);
  if (n == 0) return;
  // Row interchanges keep each column's entries in their column, so U(k, k) is measured
  // against column k of the band as given.
  std::vector<double> column_scale(lu_.size, 0.0);
  for (std::size_t j = 0; j < lu_.size; ++j) {
    const std::size_t top = j > lu_.bandwidth ? j - lu_.bandwidth : 0;
    const std::size_t bottom = std::min(lu_.size - 1, j + lu_.bandwidth);
    const double* column = lu_.values.data() + lu_.offset(top, j);
    for (std::size_t i = 0; i <= bottom - top; ++i)
      column_scale[j] = std::max(column_scale[j], std::abs(column[i]));
  }
  int info = 0;
  {
    const SingleThreadedBlas one_thread;
    dgbtrf_(&n, &n, &b, &b, lu_.values.data(), &ldab, pivots_.data(), &info);
  }
  if (info < 0) throw InternalFault("Invalid argument to the band LU factorisation.");
  singular_ = info > 0;
  for (std::size_t k = 0; k < lu_.size && !singular_; ++k)
    singular_ = negligible_pivot(lu_.values[lu_.offset(k, k)], column_scale[k], lu_.size);
}

double BandLu::determinant() const {
  double det = 1.0;
  for (std::size_t i = 0; i < lu_.size; ++i) {
    const double pivot = lu_.values[lu_.offset(i, i)];
    det *= pivots_[i] != static_cast<int>(i + 1) ? -pivot : pivot;
  }
  return det;
}

std::optional<Vector> BandLu::solve(const Vector& rhs) const {
  if (singular_) return std::nullopt;
  if (static_cast<std::size_t>(rhs.size()) != lu_.size) throw InternalFault(kIndexOutOfBounds);
  Vector x = rhs;
  const int n = lapack_int(lu_.size);
  if (n == 0) return x;
  const int b = lapack_int(lu_.bandwidth);
  const int ldab = lapack_int(lu_.leading_dimension());
  const int nrhs = 1;
  const char trans = 'N';
  int info = 0;
  const SingleThreadedBlas one_thread;
  dgbtrs_(&trans, &n, &b, &b, &nrhs, lu_.values.data(), &ldab, pivots_.data(), x.data(), &n, &info,
          1);
  if (info != 0) throw InternalFault("Invalid argument to the band LU solve.");
  return x;
}

}  // namespace velm::linalg
