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

CsrMatrix full_rows(const SparseSymmetricMatrix& matrix) {
  CsrMatrix out;
  out.size = matrix.size;
  const auto n = static_cast<std::size_t>(matrix.size);
  out.starts.assign(n + 1, 0);
  for (std::size_t k = 0; k < matrix.values.size(); ++k) {
    ++out.starts[static_cast<std::size_t>(matrix.rows[k])];
    if (matrix.rows[k] != matrix.cols[k]) ++out.starts[static_cast<std::size_t>(matrix.cols[k])];
  }
  for (std::size_t i = 0; i < n; ++i) out.starts[i + 1] += out.starts[i];
  out.cols.resize(static_cast<std::size_t>(out.starts[n]));
  out.values.resize(out.cols.size());
  std::vector<std::int64_t> fill(out.starts.begin(), out.starts.end() - 1);
  const auto put = [&](std::int32_t row, std::int32_t col, double value) {
    const auto at = static_cast<std::size_t>(fill[static_cast<std::size_t>(row)]++);
    out.cols[at] = col;
    out.values[at] = value;
  };
  for (std::size_t k = 0; k < matrix.values.size(); ++k) {
    put(matrix.rows[k] - 1, matrix.cols[k] - 1, matrix.values[k]);
    if (matrix.rows[k] != matrix.cols[k]) put(matrix.cols[k] - 1, matrix.rows[k] - 1, matrix.values[k]);
  }
  return out;
}

void CsrMatrix::multiply(const double* x, double* y) const {
  for (std::int32_t i = 0; i < size; ++i) {
    double sum = 0.0;
    const auto end = starts[static_cast<std::size_t>(i) + 1];
    for (auto k = starts[static_cast<std::size_t>(i)]; k < end; ++k)
      sum += values[static_cast<std::size_t>(k)] * x[cols[static_cast<std::size_t>(k)]];
    y[i] = sum;
  }
}

}  // namespace velm::linalg
