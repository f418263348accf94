#include "linalg/sparse_matrix.hpp"

#include <algorithm>

#include "base/internal_fault.hpp"

namespace velm::linalg {

std::vector<double> multiply(const SparseSymmetricMatrix& matrix, const std::vector<double>& x) {
  if (x.size() != static_cast<std::size_t>(matrix.size)) throw InternalFault(kIndexOutOfBounds);
  std::vector<double> y(x.size(), 0.0);
  multiply_into(matrix, x.data(), y.data());
  return y;
}

void multiply_into(const SparseSymmetricMatrix& matrix, const double* x, double* y) {
  std::fill(y, y + matrix.size, 0.0);
  for (std::size_t k = 0; k < matrix.values.size(); ++k) {
    const auto i = static_cast<std::size_t>(matrix.rows[k] - 1);
    const auto j = static_cast<std::size_t>(matrix.cols[k] - 1);
    y[i] += matrix.values[k] * x[j];
    if (i != j) y[j] += matrix.values[k] * x[i];
  }
}

}  // namespace velm::linalg
