// A sparse symmetric matrix held as its upper triangle in coordinate form.
#pragma once

#include <cstdint>
#include <vector>

namespace velm::linalg {

// Entry k is A(rows[k], cols[k]) = values[k] with rows[k] <= cols[k]; each position appears
// once. Indices are one-based, as the sparse solver reads them, so that the matrix is handed
// over without a copy. The entry count is 64-bit; the order of the matrix fits 32 bits.
struct SparseSymmetricMatrix {
  std::int32_t size = 0;
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> cols;
  std::vector<double> values;
  // The first unknowns (zero-based, ascending) of groups of consecutive unknowns that share one
  // pattern, such as the free dofs of a node; empty when not known. The fill-reducing ordering
  // works on the graph of the groups.
  std::vector<std::int32_t> groups;

  std::int64_t entries() const { return static_cast<std::int64_t>(values.size()); }
  // Bytes of the three arrays.
  std::uint64_t bytes() const {
    return static_cast<std::uint64_t>(values.size()) * (2 * sizeof(std::int32_t) + sizeof(double));
  }
};

// y = A x for the symmetric matrix (both triangles).
std::vector<double> multiply(const SparseSymmetricMatrix& matrix, const std::vector<double>& x);
// The same into y (matrix.size values), x and y not overlapping.
void multiply_into(const SparseSymmetricMatrix& matrix, const double* x, double* y);

// Both triangles of a symmetric matrix by rows (compressed sparse rows, zero-based), for
// repeated products: each row is one contiguous dot product, with no scattered writes.
struct CsrMatrix {
  std::int32_t size = 0;
  std::vector<std::int64_t> starts;  // size + 1
  std::vector<std::int32_t> cols;
  std::vector<double> values;

  // y = A x, x and y not overlapping.
  void multiply(const double* x, double* y) const;
};

CsrMatrix full_rows(const SparseSymmetricMatrix& matrix);

}  // namespace velm::linalg
